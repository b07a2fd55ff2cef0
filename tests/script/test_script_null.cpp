// Script commands on a running engine (the library's null driver: no display needed): Setup's
// defaults, errors raised with the object API's messages and argument indices, objects, lights
// (with their extensions), the camera and its collision, and camera effects read back from the
// engine.
#include "api/KeCameraApi.h"
#include "api/KeCameraEffectApi.h"
#include "api/KeLightApi.h"
#include "api/KeObjectApi.h"
#include "core/KeError.h"
#include "fx/CKeLightSceneNodeExt.h"
#include "runtime/KeEngine.h"
#include "script/KeCommandTable.h"
#include "support/log_capture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace kolm;

namespace {

const std::string kCube = KOLM_SOURCE_DIR "/examples/scripts/cube.x";
const std::string kEffect = KOLM_SOURCE_DIR "/tests/data/api/constants.hlsl";

class ScriptNull : public ::testing::Test {
protected:
    void SetUp() override {
        keSetEngineDriverType(irr::video::EDT_NULL);
        L = luaL_newstate();
        luaL_openlibs(L);
        keScriptOpenCommands(L);
    }
    void TearDown() override {
        run("ke.Term()");
        lua_close(L);
        keSetEngineDriverType(irr::video::EDT_OPENGL);
    }
    std::string run(const std::string& code) {
        if (luaL_loadbuffer(L, code.data(), code.size(), "=t") != LUA_OK || lua_pcall(L, 0, 0, 0) != LUA_OK) {
            std::string message = lua_tostring(L, -1) ? lua_tostring(L, -1) : "(no message)";
            lua_pop(L, 1);
            return message;
        }
        return "";
    }
    lua_State* L = nullptr;
    kolmtest::LogCapture log;
};

TEST_F(ScriptNull, SetupOpensTheScreenWithTheScriptDefaults) {
    ASSERT_EQ(run("ke.Setup(800, 600); assert(ke.IsSetup())"), "");
    const EngineContext& c = keEngineContext();
    EXPECT_EQ(c.screenWidth, 800);
    EXPECT_EQ(c.screenHeight, 600);
    EXPECT_EQ(c.bpp, 32);
    ASSERT_NE(c.camera, nullptr);
    EXPECT_FLOAT_EQ(c.camera->getNearValue(), 0.1f);
    EXPECT_FLOAT_EQ(c.camera->getFarValue(), 1000.0f);
    c.camera->OnAnimate(c.device->getTimer()->getTime());
    EXPECT_EQ(c.camera->getPosition(), irr::core::vector3df(0, 0, -5));
    irr::scene::ILightSceneNode* light = keLightGet(0);
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->getLightType(), irr::video::ELT_DIRECTIONAL);
    EXPECT_EQ(light->getRotation(), irr::core::vector3df(0, 0, 0));
    const irr::video::SColorf ambient = c.sceneManager->getAmbientLight();
    EXPECT_FLOAT_EQ(ambient.r, 5 / 255.0f);
    EXPECT_FLOAT_EQ(ambient.g, 5 / 255.0f);
    EXPECT_FLOAT_EQ(ambient.b, 5 / 255.0f);
    EXPECT_FLOAT_EQ(ambient.a, 1.0f);
    EXPECT_EQ(keGetBackdropColor(), 0x001122u);

    // Setup again starts anew: light 0 is made again, not "already exist".
    EXPECT_EQ(run("ke.Setup(); assert(ke.LightExist(0))"), "");
    EXPECT_EQ(keEngineContext().screenWidth, 640);
    EXPECT_EQ(run("ke.Term(); assert(not ke.IsSetup())"), "");
}

