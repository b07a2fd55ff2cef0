// Settling the engine setup from defaults, "kolm-setup.ini", the dialog and the command line,
// and the dialog's mode list.
#include "app/KeSetup.h"
#include "app/KeSetupModes.h"
#include "core/KeError.h"
#include "files/KeFileSystem.h"
#include "platform/KeDisplayModes.h"
#include "platform/KeSetupDialog.h"

#include <gtest/gtest.h>

#include "support/scratch_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace kolm {
namespace {

class SetupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch_.enter("/tmp/kolm-setup-"));
        dir_ = scratch_.path;
        keResetErrorReporter();
        keSetLogSink([](const char*, void*) {}, nullptr);
        keSetMessageBoxHandler([](const char*, void*) {}, nullptr);
        keResetFilesystem();
        keResetSetup();
        KeDisplayModeQuery q;
        q.modes = {{1920, 1080, 32, 60}, {1280, 720, 32, 60}, {800, 600, 16, 60}};
        modes_.setAnswer(q);
        keSetSetupBackends(&dialog_, &modes_);
    }
    void TearDown() override {
        keResetSetup();
        keResetFilesystem();
        keResetErrorReporter();
        ASSERT_TRUE(scratch_.leave());
    }
    void writeSetup(const std::string& text, const std::string& where = "kolm-setup.ini") {
        std::ofstream(where, std::ios::binary) << text;
    }

    ScratchDir scratch_;
    std::string dir_;
    CKeSetupDialogNull dialog_;
    CKeDisplayModesNull modes_;
};

struct SettleCase {
    const char* ini;       // null: no setup file
    ScreenSetup cmdline;   // -1: not given
    EngineSetup expected;  // baseDir not compared
};

EngineSetup engine(int width, int height, int bpp, int windowed, float near = 0.1f, float far = 1000.0f) {
    EngineSetup e;
    e.width = width;
    e.height = height;
    e.bpp = bpp;
    e.windowed = windowed;
    e.cameraNear = near;
    e.cameraFar = far;
    return e;
}

ScreenSetup windowedOnCommandLine(int value) {
    ScreenSetup s;
    s.windowed = value;
    return s;
}

ScreenSetup displayOnCommandLine(int w, int h) {
    ScreenSetup s;
    s.width = w;
    s.height = h;
    return s;
}

void expectSame(const EngineSetup& got, const EngineSetup& want, const char* what) {
    EXPECT_EQ(got.width, want.width) << what;
    EXPECT_EQ(got.height, want.height) << what;
    EXPECT_EQ(got.bpp, want.bpp) << what;
    EXPECT_EQ(got.windowed, want.windowed) << what;
    EXPECT_EQ(got.windowX, want.windowX) << what;
    EXPECT_EQ(got.windowY, want.windowY) << what;
    EXPECT_EQ(got.vsync, want.vsync) << what;
    EXPECT_EQ(got.fps, want.fps) << what;
    EXPECT_EQ(got.antialias, want.antialias) << what;
    EXPECT_EQ(got.lightPrePass, want.lightPrePass) << what;
    EXPECT_EQ(got.hideMouse, want.hideMouse) << what;
    EXPECT_EQ(got.shaders, want.shaders) << what;
    EXPECT_EQ(got.stereo, want.stereo) << what;
    EXPECT_FLOAT_EQ(got.cameraNear, want.cameraNear) << what;
    EXPECT_FLOAT_EQ(got.cameraFar, want.cameraFar) << what;
}

