// Scene animation figures: one frame of a generated 200-object scene (position, rotation and
// scale channels, three surfaces with animated parameters and a cube-map use per object, four
// lights of which a volumetric spot, a camera with depth of field, glow, streak and SSAO on)
// animated through the engine's object API on the null driver. Reports µs per frame and the
// allocations per frame (which must be 0).
#include "support/alloc_counter.h"

#include "runtime/KeEngine.h"
#include "scene/KeScene.h"
#include "scene/scene_text.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

struct Engine {
    bool ok = false;
    Engine() {
        kolm::keSetEngineDriverType(irr::video::EDT_NULL);
        if (kolm::keStartEngine(kolm::EngineSetup()) != 0) return;
        const std::string path = "/tmp/kolm-bench-animate-" + std::to_string(::getpid()) + ".kscn";
        std::ofstream(path) << kolmtest::animatedSceneText(200, KOLM_SOURCE_DIR "/examples/scripts/cube.x");
        ok = kolm::keSceneLoad(path.c_str(), 1, 1, 0, 0, 0, 0, false, "bench", false) == 0;
        std::remove(path.c_str());
        kolm::keSceneShow(1);
    }
    ~Engine() {
        kolm::keSceneUnload(1);
        kolm::keStopEngine();
    }
};

void AnimateFrame(benchmark::State& state) {
    static Engine engine;
    if (!engine.ok) {
        state.SkipWithError("the engine or the scene did not start");
        return;
    }
    int t = 0;
    kolm::keSceneAnimate(1, t);  // the first frame sends every setting once
    const long before = gAllocations.load();
    for (auto _ : state) {
        kolm::keSceneAnimate(1, t);
        t = (t + 17) % 4000;
    }
    const double frames = double(state.iterations());
    state.counters["allocs_per_frame"] = double(gAllocations.load() - before) / frames;
    state.counters["objects"] = kolm::keSceneObjectCount(1);
}
BENCHMARK(AnimateFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
