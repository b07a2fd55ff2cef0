// A camera effect on the light pre-pass renderer, as a script shows it: an orange cube drawn
// with the renderer's surface effect, lit by one light in front of a coloured backdrop; a camera
// effect made from a small annotated effect file that multiplies the picture by a colour
// (0.5, 1, 0.25) is shown with keShowCameraEffect. Every pixel of the screenshot is the
// untinted one times that colour; hidden again, the picture is the untinted one.
#include "api/KeCameraApi.h"
#include "api/KeCameraEffectApi.h"
#include "api/KeEffectApi.h"
#include "api/KeLightApi.h"
#include "api/KeObjectApi.h"
#include "api/KeSurfaceApi.h"
#include "core/KeError.h"
#include "files/KeFileSystem.h"
#include "fx/IKeSceneNodeExt.h"
#include "render/IKeRendererLpp.h"
#include "runtime/KeEngine.h"

#include <gtest/gtest.h>

#include <irrlicht.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace irr;
using namespace kolm;

namespace {

const std::string kCube = KOLM_SOURCE_DIR "/examples/scripts/cube.x";
const std::string kTint = KOLM_TEST_DATA_DIR "/api/camera_tint.hlsl";
constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr uint32_t kBackdrop = 0x4080C0;
constexpr float kTintColour[3] = {0.5f, 1.0f, 0.25f};  // the file's default "Tint"

// The pixels of a 24-bit bottom-up BMP as 0xRRGGBB, rows top first; empty when it is not one
// of width x height.
std::vector<uint32_t> readBmp(const std::string& path, int width, int height) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> b{std::istreambuf_iterator<char>(in), {}};
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t(3);
    if (b.size() < 54 + stride * height || b[0] != 'B' || b[28] != 24) return {};
    const uint32_t offset = b[10] | b[11] << 8 | b[12] << 16 | uint32_t(b[13]) << 24;
    if (b.size() < offset + stride * height) return {};
    std::vector<uint32_t> px(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = &b[offset + stride * (height - 1 - y)];
        for (int x = 0; x < width; ++x)
            px[static_cast<size_t>(y) * width + x] = row[x * 3 + 2] << 16 | row[x * 3 + 1] << 8 | row[x * 3];
    }
    return px;
}

int channel(uint32_t c, int i) { return int(c >> (16 - 8 * i) & 255); }

class CameraEffectTintGl : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
        keResetErrorReporter();
        keSetLogSink([](const char* l, void*) { std::fprintf(stderr, "%s", l); }, nullptr);
        keSetMessageBoxHandler([](const char*, void*) {}, nullptr);
        EngineSetup s;
        s.width = kWidth;
        s.height = kHeight;
        s.windowed = 1;
        s.vsync = 0;
        s.antialias = 0;
        s.lightPrePass = 1;
        s.baseDir = KOLM_TEST_BASE_DIR "/";  // the engine's data folders, copied beside the tests
        ASSERT_EQ(keStartEngine(s), 0);
        ASSERT_NE(dynamic_cast<IKeRendererLpp*>(keCurrentRenderer()), nullptr) << "not the light pre-pass renderer";
    }
    void TearDown() override {
        keDeleteAllCameraEffects();
        keDeleteAllObjects();
        keDeleteAllLights();
        keDeleteAllEffects();
        keStopEngine();
        keResetErrorReporter();
    }

    std::vector<uint32_t> take(const char* name) {
        for (int i = 0; i < 2; ++i) {
            EXPECT_TRUE(keRun());
            EXPECT_EQ(keSync(), 0);
        }
        const std::string bmp = testing::TempDir() + name + ".bmp";
        EXPECT_EQ(keScreenShot(bmp.c_str()), 0);
        EXPECT_EQ(keScreenShot((testing::TempDir() + name + ".png").c_str()), 0);  // to look at
        std::vector<uint32_t> px = readBmp(bmp, kWidth, kHeight);
        EXPECT_EQ(px.size(), size_t(kWidth) * kHeight) << bmp;
        return px;
    }
};