TEST_F(SetupTest, SettlesDefaultsFileAndCommandLine) {
    EngineSetup allKeys = engine(1024, 768, 32, 0, 0.5f, 5000.0f);
    allKeys.windowX = 10;
    allKeys.windowY = 20;
    allKeys.vsync = 16;       // 0x10
    allKeys.hideMouse = 1;
    allKeys.fps = 8;          // 010
    allKeys.antialias = 0;
    allKeys.lightPrePass = 0;
    allKeys.shaders = 2;
    allKeys.stereo = 3;
    EngineSetup overridden = allKeys;
    overridden.width = 640;
    overridden.height = 400;

    const SettleCase cases[] = {
        {nullptr, {}, engine(-1, -1, -1, -1)},                    // no file, no dialog: all defaults
        {"", {}, engine(-1, -1, -1, 1)},                          // empty file: windowed
        {"[Setup]\nwindowed = y\n", {}, engine(-1, -1, -1, 1)},
        {"[Setup]\nwindowed = YES\n", {}, engine(-1, -1, -1, 1)},
        {"[Setup]\nwindowed = 1\n", {}, engine(-1, -1, -1, 1)},
        {"[Setup]\nwindowed = true\n", {}, engine(-1, -1, -1, 0)},
        {"[Setup]\nwindowed = 0\n", {}, engine(-1, -1, -1, 0)},
        {"[Setup]\nwindowed = no\n", {}, engine(-1, -1, -1, 0)},
        {"[Setup]\ndisplay = 800 600\n", {}, engine(800, 600, -1, 1)},  // depth: start-up default
        {"[Setup]\ndisplay = 0 -600 16\n", {}, engine(-1, -1, 16, 1)},  // no pixels: not given
        {"[Setup]\ndisplay = 1280x720\n", {}, engine(1280, -1, -1, 1)},
        {"[Setup]\ncamerarange = 5 5\n", {}, engine(-1, -1, -1, 1)},    // equal: default range
        {"[Setup]\ncamerarange = 0 100\n", {}, engine(-1, -1, -1, 1)},  // near at the eye
        {"[Setup]\ncamerarange = 50 10\n", {}, engine(-1, -1, -1, 1)},  // near beyond far
        {"[Setup]\ncamerarange = 1 500\n", {}, engine(-1, -1, -1, 1, 1.0f, 500.0f)},
        {"[Setup]\nwindowed = yes\n", windowedOnCommandLine(0), engine(-1, -1, -1, 0)},
        {"[Setup]\ndisplay = 800 600 32\n", displayOnCommandLine(0, 0), engine(-1, -1, 32, 1)},
        {"[SETUP]\nDisplay = 1024 768 32\nWindowed = no\nwindowpos = 10 20\nVSYNC = 0x10\nhide_mouse = 1\n"
         "fps = 010\nantialias = 0\nlightprepass = 0\nshaders = 2\ncamerarange = 0.5 5000\nstereo = 3\n",
         {}, allKeys},
        {"[Setup]\ndisplay = 1024 768 32\nwindowed = no\nwindowpos = 10 20\nvsync = 16\nhide_mouse = 1\n"
         "fps = 8\nantialias = 0\nlightprepass = 0\nshaders = 2\ncamerarange = 0.5 5000\nstereo = 3\n",
         displayOnCommandLine(640, 400), overridden},
    };
    for (const SettleCase& c : cases) {
        ::unlink("kolm-setup.ini");
        if (c.ini) writeSetup(c.ini);
        EngineSetup got;
        ASSERT_EQ(keSettleSetup("kolm-setup.ini", nullptr, &c.cmdline, false, &got), 0);
        expectSame(got, c.expected, c.ini ? c.ini : "(no file)");
    }
    EXPECT_EQ(dialog_.runs, 0);
}

TEST_F(SetupTest, SetupFileIsFoundInTheBaseDirectory) {
    ::mkdir("exe", 0755);
    writeSetup("[Setup]\ndisplay = 320 200\n", "exe/kolm-setup.ini");
    const std::string base = dir_ + "/exe/";
    EngineSetup got;
    ASSERT_EQ(keSettleSetup("kolm-setup.ini", base.c_str(), nullptr, true, &got), 0);
    EXPECT_EQ(got.width, 320);
    EXPECT_EQ(got.baseDir, base);
    EXPECT_STREQ(keGetBaseDir(), base.c_str());
    EXPECT_EQ(dialog_.runs, 0) << "a setup file skips the dialog";
}

TEST_F(SetupTest, DialogAnswersWhenThereIsNoSetupFile) {
    struct Case {
        bool start;
        int line;  // -2: the preselection
        bool fullScreen;
        int result;
        EngineSetup expected;
    } cases[] = {
        {true, -2, true, 0, engine(1280, 720, 32, 0)},
        {true, 1, false, 0, engine(1920, 1080, 32, 1)},
        {true, -1, true, 0, engine(-1, -1, -1, 0)},  // nothing selected: start-up defaults
        {false, -2, true, -1, engine(-1, -1, -1, -1)},
    };
    for (const Case& c : cases) {
        dialog_.start = c.start;
        dialog_.selectLine = c.line;
        dialog_.fullScreen = c.fullScreen;
        ScreenSetup cmdline;
        cmdline.stereo = 1;
        EngineSetup got;
        ASSERT_EQ(keSettleSetup("kolm-setup.ini", nullptr, &cmdline, true, &got), c.result);
        if (c.result != 0) continue;
        EngineSetup want = c.expected;
        want.vsync = 1;
        want.hideMouse = c.fullScreen ? 1 : 0;
        want.stereo = 1;
        expectSame(got, want, "dialog");
    }
    // The dialog was shown the sorted 32-bit modes with the recommended one preselected.
    EXPECT_EQ(dialog_.shown.modeLines, (std::vector<std::string>{"1280 x  720 (recommended)", "1920 x 1080"}));
    EXPECT_EQ(dialog_.shown.selected, 0);
    EXPECT_TRUE(dialog_.shown.fullScreen);
    EXPECT_TRUE(dialog_.shown.warning.empty());
}

