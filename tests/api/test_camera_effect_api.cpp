// Camera effect commands on a running engine with the null driver: making them from an effect
// ID (sharing its runtime effect) or from a file, the shown list in the order of showing, hiding
// with its message, and deletion that leaves nothing in the list for a later camera effect.
#include "api_effect_fixture.h"
#include "fx/IKeEffect.h"

#include <vector>

using namespace irr;
using namespace kolm;
using apitest::dataFile;
using apitest::lastError;

namespace {

using CameraEffectApi = apitest::EngineNull;

std::vector<int> shown() {
    std::vector<int> ids;
    for (int i = 0; i < keShownCameraEffectCount(); ++i) ids.push_back(keShownCameraEffectId(i));
    return ids;
}

// Runs first: before any camera effect was ever shown, hiding one is silent.
TEST_F(CameraEffectApi, HideBeforeAnyShowIsSilent) {
    ASSERT_EQ(keLoadEffect(dataFile("constants.hlsl").c_str(), 1), 0) << lastError();
    ASSERT_EQ(keMakeCameraEffect(2, 1), 0);
    EXPECT_EQ(keHideCameraEffect(2), 0);
    EXPECT_TRUE(log.boxes.empty());
    EXPECT_EQ(lastError(), "none");
}

TEST_F(CameraEffectApi, MakeFromAnEffectOrAFile) {
    // A missing effect registers nothing.
    EXPECT_EQ(keMakeCameraEffect(3, 5), -1);
    EXPECT_EQ(lastError().rfind("2:Effect ID 5 does not exist. ", 0), 0u);
    EXPECT_FALSE(keCameraEffectExist(3));

    ASSERT_EQ(keLoadEffect(dataFile("constants.hlsl").c_str(), 5), 0) << lastError();
    ASSERT_EQ(keMakeCameraEffect(3, 5), 0);
    EXPECT_TRUE(keCameraEffectExist(3));
    EXPECT_EQ(keCameraEffectGet(3), keEffectGet(5));
    EXPECT_EQ(keMakeCameraEffect(3, 5), -1);
    EXPECT_EQ(lastError(), "1:invalid Camera Effect ID 3 : id 3 already exist");

    // Deleting the effect ID leaves the camera effect its own reference.
    EXPECT_EQ(keDeleteEffect(5), 0);
    ASSERT_NE(keCameraEffectGet(3), nullptr);
    EXPECT_NE(keCameraEffectGet(3)->getParameterByName(nullptr, "Tint"), nullptr);
    ASSERT_EQ(keShowCameraEffect(3), 0);
    EXPECT_EQ(keDeleteCameraEffect(3), 0);
    EXPECT_FALSE(keCameraEffectExist(3));

    // From a file: a runtime effect of its own; a broken one is reported in a box, ID free.
    ASSERT_EQ(keMakeCameraEffectFromFile(4, dataFile("constants.hlsl").c_str()), 0) << lastError();
    EXPECT_NE(keCameraEffectGet(4), nullptr);
    log.clear();
    EXPECT_EQ(keMakeCameraEffectFromFile(6, "no_such_effect.hlsl"), -1);
    EXPECT_EQ(lastError(), "2:Camera Effect ID 6 : Failed to compile effect no_such_effect.hlsl");
    ASSERT_EQ(log.boxes.size(), 1u);
    EXPECT_EQ(log.boxes[0], "Camera Effect ID 6 : Failed to compile effect no_such_effect.hlsl");
    EXPECT_FALSE(keCameraEffectExist(6));

    EXPECT_EQ(keDeleteCameraEffect(8), 0);  // unknown: ignored silently
    EXPECT_EQ(keSetCameraEffectPriority(8, 1), -1);
    EXPECT_EQ(lastError().rfind("1:Camera Effect ID 8 does not exist. ", 0), 0u);
}

TEST_F(CameraEffectApi, ShownListKeepsTheOrderOfShowing) {
    ASSERT_EQ(keLoadEffect(dataFile("constants.hlsl").c_str(), 1), 0) << lastError();
    for (int id : {1, 2, 3}) ASSERT_EQ(keMakeCameraEffect(id, 1), 0);
    keSetCameraEffectPriority(3, -10);
    keSetCameraEffectPriority(1, 10);
    keShowCameraEffect(3);
    keShowCameraEffect(1);
    keShowCameraEffect(3);  // twice: runs twice
    EXPECT_EQ(shown(), (std::vector<int>{3, 1, 3}));
    EXPECT_EQ(keHideCameraEffect(3), 0);  // the first occurrence
    EXPECT_EQ(shown(), (std::vector<int>{1, 3}));

    // Hiding one that is not in the list: a box, nothing recorded, the list unchanged.
    log.clear();
    EXPECT_EQ(keHideCameraEffect(2), -1);
    ASSERT_EQ(log.boxes.size(), 1u);
    EXPECT_EQ(log.boxes[0], "remove enabled FAILED to find ID=2 in enabled list");
    EXPECT_EQ(lastError(), "none");
    EXPECT_EQ(shown(), (std::vector<int>{1, 3}));
    EXPECT_EQ(keShowCameraEffect(9), -1);
    EXPECT_EQ(lastError().rfind("1:Camera Effect ID 9 does not exist. ", 0), 0u);
    EXPECT_EQ(shown(), (std::vector<int>{1, 3}));
}

TEST_F(CameraEffectApi, DeleteTakesEveryOccurrenceOutOfTheShownList) {
    ASSERT_EQ(keLoadEffect(dataFile("constants.hlsl").c_str(), 1), 0) << lastError();
    ASSERT_EQ(keMakeCameraEffect(4, 1), 0);
    ASSERT_EQ(keMakeCameraEffect(5, 1), 0);
    keShowCameraEffect(4);
    keShowCameraEffect(5);
    keShowCameraEffect(4);
    keHideCameraEffect(4);
    EXPECT_EQ(shown(), (std::vector<int>{5, 4}));
    EXPECT_EQ(keDeleteCameraEffect(4), 0);
    EXPECT_EQ(shown(), (std::vector<int>{5}));

    // A later camera effect under the same ID starts hidden and runs only once shown.
    ASSERT_EQ(keMakeCameraEffect(4, 1), 0);
    EXPECT_EQ(shown(), (std::vector<int>{5}));
    keShowCameraEffect(4);
    EXPECT_EQ(shown(), (std::vector<int>{5, 4}));
    EXPECT_EQ(keHideCameraEffect(4), 0);
    EXPECT_EQ(keHideCameraEffect(5), 0);
    EXPECT_TRUE(shown().empty());
}

TEST_F(CameraEffectApi, ANewEngineStartsWithAnEmptyShownList) {
    ASSERT_EQ(keLoadEffect(dataFile("constants.hlsl").c_str(), 1), 0) << lastError();
    ASSERT_EQ(keMakeCameraEffect(2, 1), 0);
    keShowCameraEffect(2);
    ASSERT_EQ(shown(), std::vector<int>{2});
    keDeleteAllCameraEffects();
    keDeleteAllEffects();
    EXPECT_TRUE(shown().empty());
    keStopEngine();
    ASSERT_EQ(keStartEngine(EngineSetup()), 0);
    EXPECT_TRUE(shown().empty());
}

}  // namespace
