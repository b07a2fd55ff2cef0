#include "runtime/KeLoadingScreen.h"

#include <gtest/gtest.h>

using namespace kolm;

namespace {

// Hand-computed layouts: 1280 x 720 gives w 640, h 72, c 18, the bar 604 x 36.
TEST(LoadingScreen, ProgressBarLayoutInIntegers) {
    const struct {
        int W, H, pic, p;
        KeBox frame, inside, bar;
    } cases[] = {
        {1280, 720, -1, 50, {320, 324, 640, 72, 0xFFFFFFFF}, {329, 333, 622, 54, 0xFF000000}, {338, 342, 302, 36, 0xFF4488FF}},
        // With a 116-pixel picture the boxes move down by h + 116 / 2 = 72 + 58.
        {1280, 720, 116, 100, {320, 454, 640, 72, 0xFFFFFFFF}, {329, 463, 622, 54, 0xFF000000}, {338, 472, 604, 36, 0xFF4488FF}},
        {1280, 720, -1, 0, {320, 324, 640, 72, 0xFFFFFFFF}, {329, 333, 622, 54, 0xFF000000}, {338, 342, 0, 36, 0xFF4488FF}},
        // A tiny screen: sizes never go below 1 after the double cut.
        {4, 4, -1, 100, {1, 2, 2, 0, 0xFFFFFFFF}, {1, 2, 2, 0, 0xFF000000}, {1, 1, 2, 1, 0xFF4488FF}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.W << "x" << c.H << " pic " << c.pic << " p " << c.p);
        const KeLoadingBar bar = keLoadingBarLayout(c.W, c.H, c.pic, c.p);
        for (const auto& [got, want] : {std::pair{bar.frame, c.frame}, {bar.inside, c.inside}, {bar.bar, c.bar}}) {
            EXPECT_EQ(got.x, want.x);
            EXPECT_EQ(got.y, want.y);
            EXPECT_EQ(got.w, want.w);
            EXPECT_EQ(got.h, want.h);
            EXPECT_EQ(got.color, want.color);
        }
    }
}

}  // namespace
