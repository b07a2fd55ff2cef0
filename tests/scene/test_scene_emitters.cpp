// The ParticleFx emitters of scene documents against a recording emitter table: creation by
// type and nozzle with its reports, configuration at load, parents, gradients, the channels at
// every animation step and the restart at the scene's beginning, hiding and unloading.
#include "scene/KeScene.h"
#include "scene/KeSceneEmitters.h"
#include "scene_recorder.h"
#include "support/log_capture.h"
#include "support/scratch_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

using namespace kolm;

namespace {

// Records every emitter call as one line; emitters exist once made (a made mesh emitter whose
// object is 199 does not).
struct EmitterRecorder {
    std::vector<std::string> calls;
    std::set<int> ids;

    static EmitterRecorder*& current() {
        static EmitterRecorder* r = nullptr;
        return r;
    }
    static void add(const char* format, ...) __attribute__((format(printf, 1, 2))) {
        char line[512];
        va_list args;
        va_start(args, format);
        std::vsnprintf(line, sizeof line, format, args);
        va_end(args);
        current()->calls.push_back(line);
    }
    static int made(int id) {
        current()->ids.insert(id);
        return 0;
    }
    EmitterRecorder() {
        current() = this;
        keSceneSetEmitterCalls(&table());
    }
    ~EmitterRecorder() {
        keSceneSetEmitterCalls(nullptr);
        current() = nullptr;
    }
    std::vector<std::string> with(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const std::string& c : calls)
            if (c.rfind(prefix, 0) == 0) out.push_back(c);
        return out;
    }
    static const KeSceneEmitterCalls& table() {
        static const KeSceneEmitterCalls t = {
            [](int id, const char* i, float x, float y, float z) { add("makeBox %d %s %g %g %g", id, i, x, y, z); return made(id); },
            [](int id, const char* i, float x, float y, float z) { add("makeSphere %d %s %g %g %g", id, i, x, y, z); return made(id); },
            [](int id, const char* i, int o) { add("makeMeshVertices %d %s %d", id, i, o); return made(id); },
            [](int id, const char* i, int o) { add("makeMeshNormal %d %s %d", id, i, o); return made(id); },
            [](int id, const char* i, int o) { add("makeMeshSurface %d %s %d", id, i, o); return made(id); },
            [](int id, const char* i, int p) { add("makeParticles %d %s %d", id, i, p); return made(id); },
            [](int id, const char* i, int p) { add("makeDyingParticles %d %s %d", id, i, p); return made(id); },
            [](int id, const char* i, int o) { add("makeMeshStatic %d %s %d", id, i, o); return made(id); },
            [](int id) { return current()->ids.count(id) != 0; },
            [](int id) { add("show %d", id); return 0; },
            [](int id) { add("hide %d", id); return 0; },
            [](int id) { add("remove %d", id); current()->ids.erase(id); return 0; },
            [](int id, float x, float y, float z) { add("position %d %g %g %g", id, x, y, z); return 0; },
            [](int id, float x, float y, float z) { add("rotate %d %g %g %g", id, x, y, z); return 0; },
            [](int id) { add("lockOn %d", id); return 0; },
            [](int id, float x, float y, float z) { add("setVelocity %d %g %g %g", id, x, y, z); return 0; },
            [](int id, float x, float y, float z) { add("setGravity %d %g %g %g", id, x, y, z); return 0; },
            [](int id, float v) { add("setParentMotion %d %g", id, v); return 0; },
            [](int id, float v) { add("setBirthRate %d %g", id, v); return 0; },
            [](int id, float v, float w) { add("setLifeTime %d %g %g", id, v, w); return 0; },
            [](int id, float v) { add("setExplosion %d %g", id, v); return 0; },
            [](int id, float v) { add("setWeight %d %g", id, v); return 0; },
            [](int id, float v) { add("setResistance %d %g", id, v); return 0; },
            [](int id, float v) { add("setVibration %d %g", id, v); return 0; },
            [](int id, float v) { add("setRandomVelocity %d %g", id, v); return 0; },
            [](int id, float v) { add("setCurlNoisePower %d %g", id, v); return 0; },
            [](int id, float v) { add("setCurlNoiseFrequency %d %g", id, v); return 0; },
            [](int id, int v) { add("setParticleLimit %d %d", id, v); return 0; },
            [](int id, float v) { add("setParticleSize %d %g", id, v); return 0; },
            [](int id, int v) { add("setBlendMode %d %d", id, v); return 0; },
            [](int id) { add("setUseImageColor %d", id); return 0; },
            [](int id, uint32_t c) { add("setColor %d 0x%06x", id, c); return 0; },
            [](int id, float v) { add("setRotation %d %g", id, v); return 0; },
            [](int id, int n, const float* k) { add("setSizeGradient %d %d %g", id, n, k[5 * n - 1]); return 0; },
            [](int id, int n, const float* k) { add("setColorGradient %d %d %g", id, n, k[5 * n - 1]); return 0; },
            [](int id, int p) { add("setParent %d %d", id, p); return 0; },
            [](int id, int on) { add("setHyperVoxel %d %d", id, on); return 0; },
            [](int id) { add("setDefaultEffect %d", id); return 0; },
            [](int id, const char* f, const KeFxEffectParameter*, int n) { add("setEffectParameters %d %s %d", id, f, n); return 0; },
            [](int id) { add("reset %d", id); return 0; },
            [](int id) { add("resetEmittedCount %d", id); return 0; },
        };
        return t;
    }
};

