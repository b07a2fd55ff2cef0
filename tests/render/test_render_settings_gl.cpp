// The render settings of scenes and scripts under the light pre-pass renderer: a scene's glow,
// streak, shadow-epsilon and advanced depth-of-field settings and the camera commands end in the
// renderer's post and streak settings; a scene with glow on draws differently from the same
// scene with glow off, and only its glowing surfaces glow.
#include "lpp_fixture.h"

#include "api/KeCameraApi.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace irr;
using namespace kolm;
using namespace lpptest;

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 180;
constexpr int kTimeMs = 1000;

// The example scene with its render settings: glow switched by `glow` (intensity 1, radius 24),
// the cube's surface glowing with `cubeGlow` (0 to 1), streaks, a shadow epsilon and the
// advanced depth of field as `extra` gives them.
std::string exampleWith(int glow, float cubeGlow, const std::string& extra = "") {
    std::ifstream in(KOLM_SOURCE_DIR "/examples/scenes/cube_on_ground.kscn");
    std::stringstream text;
    text << in.rdbuf();
    std::string scene = text.str();
    const std::string cubeSurface = "name STR \"Orange\"\n";
    const size_t at = scene.find(cubeSurface);
    if (at == std::string::npos) return "";
    scene.insert(at + cubeSurface.size(),
                 "{ Parameters\n { GlowValue\n value FP " + std::to_string(cubeGlow) + "\n }\n }\n");
    const size_t end = scene.rfind('}');
    scene.insert(end, " { ImageProcessing\n  glowEffect I4 " + std::to_string(glow) +
                          "\n  glowIntensity FP 1\n  glowRadius FP 24\n }\n { KolmRenderSettings\n" + extra + " }\n");
    return scene;
}

class RenderSettingsGl : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
        keResetErrorReporter();
        keSetLogSink([](const char* l, void*) { std::fprintf(stderr, "%s", l); }, nullptr);
        keSetMessageBoxHandler([](const char*, void*) {}, nullptr);
        renderer = startEngine(kWidth, kHeight);
        ASSERT_NE(renderer, nullptr);
        keResetRenderSettings();
        path = "/tmp/kolm-render-settings-" + std::to_string(::getpid()) + ".kscn";
    }
    void TearDown() override {
        keSceneUnload(1);
        keDeleteAllObjects();
        keDeleteAllLights();
        keDeleteAllEffects();
        keResetRenderSettings();
        keStopEngine();
        keResetErrorReporter();
        std::remove(path.c_str());
    }
    // Loads `text` into slot 1 (the example's meshes are named relative to its folder), shows
    // it with the example's own spot and volumetric lights hidden, and animates it.
    bool load(const std::string& text) {
        keSceneUnload(1);
        std::ofstream(path) << text;
        char previous[4096];
        if (text.empty() || !::getcwd(previous, sizeof previous) ||
            ::chdir(KOLM_SOURCE_DIR "/examples/scenes") != 0)
            return false;
        const int loaded = keSceneLoad(path.c_str(), 1, 10, 20, 30, 40, 50, false, "settings", false);
        if (::chdir(previous) != 0 || loaded != 0) return false;
        keSceneShow(1);
        keHideLight(22);
        keHideLight(23);
        keSetFrameTime(kTimeMs);
        keSceneAnimate(1, kTimeMs);
        return true;
    }
    std::vector<uint32_t> frame() {
        EXPECT_EQ(keSync(), 0);
        return readBackBuffer(kWidth, kHeight);
    }

    CKeRendererLpp* renderer = nullptr;
    std::string path;
};

