// Engine start-up and shut-down on the library's null driver (no display needed), and the
// no-display failure of the OpenGL driver.
#include "fx/IKeEffectManager.h"
#include "fx/KeEffectBindContext.h"
#include "engine/IKeManager.h"
#include "runtime/KeEngine.h"
#include "core/KeError.h"
#include "runtime/KeLoadingScreen.h"
#include "support/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace kolm;

namespace {

struct Captured {
    std::vector<std::string> lines, boxes;
};

class EngineNull : public ::testing::Test {
protected:
    void SetUp() override {
        keResetErrorReporter();
        keSetLogSink([](const char* l, void* u) { static_cast<Captured*>(u)->lines.push_back(l); }, &cap);
        keSetMessageBoxHandler([](const char* t, void* u) { static_cast<Captured*>(u)->boxes.push_back(t); }, &cap);
        keSetEngineDriverType(irr::video::EDT_NULL);
    }
    void TearDown() override {
        keStopEngine();
        keSetEngineDriverType(irr::video::EDT_OPENGL);
        keResetErrorReporter();
    }
    Captured cap;
};

TEST_F(EngineNull, StartsWithDefaultsAndStopsClean) {
    EngineSetup s;
    ASSERT_EQ(keStartEngine(s), 0);
    EXPECT_TRUE(keIsStarted());
    const EngineContext& c = keEngineContext();
    EXPECT_EQ(c.started, 1);
    EXPECT_EQ(c.screenWidth, 640);
    EXPECT_EQ(c.screenHeight, 480);
    EXPECT_EQ(c.bpp, 32);
    EXPECT_EQ(c.stereo, 0);
    EXPECT_EQ(c.lightPrePass, 1);
    ASSERT_NE(c.camera, nullptr);
    EXPECT_FLOAT_EQ(c.camera->getNearValue(), 0.1f);
    EXPECT_FLOAT_EQ(c.camera->getFarValue(), 1000.0f);
    const KeEngineIdTables& l = c.idLists;
    ASSERT_TRUE(l.image && l.object && l.light && l.fxEmitter && l.cameraEffect && l.effect && l.cubeMap);
    for (int capacity : {l.image->capacity(), l.object->capacity(), l.light->capacity(), l.fxEmitter->capacity(),
                         l.cameraEffect->capacity(), l.effect->capacity(), l.cubeMap->capacity()})
        EXPECT_EQ(capacity, 1000);
    EXPECT_EQ(keGetBackdropColor(), 0u);
    EXPECT_EQ(keSync(), 0);
    EXPECT_EQ(keFrameIndex(), 1u);
    // The frame just shown is what the next frame's motion binds read.
    const KeLastFrameInfo& last = keEngineManager()->getEffectManager()->getBindContext().lastFrame;
    EXPECT_EQ(last.view, c.camera->getViewMatrix());
    EXPECT_EQ(last.projection, c.camera->getProjectionMatrix());
    EXPECT_NE(last.projection, irr::core::IdentityMatrix);

    EXPECT_EQ(keStopEngine(), 0);
    EXPECT_FALSE(keIsStarted());
    EXPECT_EQ(keEngineContext().device, nullptr);
    EXPECT_EQ(keEngineContext().idLists.image, nullptr);
    EXPECT_EQ(keStopEngine(), 0);  // stopping twice is harmless
    EXPECT_TRUE(cap.boxes.empty());
}

TEST_F(EngineNull, SecondStartReplacesTheFirstDevice) {
    EngineSetup s;
    ASSERT_EQ(keStartEngine(s), 0);
    irr::IrrlichtDevice* first = keEngineContext().device;
    first->grab();
    s.width = 320;
    s.height = 200;
    ASSERT_EQ(keStartEngine(s), 0);
    EXPECT_NE(keEngineContext().device, first);
    EXPECT_EQ(keEngineContext().screenWidth, 320);
    // Only our extra reference keeps the first device alive.
    EXPECT_EQ(first->getReferenceCount(), 1);
    first->drop();
}

TEST_F(EngineNull, CameraRangeFallsBackWhenUnusable) {
    ASSERT_EQ(keStartEngine(EngineSetup{}), 0);
    const struct {
        float n, f, wantN, wantF;
    } cases[] = {{1, 500, 1, 500}, {5, 5, 0.1f, 1000}, {0, 100, 0.1f, 1000}, {-1, 100, 0.1f, 1000}, {200, 100, 0.1f, 1000}};
    for (const auto& c : cases) {
        keSetCameraRange(c.n, c.f);
        EXPECT_FLOAT_EQ(keEngineContext().camera->getNearValue(), c.wantN);
        EXPECT_FLOAT_EQ(keEngineContext().camera->getFarValue(), c.wantF);
    }
}

TEST_F(EngineNull, ClockStartsAtZero) {
    ASSERT_EQ(keStartEngine(EngineSetup{}), 0);
    keSleep(20);
    EXPECT_EQ(keTimer(), 0);
    keSleep(20);
    EXPECT_GE(keTimer(), 15);
}

// The engine clock subtracts the device's 32-bit millisecond timer in 32 bits, so a wrap of
// the timer (after about 49.7 days) goes on counting; each start-up starts it at 0 again.
TEST_F(EngineNull, ClockCountsAcrossTheTimerWrapAndRestartsWithTheDevice) {
    static uint32_t now = 0;
    keSetEngineTimerSource([](void*) { return now; }, nullptr);
    const struct {
        uint32_t start, later;
        int64_t elapsed;
    } cases[] = {
        {1000, 1500, 500},
        {0xFFFFFF00u, 0x00000100u, 0x200},  // across the wrap
        {0xFFFFFFFFu, 0xFFFFFFFFu, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.start);
        ASSERT_EQ(keStartEngine(EngineSetup{}), 0);
        now = c.start;
        EXPECT_EQ(keTimer(), 0);
        now = c.later;
        EXPECT_EQ(keTimer(), c.elapsed);
        keStopEngine();
    }
    keSetEngineTimerSource(nullptr, nullptr);
}

// Every preparation loads "loading.png" again: the demo's finish forgets the picture, and the
// next loading (the next demo, a scene reload) shows it too.
TEST_F(EngineNull, LoadingPictureIsLoadedForEveryPreparation) {
    ScratchDir scratch;
    ASSERT_TRUE(scratch.enter("/tmp/kolm-loading-"));
    EngineSetup setup;
    setup.baseDir = scratch.path + "/";
    ASSERT_EQ(keStartEngine(setup), 0);
    irr::video::IVideoDriver* d = keEngineContext().driver;
    irr::video::IImage* image = d->createImage(irr::video::ECF_A8R8G8B8, irr::core::dimension2du(8, 4));
    image->fill(irr::video::SColor(255, 255, 255, 255));
    ASSERT_TRUE(d->writeImageToFile(image, (scratch.path + "/loading.png").c_str()));
    image->drop();
    for (int preparation = 0; preparation < 2; ++preparation) {
        SCOPED_TRACE(preparation);
        keLoadingPrepare();
        EXPECT_TRUE(keLoadingHasPicture());
        keLoadingFrame(0);
        keLoadingFinish();
        EXPECT_FALSE(keLoadingHasPicture());
    }
    keStopEngine();
    scratch.leave();
}

// The Escape latch outlives the engine: Term and a new Setup keep EscapeKeyEverPressed.
TEST_F(EngineNull, EscapeLatchSurvivesARestart) {
    ASSERT_EQ(keStartEngine(EngineSetup{}), 0);
    irr::SEvent escape{};
    escape.EventType = irr::EET_KEY_INPUT_EVENT;
    escape.KeyInput.Key = irr::KEY_ESCAPE;
    escape.KeyInput.PressedDown = true;
    keEventReceiver().OnEvent(escape);
    ASSERT_TRUE(keEventReceiver().escapeEverPressed());
    keStopEngine();
    ASSERT_EQ(keStartEngine(EngineSetup{}), 0);
    EXPECT_TRUE(keEventReceiver().escapeEverPressed());
    EXPECT_FALSE(keEventReceiver().keyDown(KE_KEY_ESCAPE));  // the key itself is up again
}

TEST_F(EngineNull, NoDisplayFailsCleanlyWithTheSetupMessage) {
    const char* display = std::getenv("DISPLAY");
    const std::string saved = display ? display : "";
    unsetenv("DISPLAY");
    keSetEngineDriverType(irr::video::EDT_OPENGL);
    EXPECT_EQ(keStartEngine(EngineSetup{}), -1);
    if (!saved.empty()) setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_FALSE(keIsStarted());
    EXPECT_EQ(keEngineContext().device, nullptr);
    int index = 0;
    const char* last = takeLastError(&index);
    ASSERT_NE(last, nullptr);
    EXPECT_STREQ(last, "Setup failed: fails to createDevice");
    ASSERT_EQ(cap.boxes.size(), 1u);
}

}  // namespace

