// Surface effects of scene objects through the engine's call table on the null driver, whose
// renderer is the simple one: a surface without an effect of its own stays without one, an
// effect file or an image that cannot be made is logged at ERROR with the object and row (and
// the next row goes on), and a row the object does not have is recorded.
#include "api/KeLightApi.h"
#include "api/KeObjectApi.h"
#include "core/KeError.h"
#include "fx/CKeLightSceneNodeExt.h"
#include "fx/IKeSceneNodeExt.h"
#include "runtime/KeEngine.h"
#include "scene/KeScene.h"
#include "scene/KeSceneCalls.h"
#include "scene/KeSceneSurfaceFx.h"
#include "support/log_capture.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <unistd.h>

#include <string>

using namespace irr;
using namespace kolm;

namespace {

class SceneSurfaceFxEngine : public ::testing::Test {
protected:
    void SetUp() override {
        char cwd[4096];
        ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
        previous = cwd;
        ASSERT_EQ(::chdir(KOLM_SOURCE_DIR "/examples/scenes"), 0);
        keSetEngineDriverType(video::EDT_NULL);
        EngineSetup setup;
        setup.baseDir = KOLM_SOURCE_DIR "/data/";
        ASSERT_EQ(keStartEngine(setup), 0);
        log.install();
        ASSERT_EQ(keLoadObject("../scripts/cube.x", 7), 0);  // one material: row 0
    }
    void TearDown() override {
        keDeleteObject(7);
        keStopEngine();
        keSetEngineDriverType(video::EDT_OPENGL);
        keResetErrorReporter();
        ASSERT_EQ(::chdir(previous.c_str()), 0);
    }
    IKeSceneNodeExt* ext() { return keFindNodeExt(keObjectGet(7)); }
    std::string previous;
    kolmtest::LogCapture log;
};

TEST_F(SceneSurfaceFxEngine, SimpleRendererLeavesSurfacesWithoutAnEffectOfTheirOwn) {
    ASSERT_NE(ext(), nullptr);
    EXPECT_EQ(keSceneChooseSurfaceEffect(7, 0, nullptr), 0);
    EXPECT_EQ(ext()->getEffect(0), nullptr);
    EXPECT_EQ(log.text.find("ERROR"), std::string::npos) << log.text;
    // Nothing to set a list on: quietly nothing.
    EXPECT_EQ(keSceneSetSurfaceEffectParameters(7, 0, "x.fx", nullptr, 0, true), 0);
}

TEST_F(SceneSurfaceFxEngine, FailuresAreReportedWithObjectAndRow) {
    EXPECT_EQ(keSceneChooseSurfaceEffect(7, 0, "no_such_effect.hlsl"), 1);
    EXPECT_NE(log.text.find("ERROR : Object ID 7, Surf 0 : Failed to compile effect no_such_effect.hlsl"),
              std::string::npos)
        << log.text;
    EXPECT_EQ(ext()->getEffect(0), nullptr);

    EXPECT_EQ(keSceneChooseSurfaceEffect(7, 1, nullptr), -1);
    EXPECT_NE(log.text.find("Object ID 7 has no surface 1, cannot SetSurfaces"), std::string::npos) << log.text;
    EXPECT_EQ(keSceneChooseSurfaceEffect(8, 0, nullptr), -1);
    EXPECT_NE(log.text.find("Object ID 8 does not exist"), std::string::npos) << log.text;

    // An image that is not there leaves the parameter without a texture.
    EXPECT_EQ(keSceneSetSurfaceImage(7, 0, 2, "no_such_image.png", true, true), 1);
    EXPECT_NE(log.text.find("ERROR : Object ID 7, Surf 0, Param 2: texture 'no_such_image.png' not found"),
              std::string::npos)
        << log.text;
    EXPECT_EQ(keSceneSetSurfaceImage(7, 3, 2, "no_such_image.png", true, true), -1);
}

// A light's projection image through the data-file search; one that cannot be loaded leaves
// none. Volumetric settings: colour only when asked for, else white.
TEST_F(SceneSurfaceFxEngine, LightProjectionImageAndVolumetricSettings) {
    const KeSceneCalls& calls = keSceneEngineCalls();
    ASSERT_EQ(keMakeLight(3), 0);
    const KeLightParams& p = keFindLightExt(keLightGet(3))->getParams();
    EXPECT_EQ(calls.setLightProjImage(3, "KeDefaultParticle.png"), 0);  // found under "textures"
    EXPECT_NE(p.projectionImage, nullptr);
    EXPECT_EQ(calls.setLightProjImage(3, "no_such_gobo.png"), -1);
    EXPECT_EQ(p.projectionImage, nullptr);
    EXPECT_NE(log.text.find("Light ID 3: projection image 'no_such_gobo.png' not found"), std::string::npos) << log.text;
    EXPECT_EQ(calls.setLightProjImage(3, nullptr), 0);

    EXPECT_EQ(calls.setLightVolumetricSettings(3, 2, true, 0.5f, 0.25f, 1.0f), 0);
    EXPECT_EQ(p.volumetricMode, 2);
    EXPECT_TRUE(p.volumetricHasColour);
    EXPECT_FLOAT_EQ(p.volumetricColour[1], 0.25f);
    EXPECT_EQ(calls.setLightVolumetricSettings(3, 1, false, 0.5f, 0.25f, 1.0f), 0);
    EXPECT_FALSE(p.volumetricHasColour);
    EXPECT_FLOAT_EQ(p.volumetricColour[1], 1.0f);
    EXPECT_EQ(calls.setLightVolumetricSettings(4, 1, false, 0, 0, 0), -1);  // no such light
    keDeleteLight(3);
}

}  // namespace
