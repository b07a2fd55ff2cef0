// The demo player on the engine's own backend with the null driver: an extra scene with an
// object and an fx emitter is shown parked at its part's start, comes before the camera with
// its emitter in its window, and is parked again (object far away, emitter hidden) after it.
#include "api/KeFxEmitterApi.h"
#include "api/KeObjectApi.h"
#include "demo/CKeDemoBackendEngine.h"
#include "demo/KeDemoPlayer.h"
#include "fx/CKeParticleSystemSceneNode.h"
#include "runtime/KeEngine.h"
#include "scene/KeScene.h"
#include "support/log_capture.h"
#include "support/scratch_dir.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <sys/stat.h>

#include <fstream>

using namespace irr;
using namespace kolm;

namespace {

const char* const kScene =
    "{ Scene\n { SceneInfo\n  frameEnd I4 100\n  frameStep I4 1\n  framesPerSecond FP 25\n }\n"
    " { Cameras\n  { C\n   position FP 0 0 -5\n  }\n }\n"
    " { Objects\n  { O\n   kfilename STR \"" KOLM_SOURCE_DIR "/examples/scripts/cube.x\"\n   scale FP 1 1 1\n  }\n }\n"
    "}\n";

// Two emitters: a box, and one of an unsupported nozzle that is never made (its ID stays free).
const char* const kExtra =
    "{ Scene\n { SceneInfo\n  frameEnd I4 100\n  frameStep I4 1\n  framesPerSecond FP 25\n }\n"
    " { Cameras\n  { C\n  }\n }\n"
    " { Objects\n  { O\n   kfilename STR \"" KOLM_SOURCE_DIR "/examples/scripts/cube.x\"\n   position FP 0 0 6\n"
    "   scale FP 0.2 0.2 0.2\n  }\n }\n"
    " { FxEmitters\n"
    "  { E\n   type I4 0\n   position FP 0 0 6\n   { ParticleFx\n    nozzle I4 0\n    generatorSize FP 0.1 0.1 0.1\n"
    "   }\n   { HyperVoxel\n    particleSize FP 0.05\n   }\n  }\n"
    "  { E\n   type I4 0\n   { ParticleFx\n    nozzle I4 4\n   }\n  }\n }\n"
    "}\n";

class DemoBackendEngine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.enter("/tmp/kolm-demo-backend-"));
        std::ofstream("main.kscn") << kScene;
        ASSERT_EQ(::mkdir("extras", 0755), 0);
        std::ofstream("extras/extra.kscn") << kExtra;
        std::ofstream("one.demo.ini") << "[main part]\ntime = 0\nfilename = main.kscn\n"
                                         "extra.0.directory = extras\nextra.0.filename = extra.kscn\n"
                                         "extra.0.time = 1000\nextra.0.length = 1000\n"
                                         "[end part]\ntime = 5000\n";
        keSetEngineDriverType(video::EDT_NULL);
        EngineSetup setup;
        setup.baseDir = KOLM_SOURCE_DIR "/data/";  // the particle image and effect of emitters
        ASSERT_EQ(keStartEngine(setup), 0);
        log.install();
    }
    void TearDown() override {
        keStopEngine();
        keSetEngineDriverType(video::EDT_OPENGL);
    }
    ScratchDir dir;
    kolmtest::LogCapture log;
};

TEST_F(DemoBackendEngine, ExtrasShowHideAndParkTheirEmitters) {
    CKeDemoBackendEngine backend;
    DemoDefinition def;
    DemoIdAllocator ids;
    ASSERT_EQ(keDemoLoad(def, (dir.path + "/one.demo.ini").c_str(), ids, backend), 0) << log.text;
    const DemoExtra& extra = def.parts[0].extras[0];
    ASSERT_GE(extra.sceneSlot, 0);
    scene::ISceneNode* gem = keObjectGet(extra.objectBase);
    CKeParticleSystemSceneNode* sparks = keFxEmitterGet(extra.emitterBase);
    ASSERT_TRUE(gem && sparks);
    EXPECT_FALSE(keFxEmitterExist(extra.emitterBase + 1));
    log.clear();

    struct Step {
        int32_t time;
        bool sparksShown;
        float gemZ;  // relative to the camera
    };
    const Step steps[] = {
        {0, false, -1000000.0f},    // the part starts: the extra is shown, parked
        {500, false, -1000000.0f},  // before its window
        {1500, true, 6.0f},         // in its window, before the camera
        {2500, false, -1000000.0f}, // after it: parked again
    };
    DemoPlayState state;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.time);
        ASSERT_EQ(keDemoFrame(def, state, s.time, backend, false), 0);
        EXPECT_TRUE(gem->isVisible());
        EXPECT_EQ(sparks->isVisible(), s.sparksShown);
        EXPECT_FLOAT_EQ(gem->getPosition().Z, s.gemZ);
    }
    // The emitter that was never made is skipped without a report.
    EXPECT_TRUE(log.text.empty()) << log.text;
    keDemoFree(def, backend);
}

}  // namespace
