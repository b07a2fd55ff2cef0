// Per-frame scene animation allocates nothing: a generated 200-object scene animated through the
// engine's object API on the null driver, over frames that move every channel.
#include "support/alloc_counter.h"

#include "runtime/KeEngine.h"
#include "scene/KeScene.h"
#include "scene_text.h"
#include "support/log_capture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace kolm;

TEST(SceneAnimateAllocations, NoneOnAnyFrame) {
    keSetEngineDriverType(irr::video::EDT_NULL);
    ASSERT_EQ(keStartEngine(EngineSetup()), 0);
    kolmtest::LogCapture log;
    log.install();
    const std::string path = "/tmp/kolm-animate-alloc-" + std::to_string(::getpid()) + ".kscn";
    std::ofstream(path) << kolmtest::animatedSceneText(200, KOLM_SOURCE_DIR "/examples/scripts/cube.x");
    ASSERT_EQ(keSceneLoad(path.c_str(), 1, 1, 0, 0, 0, 0, false, "alloc", false), 0) << log.text;
    std::remove(path.c_str());
    EXPECT_EQ(keSceneObjectCount(1), 200);
    keSceneShow(1);
    keSceneAnimate(1, 0);
    const long before = gAllocations.load();
    for (int t = 0; t <= 4000; t += 37) keSceneAnimate(1, t);
    EXPECT_EQ(gAllocations.load() - before, 0);
    keSceneUnload(1);
    keStopEngine();
    keSetEngineDriverType(irr::video::EDT_OPENGL);
}
