// The engine on the OpenGL driver under a real X server: frames reach the back buffer with the
// backdrop colour, screenshots read it back in the right orientation and colour order, the
// loading screen draws, and the frame message reaches the event receiver.
#include "runtime/KeEngine.h"
#include "runtime/KeLoadingScreen.h"
#include "runtime/KeLoadingShader.h"
#include "core/KeError.h"
#include "gl/KeScreenGrab.h"
#include "platform/KeSyncMessage.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

using namespace kolm;

namespace {

std::vector<unsigned char> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// 0xRRGGBB of a pixel of a top-down RGB frame.
int pixel(const std::vector<unsigned char>& rgb, int width, int x, int y) {
    const unsigned char* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    return (p[0] << 16) | (p[1] << 8) | p[2];
}

// A windowed engine of the given size (0: the start-up default of 640 x 480).
class EngineGl : public ::testing::Test {
protected:
    void start(int width = 0, int height = 0, bool defaults = false) {
        EngineSetup s;
        if (!defaults) {
            s.windowed = 1;
            s.vsync = 0;
        }
        if (width) s.width = width;
        if (height) s.height = height;
        ASSERT_EQ(keStartEngine(s), 0);
    }
    std::vector<unsigned char> readBack(int width, int height) {
        std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
        EXPECT_TRUE(keReadBackBufferRGB(width, height, rgb.data()));
        return rgb;
    }
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
        keResetErrorReporter();
        keSetLogSink([](const char* l, void*) { std::fprintf(stderr, "%s", l); }, nullptr);
        keSetMessageBoxHandler([](const char*, void*) {}, nullptr);
    }
    void TearDown() override {
        keStopEngine();
        keResetErrorReporter();
    }
};

TEST_F(EngineGl, BackdropReachesTheScreenshot) {
    start(64, 48);
    keSetBackdropColor(0x3366CC);
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(keRun());
        ASSERT_EQ(keSync(), 0);
    }
    const std::string bmp = testing::TempDir() + "shot.bmp";
    ASSERT_EQ(keScreenShot(bmp.c_str()), 0);
    const std::vector<unsigned char> b = readFile(bmp);
    ASSERT_GE(b.size(), 54u + 64 * 48 * 3);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[28], 24);  // bits per pixel
    // First stored pixel (bottom-left) in B, G, R order.
    EXPECT_NEAR(b[54], 0xCC, 2);
    EXPECT_NEAR(b[55], 0x66, 2);
    EXPECT_NEAR(b[56], 0x33, 2);

    const std::string png = testing::TempDir() + "shot.png";
    EXPECT_EQ(keScreenShot(png.c_str()), 0);
    EXPECT_GT(readFile(png).size(), 8u);
}

// Screenshots and capture show the frame last presented, not what was drawn since: a driver
// that flips leaves the back buffer stale or undefined after the swap.
TEST_F(EngineGl, ScreenshotShowsTheFrameLastPresented) {
    start(64, 48);
    irr::video::IVideoDriver* d = keEngineContext().driver;
    const std::string bmp = testing::TempDir() + "presented.bmp";
    // First stored pixel (bottom-left) of a 24-bit BMP as 0xRRGGBB.
    auto shotPixel = [&] {
        const std::vector<unsigned char> b = readFile(bmp);
        return b.size() < 57u ? -1 : (b[56] << 16) | (b[55] << 8) | b[54];
    };
    for (const uint32_t shown : {0x00FF00u, 0x3366CCu}) {
        SCOPED_TRACE(shown);
        keSetBackdropColor(shown);
        ASSERT_EQ(keSync(), 0);
        // The next frame is under way in the back buffer, not shown yet.
        ASSERT_TRUE(d->beginScene(true, true, irr::video::SColor(255, 255, 0, 0)));
        ASSERT_EQ(keScreenShot(bmp.c_str()), 0);
        d->endScene();
        EXPECT_EQ(shotPixel(), static_cast<int>(shown));
    }
    // A loading frame with a capture path writes the loading frame itself.
    keLoadingPrepare();
    keLoadingFrame(0, bmp.c_str());
    EXPECT_EQ(shotPixel(), 0x000000);
    keLoadingRelease();
}

TEST_F(EngineGl, DummyRenderLeavesTheBackBufferAlone) {
    start(64, 48);
    keSetBackdropColor(0x00FF00);
    ASSERT_EQ(keSync(), 0);
    keSetBackdropColor(0xFF0000);
    ASSERT_EQ(keRenderDummy(), 0);
    // Still the green frame, not the red off-screen one.
    EXPECT_EQ(pixel(readBack(64, 48), 64, 0, 0), 0x00FF00);
}

