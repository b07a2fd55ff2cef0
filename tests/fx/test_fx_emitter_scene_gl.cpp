// The example scene's fountain of sparks on OpenGL through the engine (simple renderer), with
// the device clock stopped and stepped so that emission and simulation repeat exactly: the
// screenshot after one second against its reference picture.
#include "api/KeFxEmitterApi.h"
#include "api/KeLightApi.h"
#include "fx/CKeParticleSystemSceneNode.h"
#include "fx/KeFxParticle.h"
#include "runtime/EngineSetup.h"
#include "runtime/KeEngine.h"
#include "scene/KeScene.h"
#include "core/KeError.h"
#include "support/gl_fixture.h"

#include <gtest/gtest.h>
#include <irrlicht/irrlicht.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

using namespace irr;
using namespace kolm;

namespace {

constexpr int kWidth = 160, kHeight = 120;

class ExampleSceneSparks : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
        keResetErrorReporter();
        keSetMessageBoxHandler([](const char*, void*) {}, nullptr);
        char cwd[4096];
        ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
        previous = cwd;
        ASSERT_EQ(::chdir(KOLM_SOURCE_DIR "/examples/scenes"), 0);  // mesh files are relative
        EngineSetup s;
        s.windowed = 1;
        s.vsync = 0;
        s.width = kWidth;
        s.height = kHeight;
        s.lightPrePass = 0;
        s.baseDir = KOLM_SOURCE_DIR "/data/";
        ASSERT_EQ(keStartEngine(s), 0);
        started = true;
    }
    void TearDown() override {
        if (started) {
            keSceneUnload(1);
            keDeleteAllFxEmitters();
            keStopEngine();
        }
        if (!previous.empty()) {
            ASSERT_EQ(::chdir(previous.c_str()), 0);
        }
        keResetErrorReporter();
    }
    std::string previous;
    bool started = false;
};

TEST_F(ExampleSceneSparks, OneSecondOfSparksMatchesTheReference) {
    ASSERT_EQ(keSceneLoad("cube_on_ground.kscn", 1, 10, 20, 30, 40, 50, false, "example", false), 0);
    keSceneShow(1);
    keHideLight(22);  // the scene's shadowed spot light and volumetric light: the picture is lit
    keHideLight(23);  // by its directional and point lights alone
    ASSERT_NE(keFxEmitterGet(30), nullptr);
    ITimer* timer = keEngineContext().device->getTimer();
    timer->stop();
    keFxSetRandomState(0);
    for (u32 t = 0; t <= 1000; t += 40) {
        timer->setTime(t);
        keSceneAnimate(1, int(t));
        ASSERT_TRUE(keRun());
        ASSERT_EQ(keSync(), 0);
    }
    EXPECT_GT(keFxEmitterGet(30)->getEmitter()->getParticleCount(), 300u);
    const std::string shot = testing::TempDir() + "example_scene_sparks.png";
    ASSERT_EQ(keScreenShot(shot.c_str()), 0);
    video::IVideoDriver* driver = keEngineContext().driver;
    video::IImage* image = driver->createImageFromFile(shot.c_str());
    ASSERT_NE(image, nullptr);
    std::vector<uint32_t> px(size_t(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) px[size_t(y) * kWidth + x] = image->getPixel(u32(x), u32(y)).color;
    image->drop();
    timer->start();
    gltest::expectMatchesReference(driver, px, kWidth, kHeight,
                                   std::string(KOLM_TEST_DATA_DIR) + "/fx/gl/example_scene_sparks.png", 8, 40);
}

}  // namespace
