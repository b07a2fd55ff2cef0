// The object viewer's frame step on its own: the start distance, dragging with the left button
// alone, the keys, the wheel, and the animation looping at 30 frames per second.
#include "app/KeObjectViewer.h"

#include <gtest/gtest.h>

using namespace kolm;

namespace {

TEST(ObjectViewer, StartsOneAndAHalfRadiiAwayAndTwentyForARadiusOfZero) {
    EXPECT_FLOAT_EQ(keObjectViewerStart(4.0f, 1, 0, 0, 0, 0).distance, -6.0f);
    const KeObjectViewerState flat = keObjectViewerStart(0.0f, 1, 0, 0, 0, 0);
    EXPECT_FLOAT_EQ(flat.radius, 20.0f);
    EXPECT_FLOAT_EQ(flat.distance, -30.0f);
}

TEST(ObjectViewer, DragTurnsOnlyWithTheLeftButtonAlone) {
    struct Row {
        const char* what;
        int click;          // buttons held in both frames
        float yaw, pitch;   // after moving by (+10, -4)
        bool rotate;
    };
    const Row rows[] = {
        {"left alone", 1, -5.0f, 2.0f, true},
        {"both buttons", 3, 0.0f, 0.0f, false},
        {"right alone", 2, 0.0f, 0.0f, false},
        {"none", 0, 0.0f, 0.0f, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        KeObjectViewerState s = keObjectViewerStart(10.0f, 1, 50, 50, 0, 0);
        KeObjectViewerInput in;
        in.click = row.click;
        in.mouseX = 70;  // the first frame of a drag only remembers where it starts
        in.mouseY = 60;
        EXPECT_FALSE(keObjectViewerFrame(s, in).rotate);
        in.mouseX = 80;
        in.mouseY = 56;
        EXPECT_EQ(keObjectViewerFrame(s, in).rotate, row.rotate);
        EXPECT_FLOAT_EQ(s.yaw, row.yaw);
        EXPECT_FLOAT_EQ(s.pitch, row.pitch);
    }
}

TEST(ObjectViewer, KeysAndWheel) {
    KeObjectViewerState s = keObjectViewerStart(8.0f, 1, 0, 0, 5, 0);
    KeObjectViewerInput in;
    in.wheel = 5;
    KeObjectViewerStep step = keObjectViewerFrame(s, in);
    EXPECT_FALSE(step.rotate);
    EXPECT_FALSE(step.moveCamera);

    in.left = in.right = true;  // Left wins
    step = keObjectViewerFrame(s, in);
    EXPECT_TRUE(step.rotate);
    EXPECT_FLOAT_EQ(s.yaw, 1.0f);
    in.left = false;
    keObjectViewerFrame(s, in);
    keObjectViewerFrame(s, in);
    EXPECT_FLOAT_EQ(s.yaw, -1.0f);

    in.right = false;
    in.wheel = 7;  // two steps: 2 x 8 / 20
    in.up = true;  // and Up: - 8 / 40
    step = keObjectViewerFrame(s, in);
    EXPECT_TRUE(step.moveCamera);
    EXPECT_FLOAT_EQ(s.distance, -12.0f + 0.8f - 0.2f);
    in.up = false;
    in.down = true;
    keObjectViewerFrame(s, in);
    EXPECT_FLOAT_EQ(s.distance, -12.0f + 0.8f);
}

TEST(ObjectViewer, AnimationLoopsAtThirtyFramesPerSecondAndOneFrameIsNeverPosed) {
    KeObjectViewerState s = keObjectViewerStart(1.0f, 60, 0, 0, 0, 1000);
    KeObjectViewerInput in;
    struct Row {
        int64_t clock;
        float frame;
    };
    // 60 frames last 2000 ms; the modulo is on whole milliseconds.
    for (const Row& row : {Row{1000, 0.0f}, Row{1500, 15.0f}, Row{2999, 59.97f}, Row{3000, 0.0f}, Row{3100, 3.0f}}) {
        in.clock = row.clock;
        const KeObjectViewerStep step = keObjectViewerFrame(s, in);
        EXPECT_TRUE(step.setFrame);
        EXPECT_NEAR(step.frame, row.frame, 1e-4f) << row.clock;
    }
    // 7 frames: 7000 / 30 = 233 ms, so 250 ms is 17 ms into the second round.
    KeObjectViewerState seven = keObjectViewerStart(1.0f, 7, 0, 0, 0, 0);
    in.clock = 250;
    EXPECT_NEAR(keObjectViewerFrame(seven, in).frame, 0.51f, 1e-4f);

    KeObjectViewerState still = keObjectViewerStart(1.0f, 1, 0, 0, 0, 0);
    in.clock = 12345;
    EXPECT_FALSE(keObjectViewerFrame(still, in).setFrame);
}

}  // namespace
