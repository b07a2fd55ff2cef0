// Image commands on a running engine with the null driver (which loads pictures but makes no
// render targets): registration and replacement, sizes, queued pastes and their messages; and a
// frame of the 2D queue, which allocates nothing.
#include "api/KeDrawApi.h"
#include "api/KeImageApi.h"
#include "core/KeError.h"
#include "runtime/KeEngine.h"
#include "support/alloc_counter.h"
#include "support/log_capture.h"

#include <gtest/gtest.h>

#include <string>

using namespace irr;
using namespace kolm;

namespace {

const std::string kRed = KOLM_TEST_DATA_DIR "/api/red.png";  // 4 x 4

// The pending error with its argument index as "index:text", cleared.
std::string lastError() {
    int index = 0;
    const char* text = takeLastError(&index);
    std::string s = std::to_string(index) + ":" + (text ? text : "");
    clearLastError();
    return s;
}

class ImageApi : public ::testing::Test {
protected:
    void SetUp() override {
        keSetEngineDriverType(video::EDT_NULL);
        ASSERT_EQ(keStartEngine(EngineSetup()), 0);
        log.install();
        clearLastError();
    }
    void TearDown() override {
        keStopEngine();
        keSetEngineDriverType(video::EDT_OPENGL);
        keResetErrorReporter();
    }
    kolmtest::LogCapture log;
};

TEST_F(ImageApi, LoadReplaceMeasureAndDelete) {
    ASSERT_EQ(keLoadImage(kRed.c_str(), 5), 0);
    EXPECT_TRUE(keImageExist(5));
    EXPECT_EQ(lastError(), "-1:");  // (the null driver's textures have no size: see the GL suite)
    // Loading onto a registered ID replaces it; a failed load leaves the ID free.
    EXPECT_EQ(keLoadImage(kRed.c_str(), 5), 0);
    EXPECT_EQ(keLoadImage("no-such-picture.png", 5), -1);
    EXPECT_EQ(lastError(), "1:Failed to load image 'no-such-picture.png'");
    EXPECT_FALSE(keImageExist(5));

    EXPECT_EQ(keLoadImage(kRed.c_str(), 1000), -1);
    EXPECT_EQ(lastError(), "2:invalid Image ID 1000 : invalid ID 1000 greater or equals than 1000");
    EXPECT_EQ(keLoadImage(kRed.c_str(), -1), -1);
    EXPECT_EQ(lastError(), "2:invalid Image ID -1 : invalid negative ID -1");

    EXPECT_EQ(keImageWidth(7), 0);
    EXPECT_EQ(lastError().rfind("1:Image ID 7 does not exist. ", 0), 0u);
    EXPECT_EQ(keDeleteImage(7), 0);  // an unregistered ID is ignored
    EXPECT_EQ(lastError(), "-1:");
    EXPECT_FALSE(keImageExist(-3));
    EXPECT_FALSE(keImageExist(5000));
}

TEST_F(ImageApi, MakeImageChecksItsSizeBeforeItsId) {
    struct Case {
        int width, height, id;
        const char* error;
    } const cases[] = {
        {0, 16, 2, "1:invalid image size 0 x 16"},
        {-4, -4, 2, "1:invalid image size -4 x -4"},
        {16, 0, 2, "2:invalid image size 16 x 0"},
        {16, 16, 1000, "3:invalid Image ID 1000 : invalid ID 1000 greater or equals than 1000"},
        {16, 16, 2, "1:Failed to make image"},  // the null driver makes no render targets
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        EXPECT_EQ(keMakeImage(c.width, c.height, c.id), -1);
        EXPECT_EQ(lastError(), c.error);
        EXPECT_FALSE(keImageExist(c.id));
    }
}

TEST_F(ImageApi, PastesQueueTheTextureInTheImageColourOrNameWhatIsMissing) {
    ASSERT_EQ(keLoadImage(kRed.c_str(), 3), 0);
    keDrawQueueDiscard();
    keSetImageColor(0x102030);
    keSetImageAlpha(256 + 64);
    ASSERT_EQ(kePasteImage(3, 10, 20, true), 0);
    ASSERT_EQ(kePasteImageStretch(3, 1, 2, 30, 40, false), 0);
    ASSERT_EQ(keDrawQueueCount(), 2);
    const KeDrawEntry& own = keDrawQueueEntry(0);
    EXPECT_EQ(own.kind, KE_DRAW_IMAGE);
    EXPECT_EQ(own.object, keImageTexture(3));
    EXPECT_EQ(own.field[2], -1);
    EXPECT_EQ(own.field[3], -1);
    EXPECT_EQ(own.field[4], 1);
    EXPECT_EQ(static_cast<uint32_t>(own.field[5]), 0x40102030u);
    EXPECT_EQ(keDrawQueueEntry(1).field[3], 40);
    // A queued image survives its deletion until the queue lets go.
    keDeleteImage(3);
    EXPECT_EQ(keDrawQueueEntry(0).object, keDrawQueueEntry(1).object);
    keDrawQueueDraw();  // the null driver draws nothing; the queue empties
    EXPECT_EQ(keDrawQueueCount(), 0);

    EXPECT_EQ(kePasteImage(9, 0, 0, false), -1);
    EXPECT_EQ(lastError().rfind("1:Image ID 9 does not exist. ", 0), 0u);
    EXPECT_EQ(kePasteImageStretch(9, 0, 0, 1, 1, false), -1);
    EXPECT_EQ(lastError().rfind("1:Image ID 9 does not exist. ", 0), 0u);
    ASSERT_EQ(keLoadImage(kRed.c_str(), 4), 0);
    EXPECT_EQ(kePasteImageWithEffect(4, 0, 0, 8, 8, 12), -1);
    EXPECT_EQ(lastError().rfind("6:Effect ID 12 does not exist. ", 0), 0u);
    EXPECT_EQ(keBoxWithEffect(0, 0, 8, 8, 12), -1);
    EXPECT_EQ(lastError().rfind("5:Effect ID 12 does not exist. ", 0), 0u);
    EXPECT_EQ(keRenderToImage(4, true), -1);
    EXPECT_EQ(lastError(), "1:Image ID 4 is not renderable");
    EXPECT_EQ(keSetEffectTextureImage(12, "Image", 4), -1);
    EXPECT_EQ(lastError().rfind("1:Effect ID 12 does not exist. ", 0), 0u);
    EXPECT_EQ(keDrawQueueCount(), 0);
    keSetImageColor(0xFFFFFF);
    keSetImageAlpha(255);
}

TEST_F(ImageApi, QueueingAndPlayingAFrameAllocatesNothing) {
    ASSERT_EQ(keLoadImage(kRed.c_str(), 2), 0);
    keDrawQueueDiscard();
    keText(0, 0, "warm-up");  // the built-in font's first use
    keDrawQueueDraw();
    const long before = gAllocations;
    for (int frame = 0; frame < 3; ++frame) {
        for (int i = 0; i < 50; ++i) {
            keBox(0, 0, i, i);
            keLine(0, 0, i, i);
            kePasteImageStretch(2, i, i, 8, 8, true);
        }
        for (int i = 0; i < KE_DRAW_TEXT_SLOTS; ++i) keText(0, i, "time 12.34 s\nframe 99");
        keTextWidth("frame 99");
        keDrawQueueDraw();
    }
    EXPECT_EQ(gAllocations - before, 0);
    EXPECT_EQ(keDrawQueueCount(), 0);
}

TEST_F(ImageApi, ShutDownFreesTheImagesAndTheQueue) {
    ASSERT_EQ(keLoadImage(kRed.c_str(), 1), 0);
    ASSERT_EQ(kePasteImage(1, 0, 0, false), 0);
    keStopEngine();
    EXPECT_EQ(keDrawQueueCount(), 0);
    ASSERT_EQ(keStartEngine(EngineSetup()), 0);
    EXPECT_FALSE(keImageExist(1));
}

}  // namespace