TEST_F(ScriptNull, ErrorsCarryTheObjectApisMessageAndIndex) {
    ASSERT_EQ(run("ke.Setup()"), "");
    const struct {
        const char* code;
        const char* message;
    } cases[] = {
        {"ke.PositionObject(7, 1, 2, 3)", "t:1: bad argument #1 to 'PositionObject' (Object ID 7 does not exist. )"},
        {"ke.ShowLight(1000)",
         "t:1: bad argument #1 to 'ShowLight' (Light ID 1000 does not exist. invalid ID 1000 greater or equals than "
         "1000)"},
        {"ke.MakeLight(0)", "t:1: bad argument #1 to 'MakeLight' (invalid Light ID 0 : id 0 already exist)"},
        {"ke.LoadObject('no-such-file.x', -1)",
         "t:1: bad argument #2 to 'LoadObject' (invalid Object ID -1 : invalid negative ID -1)"},
        {"ke.CloneObject(2, 9)", "t:1: bad argument #2 to 'CloneObject' (Object ID 9 does not exist)"},
        {"ke.SetFxEmitterSizeGradient(1)",
         "t:1: bad argument #-1 to 'SetFxEmitterSizeGradient' (the function is not implemented)"},
        {"ke.PasteImage(1000, 0, 0)",
         "t:1: bad argument #1 to 'PasteImage' (Image ID 1000 does not exist. invalid ID 1000 greater or equals than "
         "1000)"},
        {"ke.SetLightRotationXYZ('x')", "t:1: bad argument #1 to 'SetLightRotationXYZ' (number expected, got string)"},
        {"ke.SetObjectMorph(1, {1, 2}, {0.5})",
         "t:1: bad argument #3 to 'SetObjectMorph' (the number of morphs(2) is not equals to the number of weights(1))"},
        {"ke.SetObjectMorph(1, 5, {})", "t:1: bad argument #2 to 'SetObjectMorph' (table expected, got number)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run(c.code), c.message) << c.code;
        EXPECT_EQ(takeLastError(nullptr), nullptr) << c.code << ": the next command must start clean";
    }
    // pcall catches; the next command runs clean.
    EXPECT_EQ(run("local ok, e = pcall(ke.PositionObject, 7, 0, 0, 0); assert(not ok and e:find('Object ID 7', 1, true));"
                  "ke.PositionCamera(1, 2, 3); ke.SetCameraRotationXYZ('any', {}, 3)"),
              "");
    EXPECT_FALSE(keObjectExist(2));  // a failed clone leaves its ID free
}

TEST_F(ScriptNull, ObjectsLightsAndCamera) {
    ASSERT_EQ(run("ke.Setup(800, 600)"), "");
    ASSERT_EQ(run("ke.LoadObject('" + kCube + "', 1); assert(ke.ObjectExist(1) and ke.ObjectVisible(1))"), "");
    irr::scene::ISceneNode* first = keObjectGet(1);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(run("ke.ScaleObject(1, 200, 100, 50); ke.PositionObject(1, 1, 2, 3); ke.RotateObject(1, 0, 90, 0)"), "");
    EXPECT_EQ(first->getScale(), irr::core::vector3df(2, 1, 0.5f));
    EXPECT_EQ(first->getPosition(), irr::core::vector3df(1, 2, 3));
    EXPECT_EQ(run("assert(math.abs(ke.GetObjectRadius(1) - math.sqrt(3)) < 1e-5)"), "");
    EXPECT_EQ(run("assert(ke.TotalObjectFrames(1) == 1 and ke.GetObjectMorphCount(1) == 0)"), "");
    EXPECT_EQ(run("ke.HideObject(1); assert(not ke.ObjectVisible(1)); ke.ShowObject(1)"), "");
    // Loading onto a registered ID replaces the object: the old node leaves the scene.
    first->grab();
    EXPECT_EQ(run("ke.LoadObject('" + kCube + "', 1)"), "");
    EXPECT_NE(keObjectGet(1), nullptr);
    EXPECT_EQ(first->getParent(), nullptr);
    first->drop();
    // A clone of an object locked off out of the scene graph, then both deleted (clean under ASan).
    EXPECT_EQ(run("ke.LockObjectOff(1); ke.CloneObject(2, 1); ke.LockObjectOn(2); ke.DeleteObject(1);"
                  "ke.DeleteObject(2); ke.DeleteObject(2); ke.DeleteObject(5000);"
                  "assert(not ke.ObjectExist(1) and not ke.ObjectExist(-3) and not ke.ObjectExist(1000))"),
              "");
    const std::string missing = "t:1: bad argument #1 to 'LoadObject' (Failed to load mesh '";
    EXPECT_EQ(run("ke.LoadObject('no-such-file.x', 3)").compare(0, missing.size(), missing), 0);
    EXPECT_FALSE(keObjectExist(3));

    // Lights.
    EXPECT_EQ(run("ke.MakeLight(4); ke.SetSpotLight(4, 10, 30); ke.SetLightRange(4, 50); ke.ColorLight(4, 0x80804020);"
                  "ke.HideLight(4); assert(ke.LightExist(4) and not ke.LightVisible(4)); ke.SetLightShadow(4, true)"),
              "");
    irr::scene::ILightSceneNode* spot = keLightGet(4);
    ASSERT_NE(spot, nullptr);
    EXPECT_EQ(spot->getLightType(), irr::video::ELT_SPOT);
    EXPECT_FLOAT_EQ(spot->getLightData().InnerCone, 10);
    EXPECT_FLOAT_EQ(spot->getLightData().OuterCone, 30);
    EXPECT_FLOAT_EQ(spot->getRadius(), 50);
    EXPECT_FLOAT_EQ(spot->getLightData().DiffuseColor.r, 128 / 255.0f);
    EXPECT_FLOAT_EQ(spot->getLightData().DiffuseColor.b, 32 / 255.0f);
    EXPECT_FLOAT_EQ(spot->getLightData().DiffuseColor.a, 128 / 255.0f);
    EXPECT_TRUE(spot->getCastShadow());
    EXPECT_EQ(run("ke.SetPointLight(4, 1, 2, 3); ke.DeleteLight(4); ke.DeleteLight(4); assert(not ke.LightExist(4))"), "");

    // Camera.
    irr::scene::ICameraSceneNode* camera = keEngineContext().camera;
    EXPECT_EQ(run("ke.SetCameraFOV(90)"), "");
    EXPECT_NEAR(camera->getFOV(), 2 * std::atan(0.75), 1e-6);
    EXPECT_EQ(run("ke.SetCameraRange(5, 5)"), "");
    EXPECT_FLOAT_EQ(camera->getNearValue(), 0.1f);
    EXPECT_FLOAT_EQ(camera->getFarValue(), 1000.0f);
    EXPECT_EQ(run("ke.SetCameraMoveSpeed(0.5); ke.SetCameraJumpSpeed(2); ke.SetCameraMode(0); ke.RotateCamera(0, 90, 0)"),
              "");
    EXPECT_EQ(run("ke.ColorBackdrop(0xFF123456)"), "");
    EXPECT_EQ(keGetBackdropColor(), 0x123456u);
    EXPECT_EQ(run("assert(ke.Timer() >= 0); ke.Sleep(1); ke.Sync(); assert(ke.Run())"), "");
}

TEST_F(ScriptNull, LightColourIsColourTimesIntensity) {
    ASSERT_EQ(run("ke.Setup(); ke.MakeLight(1); ke.ColorLight(1, 0x804020); ke.SetLightIntensity(1, 2)"), "");
    irr::scene::ILightSceneNode* light = keLightGet(1);
    ASSERT_NE(light, nullptr);
    IKeLightSceneNodeExt* ext = keFindLightExt(light);
    ASSERT_NE(ext, nullptr);
    const irr::video::SColorf& diffuse = light->getLightData().DiffuseColor;
    EXPECT_NEAR(diffuse.r, 2 * 128 / 255.0, 1e-6);
    EXPECT_NEAR(diffuse.g, 2 * 64 / 255.0, 1e-6);
    EXPECT_NEAR(diffuse.b, 2 * 32 / 255.0, 1e-6);
    EXPECT_FLOAT_EQ(diffuse.a, 1.0f);
    EXPECT_FLOAT_EQ(ext->getParams().intensity, 2.0f);

    // The raw colour keeps the intensity; ColorLight goes back to intensity 1 with the alpha.
    ASSERT_EQ(run("ke.SetLightRawColor(1, 0.5, 1.5, 0)"), "");
    EXPECT_FLOAT_EQ(diffuse.r, 1.0f);
    EXPECT_FLOAT_EQ(diffuse.g, 3.0f);
    EXPECT_FLOAT_EQ(diffuse.b, 0.0f);
    EXPECT_FLOAT_EQ(ext->getParams().colour[1], 1.5f);
    ASSERT_EQ(run("ke.ColorLight(1, 0x80FF0000)"), "");
    EXPECT_FLOAT_EQ(ext->getParams().intensity, 1.0f);
    EXPECT_FLOAT_EQ(diffuse.r, 1.0f);
    EXPECT_FLOAT_EQ(diffuse.g, 0.0f);
    EXPECT_FLOAT_EQ(diffuse.a, 128 / 255.0f);
    EXPECT_FLOAT_EQ(ext->getParams().colour[3], 128 / 255.0f);

    ASSERT_EQ(run("ke.ColorLightShadow(1, 0xFF336699); ke.SetShadowMapSize(1, 1024); ke.SetShadowMapFuzz(1, 0.25)"), "");
    const KeLightParams& p = ext->getParams();
    EXPECT_FLOAT_EQ(p.shadowColour[0], 0x33 / 255.0f);
    EXPECT_FLOAT_EQ(p.shadowColour[1], 0x66 / 255.0f);
    EXPECT_FLOAT_EQ(p.shadowColour[2], 0x99 / 255.0f);
    EXPECT_FLOAT_EQ(p.shadowColour[3], 1.0f);
    EXPECT_EQ(p.shadowMapSize, 1024);
    EXPECT_FLOAT_EQ(p.shadowMapFuzz, 0.25f);

    for (const char* code : {"ke.SetLightIntensity(7, 1)", "ke.SetLightRawColor(7, 1, 1, 1)", "ke.ColorLightShadow(7, 0)",
                             "ke.SetShadowMapSize(7, 256)", "ke.SetShadowMapFuzz(7, 1)"}) {
        const std::string error = run(code);
        EXPECT_NE(error.find("bad argument #1 to '"), std::string::npos) << code << ": " << error;
        EXPECT_NE(error.find("(Light ID 7 does not exist. "), std::string::npos) << code << ": " << error;
    }
}

TEST_F(ScriptNull, ObjectCollisionAndTheCameraResponse) {
    ASSERT_EQ(run("ke.Setup(); ke.LoadObject('" + kCube + "', 1); ke.LoadObject('" + kCube + "', 2)"), "");
    EXPECT_EQ(keCameraCollisionWorld(false), nullptr);  // made on first use
    // On and Off both add the object, once.
    ASSERT_EQ(run("ke.SetObjectCollisionOff(1); ke.SetObjectCollisionOn(1); ke.SetObjectCollisionOn(2)"), "");
    irr::scene::IMetaTriangleSelector* world = keCameraCollisionWorld(false);
    ASSERT_NE(world, nullptr);
    EXPECT_EQ(world->getSelectorCount(), 2u);
    EXPECT_NE(keObjectGet(1)->getTriangleSelector(), nullptr);
    const std::string missing = "t:1: bad argument #1 to 'SetObjectCollisionOn' (Object ID 9 does not exist. ";
    EXPECT_EQ(run("ke.SetObjectCollisionOn(9)").compare(0, missing.size(), missing), 0);

    irr::scene::ICameraSceneNode* camera = keEngineContext().camera;
    auto responses = [camera]() {
        std::vector<irr::scene::ISceneNodeAnimatorCollisionResponse*> found;
        for (irr::scene::ISceneNodeAnimator* a : camera->getAnimators())
            if (a->getType() == irr::scene::ESNAT_COLLISION_RESPONSE)
                found.push_back(static_cast<irr::scene::ISceneNodeAnimatorCollisionResponse*>(a));
        return found;
    };
    ASSERT_EQ(run("ke.AutomaticCameraCollisionOn(5, 9, 1); ke.AutomaticCameraCollisionOn(2, 10, 3)"), "");
    ASSERT_EQ(responses().size(), 1u);  // replaced, not added
    irr::scene::ISceneNodeAnimatorCollisionResponse* response = responses()[0];
    EXPECT_EQ(response->getEllipsoidRadius(), irr::core::vector3df(2, 2, 2));
    EXPECT_EQ(response->getGravity(), irr::core::vector3df(0, -10, 0));
    EXPECT_EQ(response->getEllipsoidTranslation(), irr::core::vector3df(0, 3, 0));
    EXPECT_EQ(response->getWorld(), world);
    EXPECT_EQ(run("ke.PositionCamera(0, 0, -5); ke.Sync(); ke.Sync()"), "");

    // Deleting an object takes it out of the world.
    ASSERT_EQ(run("ke.DeleteObject(1)"), "");
    EXPECT_EQ(world->getSelectorCount(), 1u);
    ASSERT_EQ(run("ke.AutomaticCameraCollisionOff(); ke.AutomaticCameraCollisionOff()"), "");
    EXPECT_TRUE(responses().empty());
}

TEST_F(ScriptNull, CameraEffectsLeaveTheShownListAndTermFreesThem) {
    ASSERT_EQ(run("ke.Setup(); ke.LoadEffect('" + kEffect + "', 1); ke.MakeCameraEffect(2, 1)"), "");
    ASSERT_EQ(run("ke.ShowCameraEffect(2); ke.ShowCameraEffect(2); ke.HideCameraEffect(2)"), "");
    EXPECT_EQ(keShownCameraEffectCount(), 1);
    ASSERT_EQ(run("ke.DeleteCameraEffect(2)"), "");
    EXPECT_EQ(keShownCameraEffectCount(), 0);
    // A new camera effect under the same ID is not shown until it is shown.
    ASSERT_EQ(run("ke.MakeCameraEffect(2, 1); ke.Sync()"), "");
    EXPECT_EQ(keShownCameraEffectCount(), 0);
    ASSERT_EQ(run("ke.ShowCameraEffect(2); ke.MakeCameraEffectFromFile(3, '" + kEffect + "'); ke.ShowCameraEffect(3)"),
              "");
    EXPECT_EQ(keShownCameraEffectCount(), 2);
    // Term frees camera effects and effects before the engine stops (ASan: no leak).
    ASSERT_EQ(run("ke.Term()"), "");
    EXPECT_EQ(keShownCameraEffectCount(), 0);
    EXPECT_FALSE(keCameraEffectExist(2));
}

}  // namespace
