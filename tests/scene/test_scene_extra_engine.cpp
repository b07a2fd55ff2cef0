// Extra scenes on a running engine with the null driver: their objects and emitters ride with
// the engine camera, placed relative to the extra scene's own camera, so that what the scene
// puts in front of its camera is seen in front of the engine camera however that one turns.
#include "api/KeCameraApi.h"
#include "api/KeFxEmitterApi.h"
#include "api/KeObjectApi.h"
#include "fx/CKeParticleSystemSceneNode.h"
#include "runtime/KeEngine.h"
#include "scene/KeScene.h"
#include "support/log_capture.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

using namespace irr;
using namespace kolm;

namespace {

// Scene camera at (4, 0, 0); object 0 and the emitter at (10, 0, 0), 6 to the camera's +X;
// object 1 at (4, -0.9, 6), 6 ahead of it and a little below.
const char* const kExtraScene =
    "{ Scene\n { SceneInfo\n  frameEnd I4 10\n  frameStep I4 1\n  framesPerSecond FP 25\n }\n"
    " { Cameras\n  { C\n   position FP 4 0 0\n  }\n }\n"
    " { Objects\n"
    "  { O\n   kfilename STR \"" KOLM_SOURCE_DIR "/examples/scripts/cube.x\"\n   position FP 10 0 0\n"
    "   scale FP 1 1 1\n  }\n"
    "  { O\n   kfilename STR \"" KOLM_SOURCE_DIR "/examples/scripts/cube.x\"\n   position FP 4 -0.9 6\n"
    "   scale FP 0.1 0.1 0.1\n  }\n }\n"
    " { FxEmitters\n  { E\n   type I4 0\n   position FP 10 0 0\n"
    "   { ParticleFx\n    nozzle I4 0\n    generatorSize FP 0.1 0.1 0.1\n   }\n"
    "   { HyperVoxel\n    particleSize FP 0.05\n   }\n  }\n }\n"
    "}\n";

class SceneExtraEngine : public ::testing::Test {
protected:
    void SetUp() override {
        keSetEngineDriverType(video::EDT_NULL);
        EngineSetup setup;
        setup.baseDir = KOLM_SOURCE_DIR "/data/";  // the particle image and effect of emitters
        ASSERT_EQ(keStartEngine(setup), 0);
        log.install();
        path = "/tmp/kolm-scene-extra-" + std::to_string(::getpid()) + ".kscn";
        std::ofstream(path) << kExtraScene;
    }
    void TearDown() override {
        std::remove(path.c_str());
        keSceneUnload(2);
        keStopEngine();
        keSetEngineDriverType(video::EDT_OPENGL);
    }
    // One frame's scene-graph update: the camera's animator places the camera, then its
    // children follow; the camera then builds its view from where it stands.
    void animateGraph() {
        EngineContext& c = keEngineContext();
        c.sceneManager->getRootSceneNode()->OnAnimate(0);
        c.camera->render();
    }
    // A node's absolute position in the engine camera's view space (+Z ahead, +Y up).
    static core::vector3df inView(scene::ISceneNode* node) {
        core::vector3df v = node->getAbsolutePosition();
        keEngineContext().camera->getViewMatrix().transformVect(v);
        return v;
    }
    std::string path;
    kolmtest::LogCapture log;
};

void expectNear(const core::vector3df& a, const core::vector3df& b) {
    EXPECT_NEAR(a.X, b.X, 1e-3f);
    EXPECT_NEAR(a.Y, b.Y, 1e-3f);
    EXPECT_NEAR(a.Z, b.Z, 1e-3f);
}

TEST_F(SceneExtraEngine, ObjectsAndEmittersRideWithTheCamera) {
    ASSERT_EQ(keSceneLoad(path.c_str(), 2, 100, 200, 300, 400, 500, false, "extra", true), 0) << log.text;
    keSceneShow(2);
    scene::ISceneNode* side = keObjectGet(100);
    scene::ISceneNode* ahead = keObjectGet(101);
    CKeParticleSystemSceneNode* emitter = keFxEmitterGet(300);
    ASSERT_TRUE(side && ahead && emitter);
    EXPECT_EQ(side->getParent(), keEngineContext().camera);
    EXPECT_EQ(emitter->getParent(), keEngineContext().camera);

    // Engine camera poses (position, rotation in degrees): straight, turned and pitched down,
    // and turned, raised and banked.
    struct Pose {
        core::vector3df position, rotation;
    };
    const Pose poses[] = {
        {{0, 0, 0}, {0, 0, 0}},
        {{1, 2, 3}, {20, 90, 0}},
        {{-5, 1, 2}, {-30, 200, 10}},
    };
    for (const Pose& p : poses) {
        SCOPED_TRACE(testing::Message() << "camera rotation " << p.rotation.X << " " << p.rotation.Y << " "
                                        << p.rotation.Z);
        kePositionCamera(p.position.X, p.position.Y, p.position.Z);
        keRotateCamera(p.rotation.X, p.rotation.Y, p.rotation.Z);
        keSceneAnimate(2, 0);
        animateGraph();
        // (10, 0, 0) with the scene camera at (4, 0, 0) is (6, 0, 0) relative to the engine
        // camera: in its own axes, whichever way it looks.
        expectNear(side->getPosition(), core::vector3df(6, 0, 0));
        expectNear(inView(side), core::vector3df(6, 0, 0));
        expectNear(emitter->getPosition(), core::vector3df(6, 0, 0));
        expectNear(inView(emitter), core::vector3df(6, 0, 0));
        // What lies ahead of the scene camera lies ahead of the engine camera, on screen just
        // below the middle.
        expectNear(inView(ahead), core::vector3df(0, -0.9f, 6));
        const core::position2di at =
            keEngineContext().sceneManager->getSceneCollisionManager()->getScreenCoordinatesFrom3DPosition(
                ahead->getAbsolutePosition(), keEngineContext().camera);
        const core::dimension2du screen = keEngineContext().driver->getScreenSize();
        EXPECT_NEAR(at.X, int(screen.Width / 2), 2);
        EXPECT_GT(at.Y, int(screen.Height / 2));
        EXPECT_LT(at.Y, int(screen.Height * 3 / 4));
    }
}

}  // namespace