// keRenderDummy draws off screen and presents nothing, also inside a frame that keRenderWith
// began (the library's end of scene swaps, showing the back buffer whether drawn or not).
// Presented frames are counted by the primitives they drew: a cube of 12 triangles.
TEST_F(EngineGl, DummyRenderPresentsNothing) {
    struct NoDrawing : IKeRenderWithDrawer {
        bool draw(IKeRenderer*) override { return true; }
    } nothing;
    start(64, 48);
    irr::video::IVideoDriver* d = keEngineContext().driver;
    keEngineContext().sceneManager->addCubeSceneNode(10.0f, nullptr, -1, irr::core::vector3df(0, 0, 30));
    ASSERT_EQ(keSync(), 0);
    const irr::u32 presented = d->getPrimitiveCountDrawn(2);  // all presented frames together
    ASSERT_GT(presented, 0u);
    ASSERT_EQ(keRenderDummy(), 0);
    EXPECT_EQ(d->getPrimitiveCountDrawn(2), presented);
    ASSERT_EQ(keRenderWith(&nothing), 0);
    ASSERT_EQ(keRenderDummy(), 0);
    EXPECT_EQ(d->getPrimitiveCountDrawn(2), presented);
    ASSERT_EQ(keSync(), 0);  // ends and presents the frame that keRenderWith began
    EXPECT_GT(d->getPrimitiveCountDrawn(2), presented);
}

TEST_F(EngineGl, UnknownExtensionFailsWithTheSaveMessage) {
    start(64, 48);
    ASSERT_EQ(keSync(), 0);
    const std::string path = testing::TempDir() + "shot.unknownext";
    EXPECT_EQ(keScreenShot(path.c_str()), -1);
    int index = 0;
    const char* last = takeLastError(&index);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(std::string(last), "failed to save screenshot to file '" + path + "'\n");
    EXPECT_EQ(index, 1);
}

// All defaults (windowed -1, vsync -1): a window, not full screen, and start-up survives the
// X errors that swap control raises on a virtual X server.
TEST_F(EngineGl, DefaultSetupOpensAWindow) {
    start(0, 0, true);
    EXPECT_FALSE(keEngineContext().device->isFullscreen());
    EXPECT_EQ(keEngineContext().driver->getScreenSize().Width, 640u);
    EXPECT_EQ(keSync(), 0);
}

// Vertical sync on (the default) starts and renders without an X error, also on a virtual X
// server whose GLX rejects the server-side swap-control request.
TEST_F(EngineGl, VsyncRaisesNoXError) {
    static std::vector<std::string> lines;
    lines.clear();
    keSetLogSink([](const char* l, void*) { lines.push_back(l); }, nullptr);
    EngineSetup s;
    s.windowed = 1;
    s.width = 64;
    s.height = 48;
    ASSERT_EQ(keStartEngine(s), 0);
    ASSERT_EQ(keSync(), 0);
    ASSERT_EQ(keSync(), 0);
    for (const std::string& l : lines) EXPECT_EQ(l.find("X error"), std::string::npos) << l;
}

// A development loading frame at 50% on 640 x 480: white frame (160, 216)-(480, 264), black
// inside from (166, 222), the bar from (172, 228), 148 of its 296 pixels filled.
TEST_F(EngineGl, DevelopmentLoadingFrameShowsTheBar) {
    start();
    keLoadingPrepare();
    keLoadingFrame(50);
    const std::vector<unsigned char> rgb = readBack(640, 480);
    EXPECT_EQ(pixel(rgb, 640, 161, 217), 0xFFFFFF);  // frame
    EXPECT_EQ(pixel(rgb, 640, 182, 240), 0x4488FF);  // bar
    EXPECT_EQ(pixel(rgb, 640, 319, 240), 0x4488FF);  // last filled column (172 + 147)
    EXPECT_EQ(pixel(rgb, 640, 321, 240), 0x000000);  // beyond the fill
    EXPECT_EQ(pixel(rgb, 640, 600, 400), 0x000000);  // background
    keLoadingRelease();
}

// The built-in loading shader: white gauge outlines at full progress, black once faded out.
TEST_F(EngineGl, BuiltInLoadingShaderDrawsAndFadesOut) {
    start();
    KeLoadingShader shader;
    keLoadingShaderCreate(&shader, nullptr);
    ASSERT_GE(shader.material, 0);
    auto countLit = [&](float progress, int* white) {
        irr::video::IVideoDriver* d = keEngineContext().driver;
        d->beginScene(true, true, irr::video::SColor(255, 0, 0, 0));
        keLoadingShaderDraw(&shader, progress, 640, 480);
        const std::vector<unsigned char> rgb = readBack(640, 480);
        d->endScene();
        int lit = 0;
        *white = 0;
        for (size_t i = 0; i < rgb.size(); i += 3) {
            if (rgb[i] | rgb[i + 1] | rgb[i + 2]) ++lit;
            if (rgb[i] == 255 && rgb[i + 1] == 255 && rgb[i + 2] == 255) ++*white;
        }
        return lit;
    };
    int white = 0;
    EXPECT_GT(countLit(1.0f, &white), 1000);
    EXPECT_GT(white, 1000);
    EXPECT_EQ(countLit(1.25f, &white), 0);
    keLoadingShaderRelease(&shader);
}

// Another program posts the frame message to the window titled "Kolm"; the viewer's sync
// frame follows it, and the window stays open.
TEST_F(EngineGl, FrameMessageReachesTheEventReceiver) {
    start(64, 48);
    ASSERT_TRUE(keRun());
    EXPECT_EQ(keEventReceiver().syncFrame(), 0x0FFFFFFF);
    ASSERT_EQ(keSendSyncFrame("Kolm", 1234), 0);
    for (int i = 0; i < 500 && keEventReceiver().syncFrame() != 1234; ++i) {
        ASSERT_TRUE(keRun());
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(keEventReceiver().syncFrame(), 1234);
    EXPECT_TRUE(keRun());
}

}  // namespace
