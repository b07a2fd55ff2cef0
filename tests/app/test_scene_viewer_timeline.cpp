// The scene viewer's timeline on an injected clock, keys and music position: start rules,
// pause and resume, scrubbing, the ends of the scene, looping, riding keys, the idle rule and
// the overlay texts.
#include "app/KeSceneViewerTimeline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kolm;

namespace {

// Records what the timeline asks of the music.
struct Music : KeViewerMusic {
    std::vector<std::string> calls;
    void play() override { calls.push_back("play"); }
    void pause() override { calls.push_back("pause"); }
    void resume() override { calls.push_back("resume"); }
    void setPosition(int64_t ms) override { calls.push_back("at " + std::to_string(ms)); }
};

// A 4000 ms scene of 25 frames per second from frame 10, its music starting 500 ms earlier.
KeViewerScene scene4s() {
    KeViewerScene s;
    s.firstFrame = 10;
    s.frameRate = 25;
    s.length = 4000;
    s.musicOffset = 500;
    return s;
}

struct Driver {
    KeViewerTimeline timeline;
    Music music;
    bool keys[256] = {};
    int64_t clock = 1000;
    bool active = true;
    bool rightButton = false;
    int64_t musicPosition = -1;

    explicit Driver(bool musicLoaded = false, bool riding = false) : timeline(scene4s(), musicLoaded, riding, 0) {}
    // One frame `dt` ms after the previous one, with `held` down for it.
    KeViewerStep frame(int64_t dt = 16, std::initializer_list<int> held = {}) {
        clock += dt;
        for (int k : held) keys[k] = true;
        KeViewerInput in;
        in.clock = clock;
        in.keys = keys;
        in.windowActive = active;
        in.rightButton = rightButton;
        in.musicPosition = musicPosition;
        const KeViewerStep s = timeline.frame(in, false, &music);
        for (int k : held) keys[k] = false;
        return s;
    }
};

TEST(ViewerTimeline, StartsAtTheFrameAskedForWithinTheScene) {
    struct Case {
        int frameStart;  // -1: no "-framestart"
        int64_t time;
    } cases[] = {{-1, 0}, {10, 0}, {60, 2000}, {5, 0}, {1000, 4000}, {110, 4000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frameStart);
        Driver d;
        d.timeline.start(d.clock, c.frameStart, false, &d.music);
        EXPECT_EQ(d.frame(0).sceneTime, c.time);
        Driver p;
        p.timeline.start(p.clock, c.frameStart, true, &p.music);
        const KeViewerStep s = p.frame(50);
        EXPECT_TRUE(p.timeline.paused());
        EXPECT_EQ(s.sceneTime, c.time);
        EXPECT_TRUE(s.evaluate);  // the first frame is always evaluated
    }
}

TEST(ViewerTimeline, MusicStartsAtTheStartTimeAndIsFollowed) {
    Driver d(true);
    d.timeline.start(d.clock, 60, false, &d.music);
    EXPECT_EQ(d.music.calls, (std::vector<std::string>{"at 2500", "play"}));
    d.musicPosition = 3700;  // the scene follows a known music position
    EXPECT_EQ(d.frame(1).sceneTime, 3200);
    d.musicPosition = -1;
    EXPECT_EQ(d.frame(1).sceneTime, 2002);
}

TEST(ViewerTimeline, SpacePausesAndResumes) {
    Driver d(true);
    d.timeline.start(d.clock, -1, false, &d.music);
    d.music.calls.clear();
    d.frame(100);
    KeViewerStep s = d.frame(100, {KE_VK_SPACE});
    EXPECT_TRUE(d.timeline.paused());
    EXPECT_EQ(s.sceneTime, 200);
    EXPECT_EQ(d.music.calls, std::vector<std::string>{"pause"});
    s = d.frame(5000);  // time stands while paused, and an unchanged paused frame is not evaluated
    EXPECT_EQ(s.sceneTime, 200);
    EXPECT_FALSE(s.evaluate);
    d.music.calls.clear();
    s = d.frame(100, {KE_VK_SPACE});
    EXPECT_FALSE(d.timeline.paused());
    EXPECT_EQ(d.music.calls, (std::vector<std::string>{"at 700", "resume"}));
    EXPECT_EQ(d.frame(100).sceneTime, 300);

    // Holding Space toggles once.
    d.keys[KE_VK_SPACE] = true;
    d.frame();
    d.frame();
    d.keys[KE_VK_SPACE] = false;
    EXPECT_TRUE(d.timeline.paused());
}

TEST(ViewerTimeline, PlayingOnFromTheEndRestartsAtZero) {
    Driver d(true);
    d.timeline.start(d.clock, 110, true, &d.music);
    d.frame();
    KeViewerStep s = d.frame(16, {KE_VK_SPACE});
    EXPECT_EQ(s.sceneTime, 0);
    EXPECT_EQ(d.music.calls, (std::vector<std::string>{"at 500", "play"}));  // never paused by the viewer
}

// Paused, a step moves 5 ms (50 with Shift) and stays within the scene; playing it moves the
// clock origin by 10 ms (100 with Shift) and the music with it.
TEST(ViewerTimeline, Scrubbing) {
    struct Case {
        bool paused;
        std::vector<int> held;
        int64_t expected;
    } cases[] = {
        {true, {KE_VK_RIGHT}, 1005},
        {true, {KE_VK_RIGHT, KE_VK_SHIFT}, 1050},
        {true, {KE_VK_LEFT}, 995},
        {true, {KE_VK_PLUS}, 1005},
        {true, {KE_VK_ADD}, 1005},
        {true, {KE_VK_MINUS, KE_VK_SHIFT}, 950},
        {true, {KE_VK_SUBTRACT}, 995},
        {true, {KE_VK_RIGHT, KE_VK_LEFT}, 1000},
        {false, {KE_VK_RIGHT}, 1010 + 16},
        {false, {KE_VK_LEFT, KE_VK_SHIFT}, 900 + 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.paused) + " " + std::to_string(c.held.size()) + " " +
                     std::to_string(c.expected));
        Driver d(true);
        d.timeline.start(d.clock, 35, c.paused, &d.music);  // frame 35: 1000 ms
        d.frame(0);
        d.music.calls.clear();
        for (int k : c.held) d.keys[k] = true;
        const KeViewerStep s = d.frame();
        EXPECT_EQ(s.sceneTime, c.expected);
        EXPECT_EQ(s.evaluate, !c.paused || c.expected != 1000);  // an unmoved paused frame is not
        if (!c.paused) {
            EXPECT_EQ(d.music.calls, std::vector<std::string>{"at " + std::to_string(c.expected + 500)});
        }
    }
}

