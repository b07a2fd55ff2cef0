// The object viewer in a real window on the shipped windmill: arrow keys, the wheel and Escape
// sent as a user's would be turn the object, move the camera and end the viewer, and the last
// frame shows the windmill on the viewer's backdrop. A file that does not load is refused.
#include "api/KeObjectApi.h"
#include "app/KeObjectViewer.h"
#include "core/KeError.h"
#include "platform/KeInputSynth.h"
#include "runtime/KeEngine.h"
#include "support/log_capture.h"
#include "support/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace kolm;

namespace {

constexpr unsigned long kXkLeft = 0xff51;  // X11 keysyms
constexpr unsigned long kXkUp = 0xff52;
constexpr unsigned long kXkEscape = 0xff1b;
const std::string kWindmill = KOLM_SOURCE_DIR "/examples/objects/windmill.x";

// A 24-bit BMP as 0xRRGGBB pixels, rows top first.
bool readBmp(const std::string& path, int& w, int& h, std::vector<uint32_t>& px) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto u32 = [&](size_t at) { return uint32_t(d[at] | d[at + 1] << 8 | d[at + 2] << 16 | uint32_t(d[at + 3]) << 24); };
    if (d.size() < 54 || d[0] != 'B' || d[1] != 'M' || (d[28] | d[29] << 8) != 24) return false;
    const uint32_t offset = u32(10);
    w = int32_t(u32(18));
    const int32_t rawH = int32_t(u32(22));
    h = rawH < 0 ? -rawH : rawH;
    const size_t row = (size_t(w) * 3 + 3) & ~size_t(3);
    if (d.size() < offset + row * size_t(h)) return false;
    px.assign(size_t(w) * size_t(h), 0);
    for (int y = 0; y < h; ++y) {
        const size_t src = offset + row * size_t(rawH > 0 ? h - 1 - y : y);
        for (int x = 0; x < w; ++x) {
            const unsigned char* p = &d[src + size_t(x) * 3];
            px[size_t(y) * size_t(w) + size_t(x)] = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
        }
    }
    return true;
}

class ObjectViewerGl : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
        keResetErrorReporter();
        keSetMessageBoxHandler([](const char*, void*) {}, nullptr);
        EngineSetup s;
        s.windowed = 1;
        s.vsync = 0;
        s.width = 160;
        s.height = 120;
        s.windowX = 0;
        s.windowY = 0;
        s.lightPrePass = 0;  // the simple renderer: "kolm windmill.x" runs the other one
        ASSERT_EQ(keStartEngine(s), 0);
        keSync();
    }
    void TearDown() override {
        keObjectViewerClearLimits();
        keStopEngine();
        keResetErrorReporter();
    }
};

TEST_F(ObjectViewerGl, AFileThatDoesNotLoadIsRefused) {
    kolmtest::LogCapture log;
    EXPECT_EQ(keViewObject("no/such/object.x"), -1);
    ASSERT_FALSE(log.boxes.empty());
    EXPECT_EQ(log.boxes.back(), "Failed to load object no/such/object.x\n");
}

// The library's own loaders serve ".obj" (and ".lwo") files: a one-frame object is shown and
// never re-posed.
TEST_F(ObjectViewerGl, ShowsAnObjFile) {
    ScratchDir dir;
    ASSERT_TRUE(dir.create("/tmp/kolm-object-viewer-"));
    const std::string obj = dir.path + "/quad.obj";
    std::ofstream(obj) << "v -2 -2 0\nv 2 -2 0\nv 2 2 0\nv -2 2 0\nf 1 2 3 4\n";
    struct Seen {
        int frames = 0;
        KeObjectViewerState last;
    } seen;
    KeObjectViewerLimits limits;
    limits.frames = 3;
    limits.onFrame = [](const KeObjectViewerState& s, void* user) {
        auto* seen = static_cast<Seen*>(user);
        ++seen->frames;
        seen->last = s;
        return true;
    };
    limits.user = &seen;
    keObjectViewerSetLimits(limits);
    EXPECT_EQ(keViewObject(obj.c_str()), 0);
    EXPECT_EQ(seen.frames, 3);
    EXPECT_EQ(seen.last.frames, 1);
    EXPECT_GT(seen.last.radius, 2.0f);
    EXPECT_FLOAT_EQ(seen.last.distance, -1.5f * seen.last.radius);
}

