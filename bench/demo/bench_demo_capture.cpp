// Capturing the showcase demo at 640 x 360 on the OpenGL driver (llvmpipe under Xvfb): frames
// per second of the whole capture step (the demo frame and writing it), the share of that
// spent writing the BMP file, and the allocations of writing one frame (expected: none).
//   xvfb-run build/bench/bench_demo_capture
#include "demo/CKeDemoBackendEngine.h"
#include "demo/KeDemoPlayer.h"
#include "core/KeError.h"
#include "runtime/KeEngine.h"
#include "support/alloc_counter.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

using namespace kolm;

namespace {

double nowSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void BM_CaptureShowcaseFrame(benchmark::State& state) {
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("no display");
        return;
    }
    keSetLogSink([](const char*, void*) {}, nullptr);
    keSetMessageBoxHandler([](const char*, void*) {}, nullptr);
    EngineSetup setup;
    setup.baseDir = std::string(KOLM_BIN_DIR) + "/";
    setup.width = 640;
    setup.height = 360;
    setup.windowed = 1;
    setup.vsync = 0;
    if (keStartEngine(setup) != 0) {
        state.SkipWithError("start-up failed");
        return;
    }
    {
        CKeDemoBackendEngine backend;
        auto def = std::make_unique<DemoDefinition>();
        DemoIdAllocator ids;
        const std::string path = std::string(KOLM_SOURCE_DIR) + "/examples/showcase/showcase.demo.ini";
        if (keDemoLoad(*def, path.c_str(), ids, backend) != 0) {
            state.SkipWithError("the showcase does not load");
            keDemoFree(*def, backend);
            keStopEngine();
            return;
        }
        for (int i = 0; i < def->partCount; ++i)
            if (def->parts[i].sceneSlot >= 0) backend.prepareScene(def->parts[i].sceneSlot);
        DemoPlayState st;
        const char* file = "/tmp/kolm-bench-capture.bmp";
        // Warm up (first frames compile and upload), then count.
        for (int k = 0; k < 5; ++k) {
            backend.setFrameTime(keDemoCaptureTime(k, 30));
            keDemoFrame(*def, st, keDemoCaptureTime(k, 30), backend);
            backend.screenshot(file);
        }
        double writing = 0, total = 0;
        long allocations = 0;
        int64_t k = 5;
        for (auto _ : state) {
            // Round the demo's 18 s again and again (the time line only ever moves on).
            if (st.finished) {
                st = DemoPlayState();
                keDemoFree(*def, backend);
                ids = DemoIdAllocator();
                keDemoLoad(*def, path.c_str(), ids, backend);
                k = 0;
            }
            const double frameStart = nowSeconds();
            const int32_t t = keDemoCaptureTime(k++, 30);
            backend.setFrameTime(t);
            keDemoFrame(*def, st, t, backend);
            const long before = gAllocations.load();
            const double start = nowSeconds();
            backend.screenshot(file);
            writing += nowSeconds() - start;
            allocations += gAllocations.load() - before;
            total += nowSeconds() - frameStart;
        }
        state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
        state.counters["write_share"] = total > 0 ? writing / total : 0;
        state.counters["write_ms"] = state.iterations() ? writing * 1000.0 / state.iterations() : 0;
        state.counters["allocs_per_write"] = state.iterations() ? static_cast<double>(allocations) / state.iterations() : 0;
        state.SetLabel("640x360, showcase at 30 frames/s");
        keDemoFree(*def, backend);
        std::remove(file);
    }
    keStopEngine();
}
BENCHMARK(BM_CaptureShowcaseFrame)->Unit(benchmark::kMillisecond)->Iterations(300)->UseRealTime();

}  // namespace
