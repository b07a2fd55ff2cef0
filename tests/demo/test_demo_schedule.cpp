// The demo player's schedule on a recording backend: part switches, the demo time in real time
// and capture, windows of extras, camera shaders and faders, and the capture loop's files.
#include "demo/KeDemoCapture.h"
#include "demo/KeDemoPlayer.h"
#include "demo/fake_demo_backend.h"
#include "support/log_capture.h"
#include "support/scratch_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

using namespace kolm;

namespace {

// A definition as keDemoLoad leaves it: every part with a scene has slot = its index, camera
// shaders have IDs by name ("s<N>" has ID N), musics have ID = part index + 1.
class Schedule : public ::testing::Test {
protected:
    DemoPart& part(int time, bool scene = true) {
        DemoPart& p = def->parts[def->partCount];
        std::snprintf(p.name, sizeof p.name, "part%d", def->partCount);
        p.time = p.start = time;
        if (scene) p.sceneSlot = def->partCount;
        ++def->partCount;
        return p;
    }
    static DemoShader& shader(DemoPart& p, int id, int time, int length) {
        DemoShader& h = p.shaders[p.shaderCount++];
        h.shaderId = id;
        h.time = time;
        h.length = length;
        return h;
    }
    static DemoFader& fader(DemoPart& p, int time, int length, bool fadeOut) {
        DemoFader& f = p.faders[p.faderCount++];
        f.time = time;
        f.length = length;
        f.fadeOut = fadeOut;
        return f;
    }
    // One capture frame at clock time t; returns the calls it made.
    std::vector<std::string> at(int32_t t) {
        be.take();
        EXPECT_EQ(keDemoFrame(*def, st, t, be), 0);
        return be.take();
    }
    // One real-time frame at clock time t.
    std::vector<std::string> realAt(int32_t t) {
        be.clock = t;
        return at(-1);
    }
    static bool has(const std::vector<std::string>& calls, const std::string& line) {
        return std::find(calls.begin(), calls.end(), line) != calls.end();
    }

