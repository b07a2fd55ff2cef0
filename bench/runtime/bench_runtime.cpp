// Engine start-up and the empty frame, on the OpenGL driver (needs a display: run under Xvfb
// for llvmpipe figures).
#include "runtime/KeEngine.h"
#include "core/KeError.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

using namespace kolm;
namespace fs = std::filesystem;

namespace {

bool haveDisplay(benchmark::State& state) {
    if (std::getenv("DISPLAY")) return true;
    state.SkipWithError("no display");
    return false;
}

void quiet() {
    keSetLogSink([](const char*, void*) {}, nullptr);
    keSetMessageBoxHandler([](const char*, void*) {}, nullptr);
}

EngineSetup windowed(int w, int h, const std::string& baseDir) {
    EngineSetup s;
    s.baseDir = baseDir;
    s.width = w;
    s.height = h;
    s.windowed = 1;
    s.vsync = 0;
    return s;
}

// One keSync with nothing in the scene: clear, GUI, present.
void BM_SyncEmptyFrame(benchmark::State& state) {
    if (!haveDisplay(state)) return;
    quiet();
    if (keStartEngine(windowed(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), "")) != 0) {
        state.SkipWithError("start-up failed");
        return;
    }
    for (auto _ : state) {
        keRun();
        keSync();
    }
    keStopEngine();
}
BENCHMARK(BM_SyncEmptyFrame)->Args({1280, 720})->Unit(benchmark::kMillisecond);

// Start and stop; cold: a new base directory each time (no shader or noise cache), warm: the
// caches of the previous start are there.
void BM_StartStop(benchmark::State& state) {
    if (!haveDisplay(state)) return;
    quiet();
    const bool warm = state.range(0) != 0;
    const fs::path root = fs::temp_directory_path() / "kolm_bench_start";
    fs::remove_all(root);
    int n = 0;
    if (warm) {
        fs::create_directories(root / "warm");
        keStartEngine(windowed(640, 480, (root / "warm").string() + "/"));
        keStopEngine();
    }
    for (auto _ : state) {
        fs::path base = warm ? root / "warm" : root / std::to_string(n++);
        fs::create_directories(base);
        if (keStartEngine(windowed(640, 480, base.string() + "/")) != 0) {
            state.SkipWithError("start-up failed");
            break;
        }
        keStopEngine();
    }
    fs::remove_all(root);
}
BENCHMARK(BM_StartStop)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