// The script of a user: hold Left until the windmill has turned, hold Up until the camera has
// come closer, roll the wheel once, then press Escape. Each step waits for the viewer to see it.
struct User {
    int step = 0;
    int frames = 0;
    float startDistance = 0.0f;
    float yawAfterLeft = 0.0f;
    float distanceAfterUp = 0.0f;
    float distanceAfterWheel = 0.0f;
    float radius = 0.0f;

    static bool onFrame(const KeObjectViewerState& s, void* user) {
        auto* u = static_cast<User*>(user);
        ++u->frames;
        switch (u->step) {
            case 0:
                u->startDistance = s.distance;
                u->radius = s.radius;
                keSynthKey("Kolm", kXkLeft, true);
                u->step = 1;
                break;
            case 1:
                if (s.yaw >= 5.0f) {
                    keSynthKey("Kolm", kXkLeft, false);
                    u->step = 2;
                }
                break;
            case 2:  // Left released: the yaw stops changing
                u->yawAfterLeft = s.yaw;
                keSynthKey("Kolm", kXkUp, true);
                u->step = 3;
                break;
            case 3:
                if (s.distance <= u->startDistance - 3.0f * s.radius / 40.0f) {
                    keSynthKey("Kolm", kXkUp, false);
                    u->step = 4;
                }
                break;
            case 4:
                u->distanceAfterUp = s.distance;
                keSynthButton("Kolm", 4, true, 80, 60);  // one wheel step
                u->step = 5;
                break;
            case 5:
                if (s.distance > u->distanceAfterUp + s.radius / 40.0f) {
                    u->distanceAfterWheel = s.distance;
                    keSynthKey("Kolm", kXkEscape, true);
                    u->step = 6;
                }
                break;
            default:
                break;
        }
        return true;  // the viewer must end by itself on Escape
    }
};

// Escape latches for the rest of the process and ends every later viewer at once: this test
// comes last.
TEST_F(ObjectViewerGl, KeysWheelAndEscapeDriveTheViewerAndTheWindmillShows) {
    ScratchDir dir;
    ASSERT_TRUE(dir.create("/tmp/kolm-object-viewer-"));
    const std::string shot = dir.path + "/windmill.bmp";
    User user;
    KeObjectViewerLimits limits;
    limits.frames = 3000;  // a safety net: the run ends on Escape long before
    limits.screenshot = shot.c_str();
    limits.onFrame = &User::onFrame;
    limits.user = &user;
    keObjectViewerSetLimits(limits);

    EXPECT_EQ(keViewObject(kWindmill.c_str()), 0);
    EXPECT_EQ(user.step, 6) << "the viewer ended before the user's steps were seen";
    EXPECT_LT(user.frames, limits.frames) << "Escape did not end the viewer";
    EXPECT_GE(user.yawAfterLeft, 5.0f);
    EXPECT_LT(user.distanceAfterUp, user.startDistance);
    EXPECT_NEAR(user.distanceAfterWheel - user.distanceAfterUp, user.radius / 20.0f, user.radius / 40.0f + 1e-4f);
    EXPECT_FALSE(keObjectExist(1));

    // The last frame: the backdrop in the corners, the windmill's sails, roof and stone between.
    int w = 0, h = 0;
    std::vector<uint32_t> px;
    ASSERT_TRUE(readBmp(shot, w, h, px)) << shot;
    ASSERT_EQ(w, 160);
    EXPECT_EQ(px[0], 0x113366u);
    EXPECT_EQ(px[px.size() - 1], 0x113366u);
    int lit = 0;
    for (uint32_t c : px) lit += c != 0x113366u;
    EXPECT_GT(lit, w * h / 20) << "the windmill covers too little of the frame";
    if (const char* keep = std::getenv("KOLM_TEST_KEEP_SCREENSHOT")) {
        std::ifstream src(shot, std::ios::binary);
        std::ofstream(keep, std::ios::binary) << src.rdbuf();
    }
}

}  // namespace
