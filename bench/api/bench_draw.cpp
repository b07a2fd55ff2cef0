// The 2D layer's per-frame work: queueing a HUD's worth of entries, and playing it back on
// OpenGL (needs a display: run under Xvfb for llvmpipe figures). Each reports the allocations
// per frame, which must be 0.
#include "api/KeDrawApi.h"
#include "core/KeError.h"
#include "runtime/KeEngine.h"
#include "support/alloc_counter.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

using namespace kolm;

namespace {

enum : int { kBoxes = 1, kLines = 2, kTexts = 4, kAll = 7 };

// 100 boxes, 100 lines and 64 texts (those of `kinds`): a busy read-out.
void queueHud(int kinds = kAll) {
    for (int i = 0; i < 100; ++i) {
        if (kinds & kBoxes) keBox(i, i, i + 20, i + 10);
        if (kinds & kLines) keLine(0, i, 300, i);
    }
    if (kinds & kTexts)
        for (int i = 0; i < KE_DRAW_TEXT_SLOTS; ++i) keText(10, i * 8, "frame 1234  time 56.78 s");
}

void BM_QueueHud(benchmark::State& state) {
    keDrawQueueDiscard();
    const long before = gAllocations;
    for (auto _ : state) {
        queueHud();
        keDrawQueueDiscard();
    }
    state.counters["allocs/frame"] = double(gAllocations - before) / double(state.iterations());
    state.counters["entries/frame"] = 200 + KE_DRAW_TEXT_SLOTS;
}
BENCHMARK(BM_QueueHud);

void BM_PlayHudOnOpenGL(benchmark::State& state) {
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("no display");
        return;
    }
    keSetLogSink([](const char*, void*) {}, nullptr);
    EngineSetup s;
    s.width = 640;
    s.height = 480;
    s.windowed = 1;
    s.vsync = 0;
    if (keStartEngine(s) != 0) {
        state.SkipWithError("start-up failed");
        return;
    }
    keSetTextFont(KE_DEFAULT_FONT_FILE);  // found in the data folder beside the executables
    keSync();
    long allocations = 0;
    for (auto _ : state) {
        queueHud(static_cast<int>(state.range(0)));
        const long before = gAllocations;
        keDrawQueueDraw();
        allocations += gAllocations - before;
    }
    state.counters["allocs/frame"] = double(allocations) / double(state.iterations());
    keStopEngine();
}
// Argument: the kinds queued (1 boxes, 2 lines, 4 texts, 7 all).
BENCHMARK(BM_PlayHudOnOpenGL)->Arg(kBoxes)->Arg(kLines)->Arg(kTexts)->Arg(kAll)->Unit(benchmark::kMicrosecond);

}  // namespace
