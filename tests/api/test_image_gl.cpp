// Made images on OpenGL: a deleted render target goes back to the driver and is freed once the
// queue that still draws it lets go, so that making images over and over holds no more textures.
#include "api/KeDrawApi.h"
#include "api/KeImageApi.h"
#include "core/KeError.h"
#include "runtime/KeEngine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

using namespace irr;
using namespace kolm;

namespace {

class ImageGl : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
        keResetErrorReporter();
        keSetLogSink([](const char* l, void*) { std::fprintf(stderr, "%s", l); }, nullptr);
        keSetMessageBoxHandler([](const char*, void*) {}, nullptr);
        EngineSetup s;
        s.windowed = 1;
        s.vsync = 0;
        s.width = 160;
        s.height = 120;
        ASSERT_EQ(keStartEngine(s), 0);
    }
    void TearDown() override {
        keStopEngine();
        keResetErrorReporter();
    }
    static u32 textures() { return keEngineContext().driver->getTextureCount(); }
};

TEST_F(ImageGl, MadeImagesAreFreedOnDeleteOnceTheQueueLetsGo) {
    const u32 before = textures();
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(keMakeImage(128, 64, 7), 0);  // replaces the one before
        EXPECT_EQ(keImageWidth(7), 128);
    }
    EXPECT_EQ(textures(), before + 1);
    keDeleteImage(7);
    EXPECT_EQ(textures(), before);

    ASSERT_EQ(keMakeImage(32, 32, 7), 0);
    video::ITexture* target = keImageTexture(7);
    ASSERT_EQ(kePasteImage(7, 0, 0, false), 0);
    keDeleteImage(7);
    // Gone from the driver's list, alive for the queued paste until the frame draws it.
    EXPECT_EQ(textures(), before);
    EXPECT_EQ(keDrawQueueEntry(0).object, target);
    EXPECT_EQ(target->getOriginalSize().Width, 32u);
    EXPECT_EQ(keSync(), 0);
    EXPECT_EQ(keDrawQueueCount(), 0);
}

}  // namespace
