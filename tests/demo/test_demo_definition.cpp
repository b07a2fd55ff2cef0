// Reading ".demo.ini" files, the timing rules, the loading order (scenes, musics, shaders with
// their IDs) and the loading-progress formula.
#include "demo/KeDemoDefinition.h"
#include "demo/KeDemoPlayer.h"
#include "demo/fake_demo_backend.h"
#include "support/log_capture.h"
#include "support/scratch_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

using namespace kolm;

namespace {

class DemoFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.create("/tmp/kolm-demo-")); }
    std::string write(const std::string& name, const std::string& text) {
        const std::string path = dir.path + "/" + name;
        std::ofstream(path) << text;
        return path;
    }
    std::unique_ptr<DemoDefinition> read(const std::string& text, int expected = 0) {
        auto def = std::make_unique<DemoDefinition>();
        EXPECT_EQ(keDemoReadFile(def.get(), write("x.demo.ini", text).c_str()), expected);
        return def;
    }
    ScratchDir dir;
    kolmtest::LogCapture log;
};

TEST_F(DemoFile, PartsKeysAndDefaults) {
    auto def = read(R"(
[Setup]
MusicDirectory = music
shadersdirectory = fx
[zeta part]
time = 0
filename = a.kscn
directory = scenes
camerarange = 1 250
palette = pal
palette.g = 7
palette.b = 9
extra.0.directory = ex
extra.0.filename = e.kscn
extra.0.time = 100
extra.0.length = 0x200
extra.1.directory = only-a-directory
extra.3.directory = ex
extra.3.filename = f.kscn
shader.2.name = glow.fx
shader.2.time = 5
shader.2.length = 6
fader.0.time = 0
fader.0.fadein = 0
fader.0.color = 0xFF8040
fader.1.time = 10
fader.2.time = -1
fader.3.time = 20
fader.3.fadein = -1
fader.4.time = 30
fader.4.fadein = 1
fader.4.length = 50
fader.4.fadelength = 25
[Intro Part]
time = 4000
timereset = 1
camerarange = 5
[credits]
time = 9
[part9]
time = 0x10
)");
    EXPECT_STREQ(def->musicDirectory, "music");
    EXPECT_STREQ(def->shadersDirectory, "fx");
    ASSERT_EQ(def->partCount, 3);  // "credits" is not a part; file order, not name order
    const DemoPart& z = def->parts[0];
    EXPECT_STREQ(z.name, "zeta part");
    EXPECT_EQ(z.time, 0);
    EXPECT_STREQ(z.filename, "a.kscn");
    EXPECT_STREQ(z.directory, "scenes");
    EXPECT_FLOAT_EQ(z.cameraNear, 1.0f);
    EXPECT_FLOAT_EQ(z.cameraFar, 250.0f);
    EXPECT_EQ(z.paletteChannel, 1);  // the first of r, g, b present
    EXPECT_EQ(z.paletteValue, 7);
    ASSERT_EQ(z.extraCount, 2);  // extra.1 has no file name
    EXPECT_STREQ(z.extras[0].filename, "e.kscn");
    EXPECT_EQ(z.extras[0].length, 0x200);
    EXPECT_STREQ(z.extras[1].filename, "f.kscn");
    EXPECT_EQ(z.extras[1].time, 0);
    ASSERT_EQ(z.shaderCount, 1);
    EXPECT_STREQ(z.shaders[0].name, "glow.fx");
    EXPECT_EQ(z.shaders[0].shaderId, -1);
    ASSERT_EQ(z.faderCount, 4);  // fader.2's time is -1
    struct Want { int time, fadeOut, length, fadeLength; uint32_t color; };
    const Want want[4] = {{0, 0, 1000, 1000, 0xFF8040}, {10, 1, 1000, 1000, 0}, {20, 1, 1000, 1000, 0}, {30, 0, 50, 25, 0}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(z.faders[i].time, want[i].time);
        EXPECT_EQ(z.faders[i].fadeOut, want[i].fadeOut);
        EXPECT_EQ(z.faders[i].length, want[i].length);
        EXPECT_EQ(z.faders[i].fadeLength, want[i].fadeLength);
        EXPECT_EQ(z.faders[i].color, want[i].color);
    }
    const DemoPart& intro = def->parts[1];
    EXPECT_STREQ(intro.name, "intro part");
    EXPECT_EQ(intro.start, 0);  // timereset
    EXPECT_FLOAT_EQ(intro.cameraNear, 5.0f);
    EXPECT_FLOAT_EQ(intro.cameraFar, 1000.0f);
    EXPECT_STREQ(intro.filename, "");  // no scene
    EXPECT_EQ(def->parts[2].time, 16);
    EXPECT_EQ(def->parts[2].start, 16);
}