TEST(ViewerTimeline, ScrubbingBackwardPastZeroPausesAtZero) {
    Driver d(true);
    d.timeline.start(d.clock, -1, false, &d.music);
    d.music.calls.clear();
    KeViewerStep s;
    for (int i = 0; i < 5; ++i) s = d.frame(16, {KE_VK_LEFT, KE_VK_SHIFT});
    EXPECT_TRUE(d.timeline.paused());
    EXPECT_EQ(s.sceneTime, 0);
    EXPECT_EQ(d.timeline.pausedTime(), 0);
    EXPECT_EQ(d.music.calls.back(), "pause");
    // Paused at 0, further steps back stay there.
    EXPECT_EQ(d.frame(16, {KE_VK_LEFT, KE_VK_SHIFT}).sceneTime, 0);
}

TEST(ViewerTimeline, TheEndPausesOrLoopsWhileTheMusicPlaysOn) {
    Driver d(true);
    d.timeline.start(d.clock, 100, false, &d.music);  // 3600 ms
    d.music.calls.clear();
    KeViewerStep s = d.frame(500);
    EXPECT_TRUE(d.timeline.paused());
    EXPECT_EQ(s.sceneTime, 4000);
    EXPECT_EQ(d.music.calls, std::vector<std::string>{"pause"});

    Driver l(true);
    l.timeline.start(l.clock, 100, false, &l.music);
    l.frame(0, {KE_VK_RETURN});
    EXPECT_TRUE(l.timeline.looping());
    l.music.calls.clear();
    s = l.frame(500);  // 4100 ms wraps to 100
    EXPECT_FALSE(l.timeline.paused());
    EXPECT_EQ(s.sceneTime, 100);
    EXPECT_TRUE(l.music.calls.empty());  // the music is not repositioned
    l.musicPosition = 4700;  // a known music position keeps the scene at its end
    EXPECT_EQ(l.frame(16).sceneTime, 4000);
    // A long stall wraps by whole lengths.
    l.musicPosition = -1;
    EXPECT_EQ(l.frame(8000).sceneTime, 116);
    l.frame(0, {KE_VK_RETURN});
    EXPECT_FALSE(l.timeline.looping());
}

