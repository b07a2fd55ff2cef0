#include "app/KeCommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kolm;

namespace {

struct ParseCase {
    const char* name;
    std::vector<std::string> args;
    KeToolMode tool;
    std::string file;
    uint32_t flags;
    int frameStart;
    int width, height, windowed, windowX, windowY;
    std::string capture;
    float captureFps;  // as the demo player uses it
};

TEST(CommandLine, ArgumentsChooseToolModeOptionsAndScreen) {
    const uint32_t def = 0x21;
    const ParseCase cases[] = {
        {"plain file", {"a.kscn"}, KeToolMode::None, "a.kscn", def, 0, -1, -1, -1, -1, -1, "", 30},
        {"binary first", {"-binary", "s.kscn"}, KeToolMode::Binary, "s.kscn", 0x23, 0, -1, -1, -1, -1, -1, "", 30},
        {"binary alone", {"-binary"}, KeToolMode::Binary, "", 0x23, 0, -1, -1, -1, -1, -1, "", 30},
        {"binary not first is skipped", {"s.kscn", "-binary"}, KeToolMode::None, "s.kscn", def, 0, -1, -1, -1, -1, -1, "", 30},
        {"demoexe with four args is not packing", {"-demoexe", "out", "a.demo.ini", "b"}, KeToolMode::None, "out", def, 0,
         -1, -1, -1, -1, -1, "", 30},
        {"two file names: first wins", {"one.x", "two.x"}, KeToolMode::None, "one.x", def, 0, -1, -1, -1, -1, -1, "", 30},
        {"viewer options", {"-paused", "-ride", "-nomusic", "-framestart", "120", "-syncupdate", "-noidleinactive", "s.kscn"},
         KeToolMode::None, "s.kscn", 0x01 | 0x04 | 0x08 | 0x10 | 0x40 | 0x80, 120, -1, -1, -1, -1, -1, "", 30},
        {"framestart as last argument is skipped", {"s.kscn", "-framestart"}, KeToolMode::None, "s.kscn", def, 0, -1, -1, -1,
         -1, -1, "", 30},
        {"value taken even when it does not parse", {"-framestart", "abc", "s.kscn"}, KeToolMode::None, "s.kscn", def | 0x08,
         0, -1, -1, -1, -1, -1, "", 30},
        {"display and window", {"-display", "800x600", "-windowed", "1", "-windowpos", "10,20", "d.demo.ini"},
         KeToolMode::None, "d.demo.ini", def, 0, 800, 600, 1, 10, 20, "", 30},
        {"display without x", {"-display", "800,600", "d.demo.ini"}, KeToolMode::None, "d.demo.ini", def, 0, -1, -1, -1, -1,
         -1, "", 30},
        {"windowed 0", {"-windowed", "0", "d.demo.ini"}, KeToolMode::None, "d.demo.ini", def, 0, -1, -1, 0, -1, -1, "", 30},
        {"capture", {"-cap", "shot", "-capfps", "60", "d.demo.ini"}, KeToolMode::None, "d.demo.ini", def, 0, -1, -1, -1, -1,
         -1, "shot", 60},
        {"capfps 0 means 30", {"-cap", "shot", "-capfps", "0", "d.demo.ini"}, KeToolMode::None, "d.demo.ini", def, 0, -1, -1,
         -1, -1, -1, "shot", 30},
        {"unknown options and -console are skipped", {"-console", "-whatever", "d.demo.ini"}, KeToolMode::None,
         "d.demo.ini", def, 0, -1, -1, -1, -1, -1, "", 30},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.name);
        const KeCommandLine cl = keParseCommandLine(c.args);
        EXPECT_EQ(cl.tool, c.tool);
        EXPECT_EQ(cl.file, c.file);
        EXPECT_EQ(cl.options.flags, c.flags);
        EXPECT_EQ(cl.options.frameStart, c.frameStart);
        EXPECT_EQ(cl.screen.width, c.width);
        EXPECT_EQ(cl.screen.height, c.height);
        EXPECT_EQ(cl.screen.windowed, c.windowed);
        EXPECT_EQ(cl.screen.windowX, c.windowX);
        EXPECT_EQ(cl.screen.windowY, c.windowY);
        EXPECT_EQ(cl.screen.vsync, -1);
        EXPECT_EQ(cl.captureBase, c.capture);
        EXPECT_FLOAT_EQ(keEffectiveCaptureFps(cl.captureFps), c.captureFps);
    }
}

