// Render settings on the null driver, whose engine runs the simple renderer: the camera
// commands and the scene table's render-setting entries store their values in the engine's
// record (nothing is drawn with them), and a script's start-up and shut-down put them back to off.
#include "api/KeCameraApi.h"
#include "api/KeEngineApi.h"
#include "render/IKeRendererLpp.h"
#include "runtime/KeEngine.h"
#include "scene/KeSceneCalls.h"

#include <gtest/gtest.h>

using namespace irr;
using namespace kolm;

namespace {

class RenderSettingsApi : public ::testing::Test {
protected:
    void SetUp() override {
        keSetEngineDriverType(video::EDT_NULL);
        ASSERT_EQ(keScriptSetup(320, 240, 32, 1), 0);
    }
    void TearDown() override {
        keTerm();
        keSetEngineDriverType(video::EDT_OPENGL);
    }
};

TEST_F(RenderSettingsApi, StoredUnderTheSimpleRendererAndOffAgainAfterShutDown) {
    ASSERT_EQ(dynamic_cast<IKeRendererLpp*>(keCurrentRenderer()), nullptr);
    const KeSceneCalls& calls = keSceneEngineCalls();
    calls.setGlow(1, 0.5f, 16.0f);
    const float streak[KE_STREAK_VALUES] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    calls.setStreakValues(streak);
    calls.setShadowEnable(1);
    calls.setShadowEpsilon(0.02f);
    EXPECT_EQ(keSetCameraDOF(1, 7.0f, 2.8f), 0);
    EXPECT_EQ(keSetCameraAdvancedDOF(1, 1.0f, 9.0f, 5.0f, 1.5f), 0);
    EXPECT_EQ(keSetCameraStereo(1, 0.5f, 1, 12.0f), 0);
    EXPECT_EQ(keSync(), 0);  // the simple renderer draws the frame without them

    const KeRenderSettings& r = keRenderSettings();
    EXPECT_EQ(&r, &keSceneRenderSettings());
    EXPECT_EQ(r.glowEnabled, 1);
    EXPECT_FLOAT_EQ(r.glowRadius, 16.0f);
    EXPECT_FLOAT_EQ(r.streak[10], 11.0f);
    EXPECT_EQ(r.shadowEnabled, 1);
    EXPECT_FLOAT_EQ(r.shadowEpsilon, 0.02f);
    EXPECT_EQ(r.dofEnabled, 1);
    EXPECT_FLOAT_EQ(r.fStop, 2.8f);
    EXPECT_EQ(r.dofAdvanced, 1);
    EXPECT_FLOAT_EQ(r.dofRadiusScale, 1.5f);
    EXPECT_EQ(r.stereoMode, 1);
    EXPECT_EQ(r.stereoUseConvergence, 1);

    // A script that starts the engine again starts with every post effect off.
    ASSERT_EQ(keScriptSetup(320, 240, 32, 1), 0);
    EXPECT_EQ(r.glowEnabled, 0);
    EXPECT_EQ(r.dofEnabled, 0);
    EXPECT_EQ(r.stereoMode, 0);
}

}  // namespace