const char* kHead =
    "{ SceneInfo\n frameStart I4 0\n frameEnd I4 100\n frameStep I4 1\n framesPerSecond FP 25\n}\n"
    "{ Cameras\n { Camera\n  position FP 0 1 -5\n }\n}\n"
    "{ Objects\n { Object\n  kfilename STR \"cube.x\"\n  name STR \"cube\"\n }\n}\n";

class SceneEmitters : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.create("/tmp/kolm-emitters-")); }
    void TearDown() override {
        for (int s = 0; s < KE_SCENE_SLOTS; ++s) keSceneUnload(s);
        keSceneSetReporting(false);
    }
    // Loads a scene whose "FxEmitters" group holds `emitters` into slot 0 (emitters from 300).
    int load(const std::string& emitters, bool extra = false) {
        const std::string path = dir.path + "/scene.kscn";
        std::ofstream(path) << "{ Scene\n" << kHead << "{ FxEmitters\n" << emitters << "}\n}\n";
        return keSceneLoad(path.c_str(), 0, 100, 200, 300, 400, 500, false, "demo", extra);
    }
    static std::string emitter(const std::string& body, const std::string& fx = "", const std::string& hv = "") {
        return "{ FxEmitter\n" + body + "{ ParticleFx\n" + fx + "}\n{ HyperVoxel\n" + hv + "}\n}\n";
    }
    ScratchDir dir;
    kolmtest::SceneRecorder scene;
    EmitterRecorder rec;
    kolmtest::LogCapture log;
};

