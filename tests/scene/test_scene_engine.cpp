// The example scene loaded through the object API on a running engine with the null driver, in
// its text and binary forms: what is registered, clones sharing the mesh, light set-up, and the
// transforms an animation gives.
#include "api/KeCubeMapApi.h"
#include "api/KeFxEmitterApi.h"
#include "api/KeLightApi.h"
#include "api/KeObjectApi.h"
#include "engine/IKeCubeMap.h"
#include "fx/CKeLightSceneNodeExt.h"
#include "fx/CKeParticleSystemSceneNode.h"
#include "fx/IKeSceneNodeExt.h"
#include "scene/KeSceneCalls.h"
#include "runtime/KeEngine.h"
#include "scene/KeScene.h"
#include "support/log_capture.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <unistd.h>

#include <fstream>
#include <string>

using namespace irr;
using namespace kolm;

namespace {

class SceneEngine : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        char cwd[4096];
        ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
        previous = cwd;
        // Mesh files of the example are named relative to its folder.
        ASSERT_EQ(::chdir(KOLM_SOURCE_DIR "/examples/scenes"), 0);
        keSetEngineDriverType(video::EDT_NULL);
        EngineSetup setup;
        setup.baseDir = KOLM_SOURCE_DIR "/data/";  // the particle image and effect of emitters
        ASSERT_EQ(keStartEngine(setup), 0);
        log.install();
    }
    void TearDown() override {
        keSceneUnload(1);
        keStopEngine();
        keSetEngineDriverType(video::EDT_OPENGL);
        ASSERT_EQ(::chdir(previous.c_str()), 0);
    }
    std::string previous;
    kolmtest::LogCapture log;
};

TEST_P(SceneEngine, ExampleScene) {
    keSceneSetReporting(true);
    ASSERT_EQ(keSceneLoad(GetParam(), 1, 10, 20, 30, 40, 50, false, "example", false), 0) << log.text;
    keSceneSetReporting(false);
    EXPECT_TRUE(log.boxes.empty()) << log.text;
    EXPECT_EQ(keSceneObjectCount(1), 2);
    EXPECT_EQ(keSceneLightCount(1), 4);
    EXPECT_EQ(keSceneCameraCount(1), 1);
    EXPECT_EQ(keSceneLength(1), 4000);

    // The ground is a clone of the cube: one mesh.
    auto* cube = static_cast<scene::IMeshSceneNode*>(keObjectGet(10));
    auto* ground = static_cast<scene::IMeshSceneNode*>(keObjectGet(11));
    ASSERT_TRUE(cube && ground);
    EXPECT_EQ(cube->getMesh(), ground->getMesh());
    EXPECT_FALSE(keObjectVisible(10));  // made hidden

    scene::ILightSceneNode* sun = keLightGet(20);
    scene::ILightSceneNode* lamp = keLightGet(21);
    ASSERT_TRUE(sun && lamp);
    EXPECT_EQ(sun->getLightData().Type, video::ELT_DIRECTIONAL);
    EXPECT_EQ(lamp->getLightData().Type, video::ELT_POINT);
    EXPECT_FLOAT_EQ(lamp->getRadius(), 12.0f);

    // The shadowed spot light and the volumetric spot light, as their set-up leaves them.
    scene::ILightSceneNode* spot = keLightGet(22);
    scene::ILightSceneNode* shaft = keLightGet(23);
    ASSERT_TRUE(spot && shaft);
    EXPECT_EQ(spot->getLightData().Type, video::ELT_SPOT);
    EXPECT_TRUE(spot->getCastShadow());
    const KeLightParams& sp = keFindLightExt(spot)->getParams();
    EXPECT_EQ(sp.shadowMapSize, 512);
    EXPECT_FLOAT_EQ(sp.shadowMapFuzz, 1.0f);
    EXPECT_FALSE(sp.volumetric);
    const KeLightParams& vp = keFindLightExt(shaft)->getParams();
    EXPECT_TRUE(vp.volumetric);
    EXPECT_EQ(vp.volumetricMode, 1);
    EXPECT_TRUE(vp.volumetricHasColour);
    EXPECT_FLOAT_EQ(vp.volumetricColour[2], 1.0f);
    EXPECT_FLOAT_EQ(vp.volumetricColour[0], 0.5f);
    // Objects cast shadows as their shadowOpts say.
    EXPECT_TRUE(keFindNodeExt(keObjectGet(10))->getCastShadows());
    EXPECT_FALSE(keFindNodeExt(keObjectGet(11))->getCastShadows());

    // The fountain of sparks: a box emitter with the default particle effect, hidden until shown.
    CKeParticleSystemSceneNode* sparks = keFxEmitterGet(30);
    ASSERT_NE(sparks, nullptr);
    EXPECT_FALSE(sparks->isVisible());
    ASSERT_NE(keFindNodeExt(sparks), nullptr);
    EXPECT_NE(keFindNodeExt(sparks)->getEffect(0), nullptr);

    keSceneShow(1);
    EXPECT_TRUE(keObjectVisible(10));
    EXPECT_TRUE(keLightVisible(21));
    EXPECT_TRUE(sparks->isVisible());

    keSceneAnimate(1, 4000);  // the last frame
    EXPECT_NEAR(cube->getRotation().Y, 90.0f, 0.01f);
    const core::vector3df g = ground->getPosition();
    EXPECT_NEAR(g.Y, -1.1f, 1e-5f);
    EXPECT_NEAR(ground->getScale().X, 10.0f, 1e-4f);
    EXPECT_NEAR(ground->getScale().Y, 0.05f, 1e-4f);
    EXPECT_NEAR(lamp->getPosition().X, 2.0f, 1e-5f);
    EXPECT_NEAR(lamp->getPosition().Z, -2.0f, 1e-5f);
    // The camera ends its quarter circle at (8 sin 45°, 3, -8 cos 45°).
    keEngineContext().cameraAnimator->animateNode(keEngineContext().camera, 0);  // as the next frame
    const core::vector3df eye = keEngineContext().camera->getPosition();
    EXPECT_NEAR(eye.X, 5.6569f, 1e-3f);
    EXPECT_NEAR(eye.Y, 3.0f, 1e-5f);
    EXPECT_NEAR(eye.Z, -5.6569f, 1e-3f);

    EXPECT_NEAR(sparks->getPosition().Y, 1.05f, 1e-5f);
    EXPECT_EQ(sparks->getEmitter()->state().birthRate, 0.0f);  // sparks only in the first 1.5 s

    keSceneUnload(1);
    EXPECT_FALSE(keObjectExist(10));
    EXPECT_FALSE(keObjectExist(11));
    EXPECT_FALSE(keLightExist(20));
    EXPECT_FALSE(keFxEmitterExist(30));
}

