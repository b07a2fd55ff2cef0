// Writing a captured frame (the screenshot and its log line) allocates nothing once the first
// frame was written: a long capture does not churn the heap per frame.
#include "core/KeError.h"
#include "runtime/KeEngine.h"
#include "support/alloc_counter.h"
#include "support/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace kolm;

TEST(DemoFrameWrite, AllocatesNothingPerFrame) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
    ScratchDir dir;
    ASSERT_TRUE(dir.create("/tmp/kolm-demo-write-"));
    keSetLogSink([](const char*, void*) {}, nullptr);
    EngineSetup setup;
    setup.baseDir = std::string(KOLM_BIN_DIR) + "/";
    setup.width = 320;
    setup.height = 180;
    setup.windowed = 1;
    setup.vsync = 0;
    ASSERT_EQ(keStartEngine(setup), 0);
    char file[512];
    long allocations = 0;
    for (int k = 0; k < 6; ++k) {
        keRun();
        keSync();
        const long before = gAllocations.load();
        std::snprintf(file, sizeof file, "%s/f_%06d.bmp", dir.path.c_str(), k);
        EXPECT_EQ(keScreenShot(file), 0);
        printMessage(KE_INFO, "Frame %5d; time %6d ; %s", k, k * 40, file);
        if (k > 0) allocations += gAllocations.load() - before;
    }
    keStopEngine();
    keResetErrorReporter();
    EXPECT_EQ(allocations, 0);
}