TEST_F(SceneEmitters, ShapesByTypeAndNozzle) {
    keSceneSetReporting(true);
    ASSERT_EQ(load(emitter("type I4 0\n", "nozzle I4 0\ngeneratorSize FP 1 2 3\n", "clipFilename STR \"spark.png\"\n") +
                   emitter("type I4 0\n", "nozzle I4 1\ngeneratorSize FP 4 5 6\n") +
                   emitter("type I4 0\nname STR \"cube\"\n", "nozzle I4 2\n") +
                   emitter("type I4 0\nname STR \"cube\"\n", "nozzle I4 5\n") +
                   emitter("type I4 1\nname STR \"cube\"\n") +
                   emitter("type I4 0\n", "nozzle I4 4\n", "clipFilename STR \"dot.png\"\n") +
                   emitter("type I4 0\nname STR \"nothing\"\n", "nozzle I4 3\n") + emitter("type I4 7\n")),
              0);
    const std::vector<std::string> made = {
        "makeBox 300 spark.png 1 2 3", "makeSphere 301  4 5 6", "makeMeshVertices 302  100", "makeMeshSurface 303  100",
        "makeMeshStatic 304  100"};
    std::vector<std::string> got;
    for (const std::string& c : rec.calls)
        if (c.rfind("make", 0) == 0) got.push_back(c);
    EXPECT_EQ(got, made);
    EXPECT_TRUE(log.contains("Unsupported Nozzle type 4 for fxemitter id=305 (image file='dot.png')"));
    EXPECT_TRUE(log.contains("The fxemitter id=305 (image file='dot.png') cannot be created"));
    EXPECT_TRUE(log.contains("fxemitter mesh id=306 image file='<no clip file>' cannot find object "));
    EXPECT_TRUE(log.contains("The fxemitter id=307 (image file='<no clip file>') cannot be created"));
    EXPECT_EQ(rec.with("setHyperVoxel").size(), 4u);  // type 0 emitters that exist
    EXPECT_EQ(rec.with("setDefaultEffect").size(), 5u);
    EXPECT_EQ(keSceneEmitterCount(0), 8);
}

TEST_F(SceneEmitters, ConfigurationAtLoadInOrder) {
    ASSERT_EQ(load(emitter("type I4 0\n", "nozzle I4 0\nparticleLimit I4 50\nlifeTime FP 2\nlifeTime_pm FP 0.5\nexplosion FP 3\n",
                           "particleSize FP 0.5\nclipAlpha I4 1\nclipFlags I4 0\ncolor FP 1 0.5 0\nclipRotation FP 0.25\n"
                           "gradientParticleSize FP 0 1 0 0 0 1 2 0 0 0\ngradientColor FP 0 1 1 1 1 0.5 0 0 1\n")),
              0);
    std::vector<std::string> config;
    for (const std::string& c : rec.calls)
        if (c.rfind("make", 0) != 0 && c.rfind("hide", 0) != 0 && c.rfind("setHyperVoxel", 0) != 0) config.push_back(c);
    const std::vector<std::string> want = {
        "setParticleSize 300 0.5", "setLifeTime 300 2 0.5", "setExplosion 300 3", "setParticleLimit 300 50",
        "setBlendMode 300 1",      "setColor 300 0xff7f00", "setRotation 300 0.25", "setSizeGradient 300 2 0",
        "setColorGradient 300 1 1",  // 9 floats: one key
        "setDefaultEffect 300"};
    EXPECT_EQ(config, want);
    EXPECT_EQ(rec.with("hide 300").size(), 1u);

    rec.calls.clear();
    ASSERT_EQ(load(emitter("type I4 0\n", "nozzle I4 0\n", "clipFlags I4 2\ncolor FP 1 0 0\ngradientColor FP 0 1 1 1\n")), 0);
    EXPECT_EQ(rec.with("setUseImageColor").size(), 1u);
    EXPECT_TRUE(rec.with("setColor ").empty());
    EXPECT_TRUE(rec.with("setColorGradient").empty());  // 4 floats: no key
}

TEST_F(SceneEmitters, ParentsAreSetOnceAllExist) {
    keSceneSetReporting(true);
    ASSERT_EQ(load(emitter("type I4 0\nname STR \"fountain\"\n", "nozzle I4 0\n") +
                   emitter("type I4 0\nparentName STR \"fountain\"\n", "nozzle I4 8\n") +
                   emitter("type I4 0\nparentName STR \"nobody\"\n", "nozzle I4 9\n")),
              0);
    EXPECT_EQ(rec.with("makeParticles"), std::vector<std::string>{"makeParticles 301  -1"});
    EXPECT_EQ(rec.with("setParent"), (std::vector<std::string>{"setParent 301 300", "setParent 302 -1"}));
    EXPECT_TRUE(log.contains("fxemitter parent-emitter id=302 cannot find parent emitter"));
}

