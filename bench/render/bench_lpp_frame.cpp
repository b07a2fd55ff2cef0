// Frame times of the example scene at 1280 x 720 under the simple renderer and the light
// pre-pass renderer, in one run: 200 frames each (keSync, buffer swap included, no vertical
// sync), median and 95th percentile, their ratio, and the allocations of frames 50 to 150 (the
// renderer's own work allocates nothing; what is counted comes from the library's driver, for
// both renderers alike). Needs a display (Xvfb).
#include "render/lpp_fixture.h"
#include "support/alloc_counter.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kFrames = 200;

struct FrameTimes {
    double median = 0, p95 = 0;
    long allocations = -1;
    bool ok = false;
};

FrameTimes runScene(bool lightPrePass) {
    FrameTimes r;
    kolm::keSetLogSink([](const char*, void*) {}, nullptr);
    kolm::keSetMessageBoxHandler([](const char*, void*) {}, nullptr);
    lpptest::startEngine(1280, 720, lightPrePass);
    if (!kolm::keEngineContext().device || !lpptest::loadExampleScene(0)) {
        kolm::keStopEngine();
        return r;
    }
    // The scene's two lights plus a shadowed, volumetric spot light.
    lpptest::addSpotLight(40, {-3.0f, 5.0f, 1.0f}, {0.5f, -1, 0}, 10.0f, 22.0f, 14.0f, 0x80C0FF);
    kolm::keSetLightShadow(40, true);
    if (kolm::KeLightParams* p = lpptest::lightParams(40)) {
        p->volumetric = true;
        p->volumetricMode = 1;
    }
    std::vector<double> ms;
    ms.reserve(kFrames);
    long before = 0;
    for (int frame = 0; frame < kFrames; ++frame) {
        const int t = frame * 20;
        // Animation (the scene's work) stays outside the counted and timed frame.
        kolm::keSetFrameTime(t);
        kolm::keSceneAnimate(1, t);
        if (frame == 50) before = gAllocations.load();
        const auto start = std::chrono::steady_clock::now();
        kolm::keSync();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        if (frame == 150) r.allocations = gAllocations.load() - before;
    }
    std::sort(ms.begin(), ms.end());
    r.median = ms[ms.size() / 2];
    r.p95 = ms[size_t(double(ms.size()) * 0.95)];
    r.ok = true;
    kolm::keSceneUnload(1);
    kolm::keDeleteAllLights();
    kolm::keDeleteAllEffects();
    kolm::keStopEngine();
    return r;
}

void BM_ExampleSceneFrames(benchmark::State& state) {
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("needs a display (run under Xvfb)");
        return;
    }
    FrameTimes simple, lpp;
    for (auto _ : state) {
        simple = runScene(false);
        lpp = runScene(true);
    }
    if (!simple.ok || !lpp.ok) {
        state.SkipWithError("the engine or the example scene did not start");
        return;
    }
    state.counters["simple_median_ms"] = simple.median;
    state.counters["simple_p95_ms"] = simple.p95;
    state.counters["lpp_median_ms"] = lpp.median;
    state.counters["lpp_p95_ms"] = lpp.p95;
    state.counters["median_ratio"] = lpp.median / simple.median;
    state.counters["p95_ratio"] = lpp.p95 / simple.p95;
    state.counters["lpp_allocs_50_150"] = double(lpp.allocations);
    state.counters["simple_allocs_50_150"] = double(simple.allocations);
}
BENCHMARK(BM_ExampleSceneFrames)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