namespace {

struct CountingDrawer : IKeRenderWithDrawer {
    int calls = 0;
    IKeRenderer* seen = nullptr;
    bool draw(IKeRenderer* renderer) override {
        ++calls;
        seen = renderer;
        return true;
    }
};

TEST_F(EngineNull, RenderWithDrawsThroughTheRendererInsideOneFrame) {
    ASSERT_EQ(keStartEngine(EngineSetup{}), 0);
    CountingDrawer drawer;
    EXPECT_EQ(keRenderWith(&drawer), 0);
    EXPECT_EQ(drawer.calls, 1);
    EXPECT_EQ(drawer.seen, keCurrentRenderer());
    EXPECT_NE(drawer.seen, nullptr);
    EXPECT_EQ(keRenderWith(&drawer), 0);  // same frame, still begun
    EXPECT_EQ(keSync(), 0);               // ends it
    EXPECT_EQ(keRenderWith(nullptr), -1);
}

}  // namespace

#include "files/KeFileSystem.h"

namespace {

// A failure late in start-up (here: a packaged archive that does not mount) leaves nothing
// behind, and the next start works.
TEST_F(EngineNull, LateFailureRollsEverythingBack) {
    ASSERT_EQ(keUseArchiveFile("/nonexistent/kolm-missing.dat"), 0);
    EXPECT_EQ(keStartEngine(EngineSetup{}), -1);
    EXPECT_FALSE(keIsStarted());
    EXPECT_EQ(keEngineContext().device, nullptr);
    EXPECT_EQ(keEngineContext().idLists.image, nullptr);
    EXPECT_EQ(keEngineContext().started, 0);
    int index = 0;
    const char* last = takeLastError(&index);
    ASSERT_NE(last, nullptr);
    EXPECT_STREQ(last, "Setup failed: fails to setup the file system");

    keResetFilesystem();
    ASSERT_EQ(keStartEngine(EngineSetup{}), 0);
    EXPECT_TRUE(keIsStarted());
}

}  // namespace
