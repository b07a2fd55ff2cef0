// The example scene loaded by the scene loader alone under the light pre-pass renderer: every
// surface row is bound to the renderer's final-pass effect, and the picture is drawn through
// it. Against the same frame with the effects taken off (the solid stage then draws the
// materials with the library's fixed-function lighting) the final pass shows what only it can:
// the spot light's shadow of the cube on the ground.
#include "../render/lpp_fixture.h"

#include "fx/IKeEffectDef.h"
#include "support/gl_fixture.h"
#include "support/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

using namespace irr;
using namespace kolm;

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 180;

int luma(uint32_t c) { return int((c >> 16) & 0xFF) + int((c >> 8) & 0xFF) + int(c & 0xFF); }

class SceneSurfaceFxGl : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
        keResetErrorReporter();
        keSetMessageBoxHandler([](const char*, void*) {}, nullptr);
    }
    void TearDown() override {
        keSceneUnload(1);
        keStopEngine();
        keResetErrorReporter();
    }
    // One frame at the scene's time as the screenshot writes it, rows top first; with
    // KOLM_SCENE_FX_PICTURES=<folder> also written there as <name>.png, to look at.
    std::vector<uint32_t> frame(int timeMs, const char* name) {
        std::vector<uint32_t> px(size_t(kWidth) * kHeight);
        keSetFrameTime(timeMs);
        keSceneAnimate(1, timeMs);
        EXPECT_EQ(keSync(), 0);
        ScratchDir scratch;
        EXPECT_TRUE(scratch.create("/tmp/kolm-scene-fx-"));
        const std::string shot = scratch.path + "/frame.png";
        EXPECT_EQ(keScreenShot(shot.c_str()), 0);
        video::IImage* image = lpptest::driver()->createImageFromFile(shot.c_str());
        EXPECT_NE(image, nullptr);
        if (!image) return px;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) px[size_t(y) * kWidth + x] = image->getPixel(u32(x), u32(y)).color;
        image->drop();
        if (const char* out = std::getenv("KOLM_SCENE_FX_PICTURES"))
            gltest::writeFramePng(lpptest::driver(), px, kWidth, kHeight, std::string(out) + "/" + name + ".png");
        return px;
    }
    // The pixel where a world point appears, rows top first.
    uint32_t at(const std::vector<uint32_t>& px, const core::vector3df& p) {
        const core::position2di s =
            keEngineContext().sceneManager->getSceneCollisionManager()->getScreenCoordinatesFrom3DPosition(p);
        EXPECT_TRUE(s.X >= 0 && s.X < kWidth && s.Y >= 0 && s.Y < kHeight) << s.X << "," << s.Y;
        const int x = core::clamp(s.X, 0, kWidth - 1), y = core::clamp(s.Y, 0, kHeight - 1);
        return px[size_t(y) * kWidth + size_t(x)];
    }
};

TEST_F(SceneSurfaceFxGl, ExampleSceneIsDrawnThroughTheFinalPass) {
    ASSERT_NE(lpptest::startEngine(kWidth, kHeight), nullptr) << "the light pre-pass renderer did not start";
    char previous[4096];
    ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(::chdir(KOLM_SOURCE_DIR "/examples/scenes"), 0);
    const int loaded = keSceneLoad("cube_on_ground.kscn", 1, 10, 20, 30, 40, 50, false, "example", false);
    ASSERT_EQ(::chdir(previous), 0);
    ASSERT_EQ(loaded, 0);
    keSceneShow(1);

    for (int id = 10; id < 12; ++id) {
        IKeSceneNodeExt* ext = keFindNodeExt(keObjectGet(id));
        ASSERT_NE(ext, nullptr);
        ASSERT_GE(ext->getRowCount(), 1u);
        IKeEffect* effect = ext->getEffect(0);
        ASSERT_NE(effect, nullptr) << "object " << id << " has no effect";
        EXPECT_NE(std::strstr(effect->getDefinition()->getName(), "LppFinalPass3"), nullptr)
            << effect->getDefinition()->getName();
        EXPECT_EQ(ext->getTechnique(0), 0);
        EXPECT_EQ(ext->getPass(0), 0);
    }
    EXPECT_TRUE(keFindNodeExt(keObjectGet(10))->getCastShadows());   // shadowOpts 2
    EXPECT_FALSE(keFindNodeExt(keObjectGet(11))->getCastShadows());  // shadowOpts 0

    // The shadowed spot light (from the left, low) throws the cube's shadow to the right: a
    // ground point behind the cube from the light, and one as far from the cube beside it.
    const int kTime = 1000;
    const std::vector<uint32_t> finalPass = frame(kTime, "final_pass");
    const core::vector3df shadowed(2.2f, -1.05f, -0.4f), lit(1.0f, -1.05f, -2.3f);
    const int inShadow = luma(at(finalPass, shadowed)), inLight = luma(at(finalPass, lit));
    EXPECT_GT(inLight - inShadow, 60) << "no shadow: " << inLight << " vs " << inShadow;

    // Without the effects the same frame has no shadow, and the picture differs widely.
    for (int id = 10; id < 12; ++id) keFindNodeExt(keObjectGet(id))->removeAllEffects();
    const std::vector<uint32_t> fixed = frame(kTime, "fixed_function");
    const int fixedShadowed = luma(at(fixed, shadowed)), fixedLit = luma(at(fixed, lit));
    EXPECT_LT(std::abs(fixedLit - fixedShadowed), (inLight - inShadow) / 2)
        << "fixed-function: " << fixedLit << " vs " << fixedShadowed;
    size_t differing = 0;
    for (size_t i = 0; i < finalPass.size(); ++i)
        if (std::abs(luma(finalPass[i]) - luma(fixed[i])) > 30) ++differing;
    EXPECT_GT(differing, finalPass.size() / 10);
}

}  // namespace
