// The 2D draw queue and the drawing state as plain code: capacities, the colours entries take,
// text slots and the colour packings. No engine runs: nothing is drawn, the queue is emptied as
// the frame loop would.
#include "api/KeDrawApi.h"
#include "core/KeError.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace kolm {
namespace {

class DrawQueue : public ::testing::Test {
protected:
    void SetUp() override {
        keResetErrorReporter();
        keDrawQueueDiscard();
        keInk(0xFFFFFF);
        keInkAlpha(255);
        keSetTextColor(0xFFFFFF);
        keSetTextAlpha(255);
    }
    void TearDown() override {
        keDrawQueueDiscard();
        keResetErrorReporter();
    }

    static std::string pendingError(int* index) {
        const char* text = takeLastError(index);
        return text ? text : "";
    }
};

TEST_F(DrawQueue, TheEntryPastTheCapacityIsLostAndTheNextFrameAcceptsAgain) {
    for (int i = 0; i < KE_DRAW_QUEUE_CAPACITY; ++i) ASSERT_EQ(keBox(i, 0, i + 1, 1), 0) << i;
    EXPECT_EQ(pendingError(nullptr), "");

    EXPECT_EQ(keBox(0, 0, 1, 1), -1);
    int index = 0;
    EXPECT_EQ(pendingError(&index), "too many 2D draws in one frame");
    EXPECT_EQ(index, -1);
    clearLastError();
    // Lines and texts meet the same limit; what was queued stays intact.
    EXPECT_EQ(keLine(0, 0, 1, 1), -1);
    EXPECT_EQ(keText(0, 0, "late"), -1);
    EXPECT_EQ(keDrawQueueCount(), KE_DRAW_QUEUE_CAPACITY);
    EXPECT_EQ(keDrawQueueEntry(KE_DRAW_QUEUE_CAPACITY - 1).field[0], KE_DRAW_QUEUE_CAPACITY - 1);
    clearLastError();

    keDrawQueueDiscard();  // the next frame
    EXPECT_EQ(keBox(1, 2, 3, 4), 0);
    EXPECT_EQ(keDrawQueueCount(), 1);
}

TEST_F(DrawQueue, TheSixtyFifthTextFailsWithRoomLeftInTheQueue) {
    for (int i = 0; i < KE_DRAW_TEXT_SLOTS; ++i) ASSERT_EQ(keText(i, i, std::to_string(i).c_str()), 0);
    EXPECT_EQ(keText(0, 0, "one too many"), -1);
    int index = 0;
    EXPECT_EQ(pendingError(&index), "too many 2D draws in one frame");
    EXPECT_EQ(index, -1);
    clearLastError();
    EXPECT_EQ(keDrawQueueCount(), KE_DRAW_TEXT_SLOTS);
    // Other kinds still fit; each text kept its own slot.
    EXPECT_EQ(keBox(0, 0, 1, 1), 0);
    EXPECT_STREQ(keDrawQueueText(keDrawQueueEntry(63).field[3]), "63");
    EXPECT_STREQ(keDrawQueueText(keDrawQueueEntry(7).field[3]), "7");
}

TEST_F(DrawQueue, TextLongerThanASlotIsCutInsideIt) {
    const std::string longText(3000, 'x');
    ASSERT_EQ(keText(5, 6, longText.c_str()), 0);
    const KeDrawEntry& e = keDrawQueueEntry(0);
    EXPECT_EQ(e.kind, KE_DRAW_TEXT);
    EXPECT_EQ(e.field[0], 5);
    EXPECT_EQ(e.field[1], 6);
    EXPECT_EQ(std::string(keDrawQueueText(e.field[3])), std::string(KE_DRAW_TEXT_CAPACITY - 1, 'x'));
    EXPECT_EQ(keText(0, 0, ""), 0);
    EXPECT_STREQ(keDrawQueueText(keDrawQueueEntry(1).field[3]), "");
}

TEST_F(DrawQueue, EntriesTakeTheDrawingStateAsItWasWhenQueued) {
    struct Case {
        const char* what;
        void (*set)();
        int (*queue)();
        uint32_t colour;
        int colourField;
    };
    const Case cases[] = {
        {"ink and alpha", [] { keInk(0x336699); keInkAlpha(128); }, [] { return keBox(1, 2, 3, 4); }, 0x80336699u, 4},
        {"ink alpha above 255 keeps its low byte", [] { keInk(0x00FF00); keInkAlpha(300); },
         [] { return keLine(1, 2, 3, 4); }, 0x2C00FF00u, 4},
        {"ink keeps all 32 bits", [] { keInk(0x12345678); keInkAlpha(0); }, [] { return keBox(0, 0, 1, 1); },
         0x12345678u, 4},
        {"text colour keeps 24 bits", [] { keSetTextColor(0xAB123456u); keSetTextAlpha(16); },
         [] { return keText(0, 0, "t"); }, 0x10123456u, 2},
        {"text alpha clamped up", [] { keSetTextColor(0xFF0000); keSetTextAlpha(300); },
         [] { return keText(0, 0, "t"); }, 0xFFFF0000u, 2},
        {"text alpha clamped down", [] { keSetTextColor(0xFF0000); keSetTextAlpha(-5); },
         [] { return keText(0, 0, "t"); }, 0x00FF0000u, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        keDrawQueueDiscard();
        c.set();
        ASSERT_EQ(c.queue(), 0);
        keInk(0xFFFFFF);  // changing the state later changes no queued entry
        keInkAlpha(255);
        keSetTextColor(0xFFFFFF);
        keSetTextAlpha(255);
        EXPECT_EQ(static_cast<uint32_t>(keDrawQueueEntry(0).field[c.colourField]), c.colour);
    }
    keSetTextAlpha(300);
    EXPECT_EQ(keTextAlpha(), 255);
    keSetTextAlpha(-5);
    EXPECT_EQ(keTextAlpha(), 0);
    keSetTextColor(0xFF00FF00u);
    EXPECT_EQ(keTextColor(), 0x00FF00u);
}

TEST_F(DrawQueue, ColourPackings) {
    EXPECT_EQ(keRGB(255, 128, 1), 0xFF8001);
    EXPECT_EQ(keRGB(256 + 2, -1, 0x1FF), 0x02FFFF);  // each part AND 255
    EXPECT_EQ(keRGBf(1.0f, 0.5f, 0.0f), 0xFF7F00);  // 127.5 truncated
    EXPECT_EQ(keRGBf(2.0f, -0.5f, 0.999f), 0xFE81FE);  // 510 AND 255, -127 AND 255, 254.7
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(keRGBf(nan, 1e30f, 1.0f), 0x0000FF);  // not a number, beyond 32 bits: 0
}

TEST_F(DrawQueue, WithoutAnEngineThereIsNoFontAndNothingToMeasure) {
    EXPECT_EQ(keTextFont(), nullptr);
    EXPECT_EQ(keSetTextFont("fonts/kolm-sans.png"), -1);
    int index = 0;
    EXPECT_EQ(pendingError(&index), "The font 'fonts/kolm-sans.png' cannot be loaded");
    EXPECT_EQ(index, 1);
    EXPECT_EQ(keTextFont(), nullptr);
    EXPECT_EQ(keTextWidth("abc"), 0);
    EXPECT_EQ(keFadeOut(10, 0xFF0000), -1);
}

}  // namespace
}  // namespace kolm
