// The example scene drawn by the light pre-pass renderer with its post effects (320 x 180), against
// reference pictures: with glow and light streaks, with depth of field, and once more with glow
// switched on at intensity 0, which must equal the plain frame.
//
// KOLM_POST_WRITE_REFERENCES=<folder> writes the frames there instead of comparing them
// (tests/render/regenerate_post_references.sh); look at each before committing it.
#include "lpp_fixture.h"

#include "support/gl_fixture.h"
#include "support/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace irr;
using namespace kolm;
using namespace lpptest;

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 180;
constexpr int kTimeMs = 1000;

class PostPicturesGl : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
        keResetErrorReporter();
        keSetLogSink([](const char* l, void*) { std::fprintf(stderr, "%s", l); }, nullptr);
        keSetMessageBoxHandler([](const char*, void*) {}, nullptr);
        renderer = startEngine(kWidth, kHeight);
        ASSERT_NE(renderer, nullptr);
        ASSERT_TRUE(loadExampleScene(kTimeMs));
    }
    void TearDown() override {
        keSceneUnload(1);
        keDeleteAllObjects();
        keDeleteAllLights();
        keDeleteAllEffects();
        keStopEngine();
        keResetErrorReporter();
    }
    // One frame at the test time with the post settings given, as keScreenShot writes it.
    std::vector<uint32_t> frame(const LppPostSettings& post) {
        keSetFrameTime(kTimeMs);
        keSceneAnimate(1, kTimeMs);
        *renderer->getPostSettings() = post;
        EXPECT_EQ(keSync(), 0);
        ScratchDir scratch;
        EXPECT_TRUE(scratch.create("/tmp/kolm-post-"));
        const std::string shot = scratch.path + "/frame.png";
        EXPECT_EQ(keScreenShot(shot.c_str()), 0);
        std::vector<uint32_t> px(size_t(kWidth) * kHeight);
        video::IImage* image = driver()->createImageFromFile(shot.c_str());
        if (!image) {
            ADD_FAILURE() << "no screenshot";
            return px;
        }
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) px[size_t(y) * kWidth + x] = image->getPixel(u32(x), u32(y)).color;
        image->drop();
        return px;
    }
    void compare(const std::vector<uint32_t>& px, const char* name) {
        const std::string file = std::string(name) + ".png";
        if (const char* out = std::getenv("KOLM_POST_WRITE_REFERENCES")) {
            ASSERT_TRUE(gltest::writeFramePng(driver(), px, kWidth, kHeight, std::string(out) + "/" + file));
            return;
        }
        gltest::expectMatchesReference(driver(), px, kWidth, kHeight, KOLM_TEST_DATA_DIR "/render/" + file, 3, 8);
    }

    CKeRendererLpp* renderer = nullptr;
};

LppPostSettings glowSettings() {
    LppPostSettings p;
    p.glowEnabled = true;
    p.glowIntensity = 0.4f;
    p.glowRadius = 24.0f;
    p.streakEnabled = true;
    return p;
}

LppPostSettings dofSettings() {
    LppPostSettings p;
    p.dofEnabled = true;
    p.focalDistance = 8.0f;
    p.fStop = 1.4f;
    return p;
}

// The glow mask is the surfaces' glow value: the cube glows, the ground and the backdrop do not.
TEST_F(PostPicturesGl, GlowWithLightStreaks) {
    ASSERT_EQ(keSetObjectSurfaceParamFloat(10, 0, keSurfaceParameterIndex("GlowValue"), 1.0f), 0);
    compare(frame(glowSettings()), "post_glow");
}

TEST_F(PostPicturesGl, DepthOfField) { compare(frame(dofSettings()), "post_dof"); }

TEST_F(PostPicturesGl, GlowOfIntensityZeroEqualsNoGlow) {
    const std::vector<uint32_t> plain = frame(LppPostSettings());
    LppPostSettings zero = glowSettings();
    zero.glowIntensity = 0.0f;
    EXPECT_EQ(frame(zero), plain);
}

}  // namespace