TEST_F(DemoFile, CapacitiesCutWhatIsBeyond) {
    std::string text = "[part0]\ntime = 0\nmusic = " + std::string(300, 'm') + "\n";
    for (int n = 0; n < 20; ++n) {
        const std::string k = std::to_string(n);
        text += "extra." + k + ".directory = d\nextra." + k + ".filename = f" + k + "\nshader." + k + ".name = s" + k +
                "\nfader." + k + ".time = " + k + "\n";
    }
    for (int i = 1; i < 65; ++i) text += "[part" + std::to_string(i) + "]\ntime = " + std::to_string(i) + "\n";
    auto def = read(text);
    ASSERT_EQ(def->partCount, 64);
    EXPECT_EQ(def->parts[63].time, 63);  // the 65th section is ignored
    const DemoPart& first = def->parts[0];
    EXPECT_EQ(first.extraCount, 15);
    EXPECT_STREQ(first.extras[14].filename, "f14");
    EXPECT_EQ(first.shaderCount, 10);
    EXPECT_EQ(first.faderCount, 20);
    EXPECT_EQ(std::string(first.music).size(), 127u);
}

TEST_F(DemoFile, FailuresAreReported) {
    DemoDefinition def;
    EXPECT_EQ(keDemoReadFile(&def, nullptr), -1);
    EXPECT_TRUE(log.contains("Fail to load "));
    EXPECT_EQ(keDemoReadFile(&def, (dir.path + "/missing.demo.ini").c_str()), -1);
    EXPECT_TRUE(log.contains("Fail to parse ini"));
    read("[setup]\nmusicdirectory = m\n[other]\ntime = 0\n", -1);
    EXPECT_TRUE(log.contains("No parts!"));
}

// --- timing rules ------------------------------------------------------------------------------

struct TimingCase {
    const char* what;
    const char* ini;
    // Scene musics of parts 0..2: file (null: none) and offset.
    DemoSceneMusic scenes[3];
    const char* message;  // null: succeeds
    int time2;            // part 2's time after the rules (when it succeeds)
    const char* music2;   // part 2's music after the rules
};

