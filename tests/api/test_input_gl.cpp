// Input in a real window: key, button, wheel and pointer events sent to the render window as a
// user's would be reach the keyboard and mouse commands, and Escape ends a script's loop.
#include "api/KeInputApi.h"
#include "core/KeError.h"
#include "platform/KeInputSynth.h"
#include "runtime/KeEngine.h"
#include "script/KeScriptHost.h"
#include "support/scratch_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace irr;
using namespace kolm;

namespace {

constexpr unsigned long kXkEscape = 0xff1b;  // X11 keysyms
constexpr unsigned long kXkA = 0x0061;

// Pumps the window's messages until `done` holds (at most about two seconds).
template <class F>
bool pumpUntil(F done) {
    for (int i = 0; i < 200; ++i) {
        keRun();
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

class InputGl : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
        keResetErrorReporter();
        keSetMessageBoxHandler([](const char*, void*) {}, nullptr);
    }
    void TearDown() override {
        keStopEngine();
        keResetErrorReporter();
    }
    void start() {
        EngineSetup s;
        s.windowed = 1;
        s.vsync = 0;
        s.width = 160;
        s.height = 120;
        s.windowX = 0;
        s.windowY = 0;
        ASSERT_EQ(keStartEngine(s), 0);
        keSync();
    }
};

TEST_F(InputGl, KeysReachKeyStateAndTheEscapeLatch) {
    start();
    ASSERT_EQ(keSynthKey("Kolm", kXkA, true), 0);
    EXPECT_TRUE(pumpUntil([] { return keKeyState(KEY_KEY_A); }));
    ASSERT_EQ(keSynthKey("Kolm", kXkA, false), 0);
    EXPECT_TRUE(pumpUntil([] { return !keKeyState(KEY_KEY_A); }));

    ASSERT_EQ(keSynthKey("Kolm", kXkEscape, true), 0);
    EXPECT_TRUE(pumpUntil([] { return keEscapeKey(); }));
    ASSERT_EQ(keSynthKey("Kolm", kXkEscape, false), 0);
    EXPECT_TRUE(pumpUntil([] { return !keEscapeKey(); }));
    EXPECT_TRUE(keEscapeKeyEverPressed());
}

TEST_F(InputGl, MouseButtonsWheelAndPointerWithItsEdges) {
    start();
    ASSERT_EQ(keSynthButton("Kolm", 1, true, 20, 30), 0);
    EXPECT_TRUE(pumpUntil([] { return keMouseClick() == 1; }));
    ASSERT_EQ(keSynthButton("Kolm", 1, false, 20, 30), 0);
    ASSERT_EQ(keSynthButton("Kolm", 3, true, 20, 30), 0);
    EXPECT_TRUE(pumpUntil([] { return keMouseClick() == 2; }));
    ASSERT_EQ(keSynthButton("Kolm", 3, false, 20, 30), 0);
    EXPECT_TRUE(pumpUntil([] { return keMouseClick() == 0; }));

    const int z = keMouseZ();
    ASSERT_EQ(keSynthButton("Kolm", 4, true, 20, 30), 0);
    ASSERT_EQ(keSynthButton("Kolm", 4, true, 20, 30), 0);
    EXPECT_TRUE(pumpUntil([z] { return keMouseZ() == z + 2; }));

    ASSERT_EQ(keSynthPointer("Kolm", 30, 40), 0);
    EXPECT_TRUE(pumpUntil([] { return keMouseX() == 30 && keMouseY() == 40; })) << keMouseX() << ", " << keMouseY();
    // Beyond the right and bottom edges: the edge + 1.
    ASSERT_EQ(keSynthPointer("Kolm", 400, 300), 0);
    EXPECT_TRUE(pumpUntil([] { return keMouseX() == 161 && keMouseY() == 121; })) << keMouseX() << ", " << keMouseY();
}

TEST_F(InputGl, EscapeEndsAScriptLoop) {
    ScratchDir dir;
    ASSERT_TRUE(dir.create("/tmp/kolm-input-"));
    const std::string script = dir.path + "/loop.lua";
    const std::string cwd = std::filesystem::current_path();  // the script host moves to the script
    std::ofstream(script) << "ke.Setup(160, 120)\n"
                             "local frames = 0\n"
                             "while ke.Run() and not ke.EscapeKey() do\n"
                             "    ke.Sync()\n"
                             "    frames = frames + 1\n"
                             "    if frames > 5000 then error('Escape never arrived') end\n"
                             "end\n"
                             "assert(ke.EscapeKeyEverPressed())\n"
                             "ke.Term()\n";
    std::atomic<bool> finished{false};
    // Presses Escape on the script's window, again and again until the script has ended (the
    // window appears only once the script has set up).
    std::thread user([&finished] {
        while (!finished) {
            keSynthKey("Kolm", kXkEscape, true);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    const int result = keRunScript(script.c_str(), false);
    finished = true;
    user.join();
    std::filesystem::current_path(cwd);
    EXPECT_EQ(result, 0);
}

}  // namespace