// A second slot under the same name clones the first slot's meshes; unloading the first leaves
// the clones whole.
TEST_P(SceneEngine, ClonesOutliveTheirSourceSlot) {
    ASSERT_EQ(keSceneLoad(GetParam(), 1, 10, 20, 30, 40, 50, false, "example", false), 0);
    ASSERT_EQ(keSceneLoad(GetParam(), 2, 60, 70, 80, 90, 100, false, "example", false), 0);
    auto* source = static_cast<scene::IMeshSceneNode*>(keObjectGet(10));
    auto* clone = static_cast<scene::IMeshSceneNode*>(keObjectGet(60));
    ASSERT_TRUE(source && clone);
    EXPECT_EQ(source->getMesh(), clone->getMesh());
    keSceneUnload(1);
    EXPECT_FALSE(keObjectExist(10));
    ASSERT_TRUE(keObjectExist(60));
    ASSERT_NE(clone->getMesh(), nullptr);
    ASSERT_GT(clone->getMesh()->getMeshBufferCount(), 0u);
    EXPECT_EQ(clone->getMesh()->getMeshBuffer(0)->getVertexCount(), 24u);
    keSceneUnload(2);
    EXPECT_FALSE(keObjectExist(60));
}

// Preparation and the animation through the engine's table: the object reflects the cube map
// its use names (with the box), volumetric values reach the light's extension, the depth of
// field reaches the render settings, and the slot ends hidden.
TEST_P(SceneEngine, PreparedSceneReachesTheEngine) {
    const std::string path = "/tmp/kolm-scene-engine-" + std::to_string(::getpid()) + ".kscn";
    std::ofstream(path)
        << "{ Scene\n { SceneInfo\n  frameEnd I4 10\n  frameStep I4 1\n  framesPerSecond FP 25\n }\n"
           " { Cameras\n  { C\n   zoomFactor FP 3.2\n   flags I4 8\n   focalDistance FP 7\n   fStop FP 2\n  }\n }\n"
           " { CubeMaps\n  { C\n   name STR \"env\"\n   textureSize I4 16\n   renderType I4 1\n  }\n }\n"
           " { Objects\n  { O\n   kfilename STR \"" KOLM_SOURCE_DIR "/examples/scripts/cube.x\"\n"
           "   { UseCubeMaps\n    { U\n     renderCubeMap STR \"env\"\n     aabbPosition FP 1 2 3\n"
           "     aabbScale FP 4 5 6\n    }\n   }\n  }\n }\n"
           " { Lights\n  { L\n   type I4 1\n   flags I4 32\n   { Volumetric\n    density FP 0.25\n    base FP 3\n   }\n  }\n }\n"
           "}\n";
    ASSERT_EQ(keSceneLoad(path.c_str(), 1, 10, 20, 30, 40, 50, false, "prepared", false), 0) << log.text;
    std::remove(path.c_str());
    keScenePrepare(1);
    IKeSceneNodeExt* ext = keFindNodeExt(keObjectGet(10));
    ASSERT_TRUE(ext && keCubeMapGet(40));
    EXPECT_EQ(ext->getCubeMapTexture(), keCubeMapGet(40)->getTexture());
    EXPECT_TRUE(ext->getCubeMapBoxed());
    EXPECT_EQ(ext->getCubeMapBoxScale(), core::vector3df(4, 5, 6));
    EXPECT_FALSE(keObjectVisible(10));
    IKeLightSceneNodeExt* light = keFindLightExt(keLightGet(20));
    ASSERT_TRUE(light);
    EXPECT_FLOAT_EQ(light->getParams().volumetricDensity, 0.25f);
    EXPECT_FLOAT_EQ(light->getParams().volumetricBase, 3.0f);
    EXPECT_EQ(keSceneRenderSettings().dofEnabled, 1);
    EXPECT_FLOAT_EQ(keSceneRenderSettings().focalDistance, 7.0f);
    keSceneShow(1);
    keSceneUpdate(1, 0);  // the null driver renders nothing, and nothing breaks
    keSceneUnload(1);
    EXPECT_FALSE(keCubeMapExist(40));
}

INSTANTIATE_TEST_SUITE_P(Forms, SceneEngine,
                         ::testing::Values("cube_on_ground.kscn", "cube_on_ground.lws.ini.bin"));

}  // namespace