TEST(DemoTimingRules, Table) {
    const TimingCase cases[] = {
        {"no time, a music", "[p0part]\ntime=0\nmusic=a.mp3\n[p1part]\ntime=0\n[p2part]\nmusic=a.mp3\n",
         {{}, {}, {"a.mp3", 0}}, "Part p2part: no time, but music specified in the part, impossible to determine time begin of the part", 0, ""},
        {"no time, no music anywhere", "[p0part]\ntime=0\nmusic=a.mp3\n[p1part]\ntime=0\n[p2part]\n",
         {{}, {}, {}}, "Part p2part: no time, and no music specified in scene, impossible to determine time begin of the part", 0, ""},
        {"reset passed", "[p0part]\ntime=0\nmusic=a.mp3\n[p1part]\ntime=100\ntimereset=1\n[p2part]\n",
         {{}, {}, {"a.wav", 0}}, "Part p2part: timereset no supported before a part that has a music within the scene", 0, ""},
        {"no music before", "[p0part]\ntime=0\n[p1part]\ntime=100\n[p2part]\n",
         {{}, {}, {"a.wav", 0}}, "Part p2part: when no time in part and a music in the scene, there must be a music before", 0, ""},
        {"another music", "[p0part]\ntime=0\nmusic=a.mp3\n[p1part]\ntime=10\n[p2part]\n",
         {{}, {}, {"dir\\b.wav", 0}}, "Part p2part: when no time in part, the music in the scene must be the same than the previous music", 0, ""},
        {"same base, another extension", "[p0part]\ntime=0\n[p1part]\ntime=1000\ntimereset=1\nmusic=a.mp3\n[p2part]\n",
         {{}, {}, {"sounds/a.wav", 2500}}, nullptr, 2500, ""},
        {"spelled otherwise", "[p0part]\ntime=0\nmusic=A.mp3\n[p1part]\ntime=1\n[p2part]\n",
         {{}, {}, {"a.wav", 0}}, "Part p2part: when no time in part, the music in the scene must be the same than the previous music", 0, ""},
        {"offset after a music part", "[p0part]\ntime=0\n[p1part]\ntime=300\nmusic=a.mp3\n[p2part]\n",
         {{}, {}, {"a.mp3", 700}}, nullptr, 1000, ""},
        {"a time, the same music", "[p0part]\ntime=0\nmusic=a.mp3\n[p1part]\ntime=1\n[p2part]\ntime=5\n",
         {{}, {}, {"a.mp3", 0}}, "Part p2part: music within the scene, with a time in the part :the music must not be the same music than previous", 0, ""},
        {"a time, an offset", "[p0part]\ntime=0\nmusic=a.mp3\n[p1part]\ntime=1\n[p2part]\ntime=5\n",
         {{}, {}, {"b.mp3", 40}}, "Part p2part: music within the scene, with a time in the part :the music offset within the scene must be zero", 0, ""},
        {"a time, reset passed", "[p0part]\ntime=0\nmusic=a.mp3\n[p1part]\ntime=1\ntimereset=1\n[p2part]\ntime=5\n",
         {{}, {}, {"b.mp3", 0}}, "Part p2part: timereset no supported before a part that has a music within the scene", 0, ""},
        {"a time, the scene's music taken", "[p0part]\ntime=0\nmusic=a.mp3\n[p1part]\ntime=1\n[p2part]\ntime=5\n",
         {{}, {}, {"x/b.ogg", 0}}, nullptr, 5, "b.mp3"},
        {"a time and a music: nothing", "[p0part]\ntime=0\nmusic=a.mp3\n[p1part]\ntime=1\n[p2part]\ntime=5\nmusic=c.mp3\n",
         {{}, {}, {"a.mp3", 99}}, nullptr, 5, "c.mp3"},
    };
    ScratchDir dir;
    ASSERT_TRUE(dir.create("/tmp/kolm-demo-timing-"));
    for (const TimingCase& c : cases) {
        SCOPED_TRACE(c.what);
        kolmtest::LogCapture log;
        const std::string path = dir.path + "/t.demo.ini";
        std::ofstream(path) << c.ini;
        auto def = std::make_unique<DemoDefinition>();
        ASSERT_EQ(keDemoReadFile(def.get(), path.c_str()), 0);
        const int result = keDemoApplyTimingRules(def.get(), c.scenes);
        if (c.message) {
            EXPECT_EQ(result, -1);
            EXPECT_TRUE(log.contains(c.message)) << log.text;
        } else {
            EXPECT_EQ(result, 0) << log.text;
            EXPECT_EQ(def->parts[2].time, c.time2);
            EXPECT_EQ(def->parts[2].start, c.time2);
            EXPECT_STREQ(def->parts[2].music, c.music2);
        }
    }
}

TEST(DemoLoadingPercent, Formula) {
    EXPECT_EQ(keDemoLoadingPercent(0, 0, 4), 0);
    EXPECT_EQ(keDemoLoadingPercent(50, 0, 4), 12);
    EXPECT_EQ(keDemoLoadingPercent(100, 3, 4), 100);
    EXPECT_EQ(keDemoLoadingPercent(33, 1, 3), 44);
    EXPECT_EQ(keDemoLoadingPercent(10, 0, 0), 0);
}

TEST(DemoPaths, JoinLeavesOutAnEmptyFolder) {
    char out[64];
    keDemoJoinPath("music", "a.mp3", out, sizeof out);
    EXPECT_STREQ(out, "music/a.mp3");
    keDemoJoinPath("", "a.mp3", out, sizeof out);
    EXPECT_STREQ(out, "a.mp3");
    keDemoSceneMusicName("C:\\music\\Track.01.WAV", out, sizeof out);
    EXPECT_STREQ(out, "Track.01.mp3");
}