// A capture rate must be finite and positive; anything else captures at 30 like 0 does.
TEST(CommandLine, CaptureRateFallsBackUnlessFiniteAndPositive) {
    const struct {
        const char* value;
        float fps;
    } cases[] = {
        {"60", 60}, {"24.5", 24.5f}, {"0", 30},    {"-25", 30},  {"nan", 30},
        {"inf", 30}, {"-inf", 30},   {"1e40", 30}, {"abc", 30},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const KeCommandLine cl = keParseCommandLine({"-cap", "shot", "-capfps", c.value, "d.demo.ini"});
        EXPECT_FLOAT_EQ(keEffectiveCaptureFps(cl.captureFps), c.fps);
    }
}

// Capture ranges and sound: "-capfrom N" and "-capto N" take a value, "-capwav" none; a value
// missing at the end is skipped like any option's.
TEST(CommandLine, CaptureRangeAndSound) {
    const struct {
        std::vector<std::string> args;
        int from, to;
        bool wav;
        std::string file;
    } cases[] = {
        {{"-cap", "f", "d.demo.ini"}, 0, -1, false, "d.demo.ini"},
        {{"-capfrom", "120", "-capto", "240", "-capwav", "d.demo.ini"}, 120, 240, true, "d.demo.ini"},
        {{"-capwav", "d.demo.ini", "-capfrom"}, 0, -1, true, "d.demo.ini"},
        {{"-capto", "x", "d.demo.ini"}, 0, 0, false, "d.demo.ini"},
    };
    for (const auto& c : cases) {
        const KeCommandLine cl = keParseCommandLine(c.args);
        EXPECT_EQ(cl.captureFrom, c.from);
        EXPECT_EQ(cl.captureTo, c.to);
        EXPECT_EQ(cl.captureWav, c.wav);
        EXPECT_EQ(cl.file, c.file);
    }
}

TEST(CommandLine, PackingToolsByArgumentCount) {
    KeCommandLine cl = keParseCommandLine({"-demoexe", "out", "a.demo.ini"});
    EXPECT_EQ(cl.tool, KeToolMode::DemoExe);
    EXPECT_EQ(cl.toolOutput, "out");
    EXPECT_EQ(cl.toolSource, "a.demo.ini");
    EXPECT_EQ(keParseCommandLine({"-demodat", "o", "s.kscn"}).tool, KeToolMode::DemoDat);
    EXPECT_EQ(keParseCommandLine({"-exersc", "o"}).tool, KeToolMode::ExeRsc);
    EXPECT_EQ(keParseCommandLine({"-exersc", "o", "x"}).tool, KeToolMode::None);
    EXPECT_TRUE(keIsExtractCommand({"-extract"}));
    EXPECT_FALSE(keIsExtractCommand({"-extract", "more"}));
}

TEST(CommandLine, RunModeFromFileName) {
    const struct {
        const char* name;
        KeRunMode mode;
    } cases[] = {
        {"intro.demo.ini", KeRunMode::Demo},
        {"dir.demo.ini/x.txt", KeRunMode::Demo},  // anywhere in the name
        {"scene.lws.ini", KeRunMode::SceneViewer},
        {"scene.lws.ini.bin", KeRunMode::SceneViewer},
        {"SCENE.LWS.INI", KeRunMode::Unsupported},  // that test is case-sensitive
        {"a.KSCN", KeRunMode::SceneViewer},
        {"a.kolm", KeRunMode::SceneViewer},
        {"ship.X", KeRunMode::ObjectViewer},
        {"ship.lwo", KeRunMode::ObjectViewer},
        {"ship.Obj", KeRunMode::ObjectViewer},
        {"run.lua", KeRunMode::Script},
        {"run.KLUA", KeRunMode::Script},
        {"notes.txt", KeRunMode::Unsupported},
        {"README", KeRunMode::Unsupported},
        {"archive.x.gz", KeRunMode::Unsupported},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(keRunModeFromFileName(c.name), c.mode);
    }
}

}  // namespace