TEST_F(RenderSettingsGl, SceneAndCameraSettingsReachTheRenderer) {
    ASSERT_TRUE(load(exampleWith(1, 1.0f,
                                 "  CH_STREAK_ENABLE I4 1\n  CH_STREAK_GLOWMIN FP 0.1\n  CH_STREAK_COLORKEY FP 0.2 0.3 0.4\n"
                                 "  CH_STREAK_COLORKEYMATCH FP 0.5\n  CH_STREAK_COLORIZE FP 0.6 0.7 0.8\n"
                                 "  CH_STREAK_ATTENUATION FP 0.9\n  CH_STREAK_ANGLE FP 45\n  CH_STREAK_COMPOSE FP 2\n"
                                 "  CH_SHADOW_ENABLE I4 1\n  CH_SHADOW_EPSILON FP 0.01\n"
                                 "  CH_DOF_ADVANCED_ENABLE I4 1\n  CH_DOF_MINFOCUSDIST FP 1\n  CH_DOF_MAXFOCUSDIST FP 9\n"
                                 "  CH_DOF_FOCUSEDDIST FP 5\n  CH_DOF_RADIUSSCALE FP 1.5\n")));
    const LppPostSettings& post = *renderer->getPostSettings();
    EXPECT_TRUE(post.glowEnabled);
    EXPECT_FLOAT_EQ(post.glowIntensity, 1.0f);
    EXPECT_FLOAT_EQ(post.glowRadius, 24.0f);
    EXPECT_TRUE(post.streakEnabled);
    EXPECT_TRUE(post.shadowEpsilonOverride);
    EXPECT_FLOAT_EQ(post.shadowEpsilon, 0.01f);
    EXPECT_EQ(post.dofAdvanced, 1.0f);
    EXPECT_FLOAT_EQ(post.dofFocalRangeMin, 1.0f);
    EXPECT_FLOAT_EQ(post.dofFocalRangeMax, 9.0f);
    EXPECT_FLOAT_EQ(post.dofFocalRangeFocused, 5.0f);
    EXPECT_FLOAT_EQ(post.dofRadiusScale, 1.5f);
    // The scene's order (glow minimum, colour key, match, colorize, attenuation, angle,
    // compose) lands in the streak object's fields of those names.
    const LightStreakSettings& streaks = *renderer->getLightStreakSettings();
    EXPECT_FLOAT_EQ(streaks.glowMin, 0.1f);
    EXPECT_FLOAT_EQ(streaks.colorKey[0], 0.2f);
    EXPECT_FLOAT_EQ(streaks.colorKey[2], 0.4f);
    EXPECT_FLOAT_EQ(streaks.colorKeyMatch, 0.5f);
    EXPECT_FLOAT_EQ(streaks.colorize[0], 0.6f);
    EXPECT_FLOAT_EQ(streaks.colorize[2], 0.8f);
    EXPECT_FLOAT_EQ(streaks.attenuation, 0.9f);
    EXPECT_FLOAT_EQ(streaks.angle, 45.0f);
    EXPECT_FLOAT_EQ(streaks.compose, 2.0f);

    // What the script commands SetCameraDOF and SetCameraStereo do.
    EXPECT_EQ(keSetCameraDOF(1, 7.0f, 2.8f), 0);
    EXPECT_TRUE(post.dofEnabled);
    EXPECT_FLOAT_EQ(post.focalDistance, 7.0f);
    EXPECT_FLOAT_EQ(post.fStop, 2.8f);
    EXPECT_EQ(keSetCameraStereo(1, 0.5f, 1, 12.0f), 0);
    EXPECT_EQ(keRenderSettings().stereoMode, 1);
    EXPECT_FLOAT_EQ(keRenderSettings().stereoConvergence, 12.0f);
    // A frame draws with all of it on.
    frame();

    // The same scene with its switches off: glow, streaks and the shadow epsilon go off at the
    // next animation; the camera's depth of field stays as the command left it.
    ASSERT_TRUE(load(exampleWith(0, 1.0f, "  CH_STREAK_ENABLE I4 0\n  CH_SHADOW_ENABLE I4 0\n")));
    EXPECT_FALSE(post.glowEnabled);
    EXPECT_FALSE(post.streakEnabled);
    EXPECT_FALSE(post.shadowEpsilonOverride);
    EXPECT_EQ(post.dofAdvanced, 0.0f);
}

// Cube maps are drawn without glow, light streaks and gamma; the frames after them have the
// settings again.
TEST_F(RenderSettingsGl, CubeMapsAreDrawnWithoutGlowStreaksAndGamma) {
    ASSERT_TRUE(load(exampleWith(1, 1.0f, "  CH_STREAK_ENABLE I4 1\n")));
    renderer->getPostSettings()->gammaEnabled = true;
    struct Drawer : IKeRenderWithDrawer {
        bool draw(IKeRenderer* r) override {
            const LppPostSettings& p = *dynamic_cast<IKeRendererLpp*>(r)->getPostSettings();
            glow = p.glowEnabled;
            streaks = p.streakEnabled;
            gamma = p.gammaEnabled;
            return true;
        }
        bool glow = true, streaks = true, gamma = true;
    } drawer;
    ASSERT_EQ(keRenderWith(&drawer), 0);
    EXPECT_FALSE(drawer.glow);
    EXPECT_FALSE(drawer.streaks);
    EXPECT_FALSE(drawer.gamma);
    const LppPostSettings& post = *renderer->getPostSettings();
    EXPECT_TRUE(post.glowEnabled && post.streakEnabled && post.gammaEnabled);
    frame();
}

// Glow on against glow off, with the cube's surface glowing and without: the glowing cube
// lights its surroundings, while glow on a scene without glowing surfaces changes nothing
// (the backdrop and unlit surfaces have a glow mask of 0).
TEST_F(RenderSettingsGl, OnlyGlowingSurfacesGlow) {
    ASSERT_TRUE(load(exampleWith(0, 1.0f)));
    const std::vector<uint32_t> off = frame();
    ASSERT_TRUE(load(exampleWith(1, 1.0f)));
    ASSERT_TRUE(renderer->getPostSettings()->glowEnabled);
    const std::vector<uint32_t> glowing = frame();
    ASSERT_TRUE(load(exampleWith(1, 0.0f)));
    const std::vector<uint32_t> noGlowingSurface = frame();

    auto channelDiff = [](uint32_t a, uint32_t b) {
        int most = 0;
        for (int shift = 0; shift < 24; shift += 8)
            most = std::max(most, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
        return most;
    };
    int brighter = 0, changedWithoutGlowSurface = 0;
    for (size_t i = 0; i < off.size(); ++i) {
        if (channelDiff(glowing[i], off[i]) > 8) ++brighter;
        if (channelDiff(noGlowingSurface[i], off[i]) > 3) ++changedWithoutGlowSurface;
    }
    EXPECT_GT(brighter, kWidth * kHeight / 100) << "glow on changed too few pixels";
    EXPECT_EQ(changedWithoutGlowSurface, 0);
}

}  // namespace