// --- loading through the backend ---------------------------------------------------------------

TEST_F(DemoFile, LoadingOrderIdsAndSharedShaders) {
    const std::string path = write("x.demo.ini", R"(
[setup]
shadersdirectory = fx
[part1]
time = 0
palette = p
filename = a.kscn
extra.0.directory = e
extra.0.filename = e.kscn
shader.0.name = Glow.fx
[part2]
time = 1000
music = song.mp3
filename = b.kscn
shader.0.name = glow.FX
shader.1.name = blur.fx
[part3]
time = 2000
palette = q
shader.0.name = GLOW.fx
[end part]
time = 3000
)");
    FakeDemoBackend be;
    be.counts = {3, 1, 2, 1, 1};
    auto def = std::make_unique<DemoDefinition>();
    DemoIdAllocator ids;
    ASSERT_EQ(keDemoLoad(*def, path.c_str(), ids, be), 0) << log.text;
    const std::vector<std::string> want = {
        "loading 0",
        "load scene a.kscn slot 0 object 1 progress",
        "load scene e.kscn slot 1 object 4 extra",
        "load scene b.kscn slot 2 object 7 progress",
        "load music song.mp3 1",  // the music folder is empty: the name alone
        "load shader fx/Glow.fx 3",
        "load shader fx/blur.fx 4",
        "loading finish",
    };
    EXPECT_EQ(be.take(), want);
    EXPECT_EQ(def->parts[0].paletteId, 1);
    EXPECT_EQ(def->parts[2].paletteId, 2);
    EXPECT_EQ(def->parts[0].extras[0].objectBase, 4);
    EXPECT_EQ(def->parts[0].extras[0].emitterBase, 2);
    EXPECT_EQ(def->parts[1].lightBase, 2);
    EXPECT_EQ(def->parts[1].musicId, 1);
    EXPECT_EQ(def->parts[0].shaders[0].shaderId, 3);
    EXPECT_EQ(def->parts[1].shaders[0].shaderId, 3);
    EXPECT_EQ(def->parts[1].shaders[1].shaderId, 4);
    EXPECT_EQ(def->parts[2].shaders[0].shaderId, 3);
    keDemoFree(*def, be);
    const std::vector<std::string> freed = {"delete music 1", "unload scene 0", "unload scene 1", "unload scene 2",
                                           "delete shader 3", "delete shader 4"};
    EXPECT_EQ(be.take(), freed);
}

TEST_F(DemoFile, LoadingFailures) {
    const std::string path = write("x.demo.ini", R"(
[part1]
time = 0
filename = a.kscn
extra.4.directory = e
extra.4.filename = e.kscn
music = m.mp3
shader.0.name = one.fx
shader.1.name = two.fx
shader.2.name = three.fx
[part2]
time = 100
)");
    struct Case { const char* failing; int abortSlot; int result; const char* message; };
    const Case cases[] = {
        {"a.kscn", -1, -1, "Fail to load scene a.kscn"},
        {"e.kscn", -1, -1, "Fail to load in scene a.kscn the extra id=0 e.kscn"},
        {"m.mp3", -1, -1, "Fail to load music m.mp3"},
        {"", 0, -1, nullptr},  // the user stopped loading: no message
        {"two.fx", -1, 0, "Failed to load shader two.fx"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failing);
        log.clear();
        FakeDemoBackend be;
        be.failingFiles.insert(c.failing);
        be.abortAtScene = c.abortSlot;
        auto def = std::make_unique<DemoDefinition>();
        DemoIdAllocator ids;
        EXPECT_EQ(keDemoLoad(*def, path.c_str(), ids, be), c.result);
        if (c.message)
            EXPECT_TRUE(log.contains(c.message)) << log.text;
        else
            EXPECT_TRUE(log.lines.empty()) << log.text;
        if (std::string(c.failing) == "two.fx") {
            // The shader loaded before the failing one is freed; no entry gets an ID.
            EXPECT_TRUE(be.called("delete shader 0"));
            for (int s = 0; s < 3; ++s) EXPECT_EQ(def->parts[0].shaders[s].shaderId, -1);
        }
        keDemoFree(*def, be);
    }
}

}  // namespace