TEST(ViewerTimeline, RidingKeysAndButtons) {
    Driver d(false, true);
    d.timeline.start(d.clock, 35, true, &d.music);
    d.frame(0);
    EXPECT_EQ(d.frame(16, {KE_VK_RIGHT}).sceneTime, 1000);  // Right steers the camera
    EXPECT_EQ(d.frame(16, {KE_VK_LEFT}).sceneTime, 1000);
    EXPECT_EQ(d.frame(16, {KE_VK_PLUS}).sceneTime, 1005);  // Plus still scrubs
    EXPECT_EQ(d.frame(16, {KE_VK_MINUS}).sceneTime, 1000);

    KeViewerStep s = d.frame(16, {KE_VK_1});
    EXPECT_TRUE(s.speedChanged);
    EXPECT_EQ(d.timeline.rideSpeed(), 990);
    d.frame(16, {KE_VK_2});
    d.frame(16, {KE_VK_2});
    EXPECT_EQ(d.timeline.rideSpeed(), 1010);

    d.rightButton = true;
    s = d.frame();
    EXPECT_TRUE(s.rideChanged);
    EXPECT_FALSE(d.timeline.riding());
    EXPECT_FALSE(d.frame().rideChanged);  // held: one toggle
    d.rightButton = false;
    EXPECT_FALSE(d.frame(16, {KE_VK_1}).speedChanged);  // speed keys only while riding
    EXPECT_EQ(d.frame(16, {KE_VK_RIGHT}).sceneTime, 1005);

    Driver slow(false, true);
    for (int i = 0; i < 200; ++i) slow.frame(16, {KE_VK_1});
    EXPECT_EQ(slow.timeline.rideSpeed(), 1);  // at least 1

    EXPECT_TRUE(d.frame(16, {KE_VK_F12}).toggleDebug);
    d.keys[KE_VK_F12] = true;
    EXPECT_FALSE(d.frame().toggleDebug);
}

// Paused in an inactive window with nothing to evaluate, nine frames in ten are skipped.
TEST(ViewerTimeline, IdleRendersOneFrameInTen) {
    Driver d;
    d.timeline.start(d.clock, -1, true, &d.music);
    d.frame();  // evaluated once (forced)
    d.active = false;
    int rendered = 0;
    for (int i = 0; i < 100; ++i) rendered += d.frame().skip ? 0 : 1;
    EXPECT_EQ(rendered, 10);

    // A forced evaluation (a sync frame, a reload) renders at once; an active window never idles.
    d.timeline.follow(d.clock, 2000, &d.music);
    KeViewerStep s = d.frame();
    EXPECT_FALSE(s.skip);
    EXPECT_EQ(s.sceneTime, 2000);
    d.active = true;
    for (int i = 0; i < 20; ++i) EXPECT_FALSE(d.frame().skip);
    // With -noidleinactive neither.
    d.active = false;
    KeViewerInput in;
    in.clock = d.clock;
    in.windowActive = false;
    for (int i = 0; i < 20; ++i) EXPECT_FALSE(d.timeline.frame(in, true, &d.music).skip);
    // Playing never idles.
    Driver p;
    p.timeline.start(p.clock, -1, false, &p.music);
    p.active = false;
    for (int i = 0; i < 20; ++i) EXPECT_FALSE(p.frame(1).skip);
}

TEST(ViewerTimeline, FollowingAFrameWhilePlayingMovesTheMusic) {
    Driver d(true);
    d.timeline.start(d.clock, -1, false, &d.music);
    d.music.calls.clear();
    d.timeline.follow(d.clock, d.timeline.timeOfFrame(60), &d.music);
    EXPECT_EQ(d.music.calls, std::vector<std::string>{"at 2500"});
    EXPECT_EQ(d.frame(0).sceneTime, 2000);
    EXPECT_EQ(d.timeline.timeOfFrame(3), 0);  // before the first frame: 0
}

TEST(ViewerTimeline, OverlayTexts) {
    KeViewerTimeline t(scene4s(), false, false, 0);
    char text[128];
    keViewerFrameText(text, sizeof text, t, 75250);
    EXPECT_STREQ(text, "Frame=1891.25 time=1mn15sec2 millisec=75250");
    keViewerFrameText(text, sizeof text, t, 0);
    EXPECT_STREQ(text, "Frame=10.00 time=0mn0sec0 millisec=0");
    keViewerFpsText(text, sizeof text, 500);
    EXPECT_STREQ(text, "FPS=60.00 (16.67 ms/frm)");
    keViewerFpsText(text, sizeof text, 0);
    EXPECT_STREQ(text, "FPS=30000.00 (0.03 ms/frm)");

    struct Case {
        float x, y, z, heading, pitch;
    } cases[] = {{0, 0, 1, 0, 0}, {1, 0, 0, 90, 0}, {0, 0, -1, 180, 0}, {-1, 0, 0, -90, 0},
                 {0, 1, 1, 0, -45}, {0, -1, 1, 0, 45}};
    for (const Case& c : cases) {
        float h = 0, p = 0;
        keViewerHeadingPitch(c.x, c.y, c.z, &h, &p);
        EXPECT_NEAR(h, c.heading, 1e-3f);
        EXPECT_NEAR(p, c.pitch, 1e-3f);
    }
}

}  // namespace