    std::unique_ptr<DemoDefinition> def = std::make_unique<DemoDefinition>();
    DemoPlayState st;
    FakeDemoBackend be;
};

TEST_F(Schedule, OneSwitchPerFrameAndTheLastPartOnlyEnds) {
    part(0);
    part(0);
    part(0, false);
    part(1000);
    EXPECT_TRUE(has(at(0), "show scene 0"));
    EXPECT_EQ(st.partIndex, 0);
    auto second = at(0);
    EXPECT_EQ(st.partIndex, 1);
    EXPECT_TRUE(has(second, "hide scene 0"));
    EXPECT_TRUE(has(second, "show scene 1"));
    auto third = at(0);  // no scene: the previous one stays and is animated
    EXPECT_EQ(st.partIndex, 2);
    EXPECT_FALSE(has(third, "hide scene 1"));
    EXPECT_TRUE(has(third, "animate 1 at 0"));
    EXPECT_TRUE(has(at(999), "render"));
    EXPECT_FALSE(st.finished);
    auto last = at(1000);
    EXPECT_TRUE(st.finished);
    EXPECT_TRUE(last.empty());  // the last part is never shown: nothing is drawn
}

TEST_F(Schedule, TimeResetRestartsTheTimeLine) {
    part(0);
    DemoPart& p1 = part(1000);
    p1.timeReset = 1;
    p1.start = 0;
    part(500);
    at(0);
    auto sw = at(1200);
    EXPECT_EQ(st.partIndex, 1);
    EXPECT_TRUE(has(sw, "animate 1 at 0"));
    EXPECT_TRUE(has(at(1600), "animate 1 at 400"));
    at(1699);
    EXPECT_FALSE(st.finished);
    at(1700);
    EXPECT_TRUE(st.finished);
    // The demo ends at the reset part's time plus the last part's time on the new line.
    EXPECT_EQ(keDemoEndClock(*def), 1500);
}

TEST(DemoCaptureTime, FrameTimesComeFromTheIndex) {
    struct Case { double fps; int64_t frame; int32_t time; };
    const Case cases[] = {{25, 0, 0}, {25, 1, 40}, {25, 7, 280}, {25, 1000, 40000}, {30, 1, 33}, {30, 2, 66},
                          {30, 3, 100}, {29.97, 1, 33}, {60, 59, 983}};
    for (const Case& c : cases) EXPECT_EQ(keDemoCaptureTime(c.frame, c.fps), c.time) << c.fps << " " << c.frame;
}

TEST_F(Schedule, AWindowBetweenTwoFramesNeverFires) {
    DemoPart& p = part(0);
    shader(p, 5, 10, 20);          // 10..29: between frames at 0 and 40
    fader(p, 50, 10, false);       // 50..59: between 40 and 80
    p.extras[p.extraCount++] = DemoExtra();
    p.extras[0].sceneSlot = 7;
    p.extras[0].time = 90;
    p.extras[0].length = 20;       // 90..109: between 80 and 120
    part(10000);
    for (int k = 0; k <= 4; ++k) {
        auto calls = at(k * 40);
        for (const std::string& c : calls) {
            EXPECT_EQ(c.find("show shader"), std::string::npos) << c;
            EXPECT_EQ(c.find("fade"), std::string::npos) << c;
            EXPECT_EQ(c.find("emitters"), std::string::npos) << c;
        }
    }
}

TEST_F(Schedule, MusicTimeWithALateMusicPart) {
    part(0);
    DemoPart& p1 = part(5000);
    p1.musicId = 2;
    part(20000);
    st.origin = 0;
    realAt(0);
    auto sw = realAt(5010);
    EXPECT_TRUE(has(sw, "play music 2"));
    EXPECT_EQ(st.partIndex, 1);
    // Heard from 0 while the clock had reached 5010: the time waits rather than step back.
    be.musicPosition[2] = 0;
    EXPECT_TRUE(has(realAt(5020), "animate 1 at 10"));
    // The music has been heard for 100 ms: the demo is 100 ms into the part, not back at 100.
    be.musicPosition[2] = 100;
    auto calls = realAt(5200);
    EXPECT_TRUE(has(calls, "animate 1 at 100"));
    EXPECT_EQ(st.lastTime, 5100);
    be.musicPosition[2] = 1000;
    EXPECT_TRUE(has(realAt(5900), "animate 1 at 1000"));
    // Played to its end: the clock carries on from where the music left the demo.
    be.musicPosition[2] = -1;
    EXPECT_TRUE(has(realAt(6400), "animate 1 at 1500"));
}

TEST_F(Schedule, MusicTimeAfterAReset) {
    part(0);
    DemoPart& p1 = part(3000);
    p1.musicId = 2;
    p1.timeReset = 1;
    p1.start = 0;
    DemoPart& p2 = part(1000);  // no music: the music plays on, and later the time is reset
    p2.timeReset = 1;
    p2.start = 0;
    part(2000);
    realAt(0);
    realAt(3000);
    be.musicPosition[2] = 400;
    EXPECT_TRUE(has(realAt(3400), "animate 1 at 400"));
    be.musicPosition[2] = 1100;
    realAt(4100);  // switch to part 2 with a reset
    EXPECT_EQ(st.partIndex, 2);
    be.musicPosition[2] = 1600;
    EXPECT_TRUE(has(realAt(4600), "animate 2 at 500"));
}

TEST_F(Schedule, WindowsThatOutlastTheirPartEndAndSharedShadersShowOnce) {
    DemoPart& p0 = part(0);
    shader(p0, 3, 500, 2500);      // on 500..2999, outlasting the part
    shader(p0, 4, 0, 1500);        // on 0..1499
    DemoPart& p1 = part(1000, false);
    shader(p1, 4, 1100, 2000);     // the same shader, on 1100..3099
    part(10000);
    at(0);
    EXPECT_TRUE(has(at(600), "show shader 3"));
    at(1000);                      // switch: nothing goes off
    EXPECT_EQ(be.shownShaders, (std::set<int>{3, 4}));
    auto handover = at(1100);      // part 1 takes shader 4 over without showing it again
    EXPECT_FALSE(has(handover, "show shader 4"));
    EXPECT_FALSE(has(at(1500), "hide shader 4"));  // the earlier entry no longer owns it
    EXPECT_TRUE(has(at(3000), "hide shader 3"));   // the earlier part's window ended
    EXPECT_TRUE(has(at(3100), "hide shader 4"));
    EXPECT_TRUE(be.shownShaders.empty());
    EXPECT_TRUE(be.errors.empty()) << be.errors[0];
}

TEST_F(Schedule, WindowsStillOnMoveWithAReset) {
    DemoPart& p0 = part(0);
    shader(p0, 1, 0, 3000);        // on until 3000 on the first time line
    fader(p0, 500, 3000, true);    // on until 3500
    DemoPart& p1 = part(2000);
    p1.timeReset = 1;
    p1.start = 0;
    p1.musicId = 2;                // a reset with a music of its own
    part(9000);
    at(0);
    at(500);
    at(2000);                      // switch: the time line restarts, 1000 ms of the shader are left
    EXPECT_EQ(be.shownShaders, (std::set<int>{1}));
    EXPECT_FALSE(has(at(2900), "hide shader 1"));
    EXPECT_TRUE(has(at(3000), "hide shader 1"));  // 1000 ms after the switch
    EXPECT_FALSE(has(at(3400), "stop fade"));
    EXPECT_TRUE(has(at(3500), "stop fade"));
}

TEST_F(Schedule, OverlappingShadersOfOnePart) {
    DemoPart& p = part(0);
    shader(p, 1, 0, 1000);
    shader(p, 2, 0, 1000);         // switched on in the same frame: the first goes off
    shader(p, 3, 500, 1000);       // a later frame: both stay on
    part(5000);
    auto first = at(0);
    EXPECT_TRUE(has(first, "hide shader 1"));
    EXPECT_EQ(be.shownShaders, (std::set<int>{2}));
    at(500);
    EXPECT_EQ(be.shownShaders, (std::set<int>{2, 3}));
    at(1000);
    EXPECT_EQ(be.shownShaders, (std::set<int>{3}));
    at(1500);
    EXPECT_TRUE(be.shownShaders.empty());
    EXPECT_TRUE(be.errors.empty());
}

TEST_F(Schedule, OnlyTheFaderThatOwnsTheOverlayRemovesIt) {
    DemoPart& p0 = part(0);
    fader(p0, 0, 2000, false).color = 0x102030;
    fader(p0, 1000, 3000, true);
    DemoPart& p1 = part(2500);
    fader(p1, 5000, 100, true);
    part(9000);
    EXPECT_TRUE(has(at(0), "fade in 1000 0x102030"));
    auto second = at(1000);
    EXPECT_TRUE(has(second, "fade out 1000 0x000000"));
    EXPECT_TRUE(be.fadeOn);
    EXPECT_FALSE(has(at(2000), "stop fade"));  // the first fader's end leaves the new overlay
    EXPECT_TRUE(be.fadeOn);
    at(2500);
    EXPECT_TRUE(be.fadeOn);                    // a window outlasting its part keeps its fade
    EXPECT_TRUE(has(at(4000), "stop fade"));   // ... until its own end
    EXPECT_FALSE(be.fadeOn);
    EXPECT_TRUE(has(at(5000), "fade out 1000 0x000000"));
    EXPECT_TRUE(has(at(5100), "stop fade"));   // ends while no other starts: the colour vanishes
}

TEST_F(Schedule, ExtrasShowAnimateAndPark) {
    DemoPart& p0 = part(0);
    p0.extraCount = 2;
    p0.extras[0].sceneSlot = 10;
    p0.extras[0].time = 100;
    p0.extras[0].length = 200;
    p0.extras[1].sceneSlot = 11;
    p0.extras[1].time = 800;
    p0.extras[1].length = 1000;  // outlasts the part; the next part has no scene
    part(1000, false);
    part(5000);
    auto first = at(0);
    // Shown, then parked: showing a scene shows its emitters, which wait for the window.
    const auto show = std::find(first.begin(), first.end(), "show scene 10");
    ASSERT_NE(show, first.end());
    EXPECT_NE(std::find(show, first.end(), "park 10"), first.end());
    auto on = at(150);
    EXPECT_TRUE(has(on, "emitters 10"));
    EXPECT_TRUE(has(on, "animate 10 at 50"));
    EXPECT_TRUE(has(at(300), "park 10"));
    EXPECT_FALSE(has(at(350), "animate 10 at 250"));
    EXPECT_TRUE(has(at(900), "animate 11 at 100"));
    at(1000);
    EXPECT_FALSE(has(at(1500), "park 11"));
    EXPECT_TRUE(has(at(1800), "park 11"));  // its window ended after its part did
    EXPECT_FALSE(has(at(1900), "park 11"));
}

// --- the capture loop -----------------------------------------------------------------------

class CaptureLoop : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.enter("/tmp/kolm-demo-capture-"));
        std::ofstream("two.demo.ini") << "[part1]\ntime = 0\nfilename = a.kscn\nmusic = m.mp3\n[part2]\ntime = 1000\n";
    }
    std::string readAll(const std::string& path) {
        std::ifstream f(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }
    ScratchDir dir;
    kolmtest::LogCapture log;
};

