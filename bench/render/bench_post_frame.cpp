// Frame times of the example scene at 1280 x 720 under the light pre-pass renderer with its
// post effects, side by side in one run: base (none), + glow with light streaks, + depth of
// field, + SMAA (the renderer started with anti-aliasing). 150 frames each (keSync, buffer swap
// included, no vertical sync): median and 95th percentile, the cost of each effect over the base,
// and the allocations of frames 50 to 140 (a frame allocates nothing). Needs a display (Xvfb).
#include "render/lpp_fixture.h"
#include "support/alloc_counter.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kFrames = 150;

struct FrameTimes {
    double median = 0, p95 = 0;
    long allocations = -1;
    bool ok = false;
};

enum class Post { Base, Glow, Dof, Smaa };

FrameTimes runScene(Post post) {
    FrameTimes r;
    kolm::keSetLogSink([](const char*, void*) {}, nullptr);
    kolm::keSetMessageBoxHandler([](const char*, void*) {}, nullptr);
    kolm::EngineSetup s;
    s.width = 1280;
    s.height = 720;
    s.windowed = 1;
    s.vsync = 0;
    s.antialias = post == Post::Smaa ? 1 : 0;
    s.lightPrePass = 1;
    s.baseDir = KOLM_TEST_BASE_DIR "/";
    auto* renderer = kolm::keStartEngine(s) == 0 ? dynamic_cast<kolm::CKeRendererLpp*>(kolm::keCurrentRenderer()) : nullptr;
    if (!renderer || !lpptest::loadExampleScene(0)) {
        kolm::keStopEngine();
        return r;
    }
    kolm::LppPostSettings settings;
    if (post == Post::Glow) {
        settings.glowEnabled = true;
        settings.glowIntensity = 1.0f;
        settings.glowRadius = 48.0f;
        settings.streakEnabled = true;
    } else if (post == Post::Dof) {
        settings.dofEnabled = true;
        settings.focalDistance = 8.0f;
        settings.fStop = 1.4f;
    }
    std::vector<double> ms;
    ms.reserve(kFrames);
    long before = 0;
    for (int frame = 0; frame < kFrames; ++frame) {
        const int t = frame * 20;
        kolm::keSetFrameTime(t);
        kolm::keSceneAnimate(1, t);
        *renderer->getPostSettings() = settings;
        if (frame == 50) before = gAllocations.load();
        const auto start = std::chrono::steady_clock::now();
        kolm::keSync();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        if (frame == 140) r.allocations = gAllocations.load() - before;
    }
    std::sort(ms.begin(), ms.end());
    r.median = ms[ms.size() / 2];
    r.p95 = ms[size_t(double(ms.size()) * 0.95)];
    r.ok = true;
    kolm::keSceneUnload(1);
    kolm::keDeleteAllObjects();
    kolm::keDeleteAllLights();
    kolm::keDeleteAllEffects();
    kolm::keStopEngine();
    return r;
}

void BM_PostEffectFrames(benchmark::State& state) {
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("needs a display (run under Xvfb)");
        return;
    }
    const struct {
        Post post;
        const char* name;
    } runs[] = {{Post::Base, "base"}, {Post::Glow, "glow"}, {Post::Dof, "dof"}, {Post::Smaa, "smaa"}};
    FrameTimes times[4];
    for (auto _ : state)
        for (int i = 0; i < 4; ++i) times[i] = runScene(runs[i].post);
    for (int i = 0; i < 4; ++i) {
        if (!times[i].ok) {
            state.SkipWithError("the engine or the example scene did not start");
            return;
        }
        const std::string n = runs[i].name;
        state.counters[n + "_median_ms"] = times[i].median;
        state.counters[n + "_p95_ms"] = times[i].p95;
        state.counters[n + "_allocs_50_140"] = double(times[i].allocations);
        if (i) state.counters[n + "_cost_ms"] = times[i].median - times[0].median;
    }
}
BENCHMARK(BM_PostEffectFrames)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