TEST_F(CameraEffectTintGl, AShownCameraEffectTintsTheScreenshotAndHidingItRestoresThePicture) {
    ASSERT_EQ(keLoadObject(kCube.c_str(), 1), 0) << takeLastError(nullptr);
    ASSERT_EQ(keRotateObject(1, 30, 40, 0), 0);
    // The object's surfaces drawn with the renderer's effect for them (the final pass).
    IKeSceneNodeExt* ext = keFindNodeExt(keObjectGet(1));
    ASSERT_NE(ext, nullptr);
    const char* found = keFindFile("LppFinalPass3.hlsl");
    ASSERT_NE(found, nullptr) << "the renderer's final pass is not among the data folders";
    const std::string finalPass = found;
    for (u32 row = 0; row < ext->getRowCount(); ++row) {
        ASSERT_EQ(keLoadEffectForObjectSurface(finalPass.c_str(), int(10 + row), 1, int(row)), 0)
            << takeLastError(nullptr);
        ASSERT_EQ(keSetObjectSurfaceEffect(1, int(row), int(10 + row)), 0);
    }
    ASSERT_EQ(kePositionCamera(0, 0, -6), 0);
    ASSERT_EQ(keRotateCamera(0, 0, 0), 0);
    ASSERT_EQ(keMakeLight(1), 0);
    ASSERT_EQ(kePositionLight(1, -4, 4, -6), 0);
    ASSERT_EQ(keColorLight(1, 0xFFFFFF), 0);
    ASSERT_EQ(keColorBackdrop(kBackdrop), 0);
    ASSERT_EQ(keMakeCameraEffectFromFile(1, kTint.c_str()), 0) << takeLastError(nullptr);

    const std::vector<uint32_t> plain = take("tint_plain");
    ASSERT_EQ(keShowCameraEffect(1), 0);
    const std::vector<uint32_t> tinted = take("tint_shown");
    ASSERT_EQ(keHideCameraEffect(1), 0);
    const std::vector<uint32_t> restored = take("tint_hidden");
    ASSERT_EQ(plain.size(), size_t(kWidth) * kHeight);
    ASSERT_EQ(tinted.size(), plain.size());
    ASSERT_EQ(restored.size(), plain.size());

    // The untinted picture: the backdrop in the corners, the lit cube in the middle.
    auto near = [](uint32_t a, uint32_t b, int tolerance) {
        for (int i = 0; i < 3; ++i)
            if (std::abs(channel(a, i) - channel(b, i)) > tolerance) return false;
        return true;
    };
    const uint32_t middle = plain[size_t(kHeight / 2) * kWidth + kWidth / 2];
    EXPECT_TRUE(near(plain[0], kBackdrop, 1)) << std::hex << plain[0];
    EXPECT_FALSE(near(middle, kBackdrop, 16)) << "the cube is not in the picture: " << std::hex << middle;
    EXPECT_GT(channel(middle, 0), 64) << std::hex << middle;  // orange, lit

    // Per pixel: tinted = untinted x colour (rounding apart); hidden again = untinted. The scene
    // colour target holds values above 1 (highlights) that the untinted picture shows as 255:
    // tinted, such a channel is at least 255 x colour.
    int wrongTint = 0, notRestored = 0;
    for (size_t i = 0; i < plain.size(); ++i) {
        for (int c = 0; c < 3; ++c) {
            const int expected = int(channel(plain[i], c) * kTintColour[c] + 0.5f), got = channel(tinted[i], c);
            if (channel(plain[i], c) == 255 ? got < expected - 2 : std::abs(got - expected) > 2) {
                if (wrongTint++ < 5)
                    ADD_FAILURE() << "pixel " << i % kWidth << "," << i / kWidth << ": " << std::hex << plain[i]
                                  << " tinted to " << tinted[i];
                break;
            }
        }
        notRestored += !near(restored[i], plain[i], 1);
    }
    EXPECT_EQ(wrongTint, 0);
    EXPECT_EQ(notRestored, 0);
    EXPECT_EQ(keShownCameraEffectCount(), 0);
}

}  // namespace