TEST_F(CaptureLoop, WritesEveryFrameBeforeTheEndUnderAnAbsoluteName) {
    FakeDemoBackend be;
    DemoCaptureOptions o;
    o.base = "out/f";
    o.fps = 25;
    ASSERT_EQ(keDemoCaptureWith("two.demo.ini", o, be), 0) << log.text;
    ASSERT_EQ(be.screenshots.size(), 25u);  // 0..960 ms; the frame at 1000 ms ends the demo
    EXPECT_EQ(be.screenshots[0], dir.path + "/out/f_000000.bmp");
    EXPECT_EQ(be.screenshots[24], dir.path + "/out/f_000024.bmp");
    EXPECT_TRUE(log.contains("Start capturing: basename='" + dir.path + "/out/f' fps=25.000000"));
    EXPECT_TRUE(log.contains("Frame    24; time    960 ; " + dir.path + "/out/f_000024.bmp"));
}

TEST_F(CaptureLoop, RangesAndAFailingFile) {
    FakeDemoBackend be;
    DemoCaptureOptions o;
    o.base = "f";
    o.fps = 10;
    o.from = 3;
    o.to = 6;
    ASSERT_EQ(keDemoCaptureWith("two.demo.ini", o, be), 0);
    EXPECT_EQ(be.screenshots, (std::vector<std::string>{dir.path + "/f_000003.bmp", dir.path + "/f_000004.bmp",
                                                        dir.path + "/f_000005.bmp"}));
    // Frames 0 and 1 are run but not drawn; 2 is drawn (the last frame the first written one
    // follows), then 3 to 5; and the one frame of preparing.
    EXPECT_EQ(std::count(be.calls.begin(), be.calls.end(), "render"), 5);
    FakeDemoBackend failing;
    failing.failScreenshotAt = 2;
    o.from = 0;
    o.to = -1;
    EXPECT_EQ(keDemoCaptureWith("two.demo.ini", o, failing), -1);
    EXPECT_EQ(failing.screenshots.size(), 2u);
    EXPECT_TRUE(failing.called("delete music 1"));  // freed after the failure
}

TEST_F(CaptureLoop, SplitSoundJoinsIntoTheWholeOne) {
    auto capture = [&](int from, int to, const char* wav) {
        FakeDemoBackend be;
        DemoCaptureOptions o;
        o.base = "f";
        o.fps = 30;
        o.from = from;
        o.to = to;
        o.wavPath = wav;
        EXPECT_EQ(keDemoCaptureWith("two.demo.ini", o, be), 0);
        return readAll(wav);
    };
    const std::string whole = capture(0, -1, "whole.wav");
    const std::string a = capture(0, 13, "a.wav");
    const std::string b = capture(13, -1, "b.wav");
    ASSERT_EQ(whole.size(), 44u + 44100u * 4u * 30u / 30u);  // 30 frames of 1/30 s
    EXPECT_EQ(whole.substr(44), a.substr(44) + b.substr(44));
    EXPECT_EQ(whole.compare(0, 4, "RIFF"), 0);
}

}  // namespace