TEST_F(SceneEmitters, AnimationDrivesTheChannelsAndRestartsAtTheBeginning) {
    ASSERT_EQ(load(emitter("type I4 0\nposition FP 1 2 3\n", "nozzle I4 0\nbirthRate FP 40\nvelocity FP 0 1 0\n")), 0);
    keSceneShow(0);
    EXPECT_EQ(rec.with("show 300").size(), 1u);
    rec.calls.clear();
    keSceneAnimate(0, 5000);
    const std::vector<std::string> want = {
        "position 300 1 2 3", "rotate 300 0 0 0",     "setVelocity 300 0 1 0", "setParentMotion 300 0",
        "setGravity 300 0 0 0", "setBirthRate 300 40", "setLifeTime 300 0 0",   "setExplosion 300 0",
        "setWeight 300 0",     "setResistance 300 0",  "setVibration 300 0",    "setRandomVelocity 300 0",
        "setCurlNoisePower 300 0", "setCurlNoiseFrequency 300 0"};
    EXPECT_EQ(rec.calls, want);
    EXPECT_TRUE(rec.with("reset").empty());
    keSceneAnimate(0, 0);
    keSceneAnimate(0, 0);
    EXPECT_EQ(rec.with("reset 300").size(), 1u);
    keSceneUnload(0);
    EXPECT_EQ(rec.with("remove 300").size(), 1u);
}

TEST_F(SceneEmitters, ReloadMakesAgainOnlyWhatChanged) {
    const std::string a = emitter("type I4 0\nname STR \"a\"\n", "nozzle I4 0\n", "particleSize FP 0.5\n");
    const std::string b = emitter("type I4 0\nparentName STR \"a\"\n", "nozzle I4 8\n");
    ASSERT_EQ(load(a + b), 0);
    const std::string path = dir.path + "/scene.kscn";
    auto reload = [&](const std::string& emitters) {
        std::ofstream(path) << "{ Scene\n" << kHead << "{ FxEmitters\n" << emitters << "}\n}\n";
        rec.calls.clear();
        return keSceneReload(path.c_str(), 0);
    };
    // Only the look of the first changed: configured again, nothing made.
    ASSERT_EQ(reload(emitter("type I4 0\nname STR \"a\"\n", "nozzle I4 0\n", "particleSize FP 0.75\n") + b), 0);
    EXPECT_TRUE(rec.with("make").empty());
    EXPECT_EQ(rec.with("setParticleSize"), std::vector<std::string>{"setParticleSize 300 0.75"});
    EXPECT_EQ(rec.with("resetEmittedCount"), (std::vector<std::string>{"resetEmittedCount 300", "resetEmittedCount 301"}));
    // The second's nozzle changed: it alone is made again, and the parents set again.
    ASSERT_EQ(reload(emitter("type I4 0\nname STR \"a\"\n", "nozzle I4 0\n", "particleSize FP 0.75\n") +
                     emitter("type I4 0\nparentName STR \"a\"\n", "nozzle I4 9\n")),
              0);
    EXPECT_EQ(rec.with("remove"), std::vector<std::string>{"remove 301"});
    EXPECT_EQ(rec.with("make"), std::vector<std::string>{"makeDyingParticles 301  -1"});
    EXPECT_EQ(rec.with("setParent"), std::vector<std::string>{"setParent 301 300"});
    // Another count: all of them again.
    ASSERT_EQ(reload(a), 0);
    EXPECT_EQ(rec.with("remove"), (std::vector<std::string>{"remove 300", "remove 301"}));
    EXPECT_EQ(rec.with("make"), std::vector<std::string>{"makeBox 300  0 0 0"});
    keSceneAnimate(0, 40);  // the emitters read the new document
    EXPECT_EQ(rec.with("position 300").size(), 1u);
}

TEST_F(SceneEmitters, ExtraScenesLockTheirEmittersToTheCamera) {
    ASSERT_EQ(load(emitter("type I4 0\n", "nozzle I4 1\n"), true), 0);
    EXPECT_EQ(rec.with("lockOn"), std::vector<std::string>{"lockOn 300"});
}

}  // namespace