TEST_F(SetupTest, SetupHandsTheRecordToTheStartUp) {
    static EngineSetup received;
    static int calls;
    calls = 0;
    keSetEngineStartHook([](const EngineSetup& s) {
        received = s;
        ++calls;
        return 0;
    });
    writeSetup("[Setup]\ndisplay = 800 600\n");
    EXPECT_EQ(keSetup("kolm-setup.ini", "/", nullptr, true), 0);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(received.width, 800);
    EXPECT_EQ(received.baseDir, "/");

    keSetEngineStartHook([](const EngineSetup&) { return -3; });
    EXPECT_EQ(keSetup("kolm-setup.ini", nullptr, nullptr, false), -1);

    ::unlink("kolm-setup.ini");
    dialog_.start = false;
    keSetEngineStartHook([](const EngineSetup&) {
        ++calls;
        return 0;
    });
    EXPECT_EQ(keSetup("kolm-setup.ini", nullptr, nullptr, true), -1) << "cancelled";
    EXPECT_EQ(calls, 1) << "no start-up after a cancelled dialog";

    keSetEngineStartHook(nullptr);
    EXPECT_EQ(keSetup("kolm-setup.ini", nullptr, nullptr, false), -1) << "no start-up linked in";
}

TEST_F(SetupTest, ScreenModeDialogAndOptions) {
    const char* names[] = {"width", "height", "windowed", "bpp", "vsync", "fps", "antialias", "shaders", "stereo",
                           "centered"};
    for (const char* n : names) EXPECT_EQ(keScreenModeOption(n), 0) << "before any dialog: " << n;

    ScreenSetup s;
    s.windowX = 5;
    s.windowY = 6;
    s.fps = 60;
    dialog_.selectLine = 1;
    dialog_.fullScreen = false;
    ASSERT_EQ(keScreenModeDialog(&s), 0);
    EXPECT_EQ(s.windowX, 5);
    EXPECT_EQ(s.windowY, 6);
    EXPECT_EQ(s.fps, -1);

    const struct {
        const char* name;
        int value;
    } options[] = {{"WIDTH", 1920}, {"Height", 1080}, {"windowed", 1}, {"bpp", 32},   {"vsync", 1},
                   {"fps", -1},     {"antialias", -1}, {"shaders", -1}, {"stereo", -1}, {"centered", 0},
                   {"windowx", -1}, {"", -1},          {nullptr, -1}};
    for (const auto& o : options) EXPECT_EQ(keScreenModeOption(o.name), o.value) << (o.name ? o.name : "(null)");

    dialog_.start = false;
    EXPECT_EQ(keScreenModeDialog(&s), -1);
    EXPECT_EQ(keScreenModeOption("width"), 1920) << "a cancelled dialog keeps the last result";
    EXPECT_EQ(keMissingLibraries(), nullptr);
}

// ---- the mode list --------------------------------------------------------------------------

TEST(SetupModes, ListFiltersSortsAndPreselects) {
    struct Case {
        const char* what;
        std::vector<KeDisplayMode> modes;
        KeDisplayMode desktop;  // width 0: unknown
        std::vector<std::string> lines;
        int selected;
        int firstRefresh;  // refresh of the first kept mode, -1: not checked
    } cases[] = {
        {"only 16-bit modes", {{800, 600, 16, 60}, {1280, 720, 16, 60}}, {}, {}, -1, -1},
        {"duplicates differing in refresh keep the first met",
         {{1024, 768, 32, 75}, {1024, 768, 32, 60}, {1024, 768, 32, 85}},
         {},
         {"1024 x  768"},
         -1,
         75},
        {"sorted by width then height; recommended wins",
         {{1920, 1080, 32, 60}, {640, 480, 32, 60}, {1280, 1024, 32, 60}, {1280, 720, 32, 60}},
         {1920, 1080, 32, 60},
         {" 640 x  480", "1280 x  720 (recommended)", "1280 x 1024", "1920 x 1080"},
         1,
         60},
        {"desktop mode next", {{1920, 1080, 32, 60}, {1024, 768, 32, 60}}, {1024, 768, 32, 60},
         {"1024 x  768", "1920 x 1080"}, 0, -1},
        {"then 1920 x 1080", {{1920, 1080, 32, 60}, {1024, 768, 32, 60}}, {1600, 900, 32, 60},
         {"1024 x  768", "1920 x 1080"}, 1, -1},
        {"1280 x 720 at 16 bits is not recommended", {{1280, 720, 16, 60}, {1600, 1200, 32, 60}}, {},
         {"1600 x 1200"}, -1, -1},
    };
    for (const Case& c : cases) {
        KeDisplayModeQuery q;
        q.modes = c.modes;
        q.desktop = c.desktop;
        q.hasDesktop = c.desktop.width != 0;
        const KeSetupModeList list = keBuildSetupModeList(q);
        EXPECT_EQ(list.lines, c.lines) << c.what;
        EXPECT_EQ(list.selected, c.selected) << c.what;
        if (c.firstRefresh >= 0 && !list.modes.empty()) { EXPECT_EQ(list.modes[0].refresh, c.firstRefresh) << c.what; }
    }
}

TEST(SetupModes, KeepsAtMost200Modes) {
    KeDisplayModeQuery q;
    for (int i = 0; i < 300; ++i) q.modes.push_back({300 + i, 200, 32, 60});
    const KeSetupModeList list = keBuildSetupModeList(q);
    ASSERT_EQ(list.modes.size(), 200u);
    EXPECT_EQ(list.modes.back().width, 499);
}

}  // namespace
}  // namespace kolm
