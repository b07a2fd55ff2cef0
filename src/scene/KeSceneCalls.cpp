#include "scene/KeSceneCalls.h"

#include <irrlicht.h>


#include "api/KeCameraApi.h"
#include "api/KeCameraEffectApi.h"
#include "api/KeCubeMapApi.h"
#include "api/KeLightApi.h"
#include "api/KeObjectApi.h"
#include "api/KeSurfaceApi.h"
#include "engine/IKeCubeMap.h"
#include "engine/IKeManager.h"
#include "engine/IKeSceneManager.h"
#include "engine/IKeTextureManager.h"
#include "core/KeError.h"
#include "files/KeFileSystem.h"
#include "fx/IKeEffect.h"
#include "fx/CKeLightSceneNodeExt.h"
#include "fx/IKeSceneNodeExt.h"
#include "runtime/KeEngine.h"
#include "scene/KeScene.h"
#include "scene/KeSceneSurfaceFx.h"

namespace kolm {

namespace {

void engineSetSceneTime(int ms) {
    IKeManager* manager = keEngineManager();
    if (manager && manager->getSceneManager()) manager->getSceneManager()->setSceneTime(irr::u32(ms < 0 ? 0 : ms));
}

KeLightParams* lightParams(int id) {
    IKeLightSceneNodeExt* ext = keFindLightExt(keLightGet(id));
    return ext ? &ext->getParams() : nullptr;
}
int engineSetLightVolumetricValues(int id, float density, float base) {
    KeLightParams* p = lightParams(id);
    if (!p) return -1;
    p->volumetricDensity = density;
    p->volumetricBase = base;
    return 0;
}
int engineSetLightVolumetricOn(int id, bool on) {
    KeLightParams* p = lightParams(id);
    if (!p) return -1;
    p->volumetric = on;
    return 0;
}
int engineSetLightVolumetricClamp(int id, bool on, float max) {
    KeLightParams* p = lightParams(id);
    if (!p) return -1;
    p->volumetricClamp = on;
    p->volumetricClampMax = max;
    return 0;
}
int engineSetObjectCubeMap(int id, int cubeMapId, bool boxed, float px, float py, float pz, float sx, float sy,
                           float sz) {
    IKeSceneNodeExt* ext = keFindNodeExt(keObjectGet(id));
    if (!ext) return -1;
    IKeCubeMap* cube = cubeMapId < 0 ? nullptr : keCubeMapGet(cubeMapId);
    ext->setCubeMapTexture(cube ? cube->getTexture() : nullptr);
    ext->setCubeMapBoxed(boxed);
    if (boxed) ext->setCubeMapBox(irr::core::vector3df(px, py, pz), irr::core::vector3df(sx, sy, sz));
    return 0;
}

// Textures first (first-time form), then values, as effect parameter lists are applied
// everywhere; messages only in first-time form, so that a list the effect does not fit is
// reported once at load and not on every frame.
int engineSetCameraEffectParameters(int id, const char* file, const KeSceneParameter* list, int count,
                                    bool firstTime) {
    IKeEffect* effect = keCameraEffectGet(id);
    if (!effect) return -1;
    if (!file) file = "";
    int result = 0;
    if (firstTime && !keSceneApplyEffectTextures(effect, file, list, count)) {
        recordError(2, "Camera Effect ID %d: failed to set textures of shader '%s'", id, file);
        result = -1;
    }
    if (!keSceneApplyEffectValues(effect, file, list, count, firstTime)) {
        if (firstTime) recordError(2, "Camera Effect ID %d: failed to set parameters of shader '%s'", id, file);
        result = -1;
    }
    return result;
}

int engineSetObjectCastShadows(int id, bool on) {
    IKeSceneNodeExt* ext = keFindNodeExt(keObjectGet(id));
    if (!ext) return -1;
    ext->setCastShadows(on);
    return 0;
}

// The projection image through the data-file search; a file that cannot be loaded leaves the
// light without one.
int engineSetLightProjImage(int id, const char* file) {
    KeLightParams* p = lightParams(id);
    if (!p) return -1;
    p->projectionImage = nullptr;
    if (!file || !*file) return 0;
    IKeManager* manager = keEngineManager();
    IKeTextureManager* textures = manager ? manager->getTextureManager() : nullptr;
    p->projectionImage = textures ? textures->getTexture(keFindFile(file), true) : nullptr;
    if (p->projectionImage) return 0;
    printMessage(KE_ERROR, "Light ID %d: projection image '%s' not found", id, file);
    return -1;
}
int engineSetLightVolumetricSettings(int id, int mode, bool hasColour, float r, float g, float b) {
    KeLightParams* p = lightParams(id);
    if (!p) return -1;
    p->volumetricMode = mode;
    p->volumetricHasColour = hasColour;
    const float colour[4] = {hasColour ? r : 1.0f, hasColour ? g : 1.0f, hasColour ? b : 1.0f, 1.0f};
    for (int i = 0; i < 4; ++i) p->volumetricColour[i] = colour[i];
    return 0;
}

const KeSceneCalls g_engineCalls = {
    keLoadObject,
    keCloneObject,
    keInstanceObject,
    keObjectExist,
    keDeleteObject,
    keShowObject,
    keHideObject,
    keLockObjectOn,
    kePositionObject,
    keRotateObject,
    keScaleObject,
    keTotalObjectFrames,
    keSetObjectFrame,
    keGetObjectMorphCount,
    keSetObjectMorph,
    keMakeLight,
    keSetDirectionalLight,
    keSetSpotLight,
    keSetPointLight,
    keLightExist,
    keSetLightRange,
    keColorLight,
    keSetLightRawColor,
    keSetLightIntensity,
    keSetLightShadow,
    keColorLightShadow,
    keSetShadowMapSize,
    keSetShadowMapFuzz,
    keShowLight,
    keHideLight,
    keDeleteLight,
    kePositionLight,
    keRotateLight,
    keColorBackdrop,
    kePositionCamera,
    keRotateCamera,
    keSetCameraFOV,
    keColorAmbientLight,
    keSetCameraRange,
    keMakeCubeMap,
    keCubeMapExist,
    keDeleteCubeMap,
    keMakeCameraEffectFromFile,
    keCameraEffectExist,
    keShowCameraEffect,
    keHideCameraEffect,
    keDeleteCameraEffect,
    keSetObjectSurfaceParamTex,
    keSetObjectSurfaceParamInt,
    keSetObjectSurfaceParamFloat,
    keSetObjectSurfaceParamFloat3,
    keUpdateObjectFromSurfaces,
    engineSetSceneTime,
    keSetGlow,
    keSetStreakEnable,
    keSetStreakValues,
    keSetBloomEnable,
    keSetBloomValues,
    keSetSSAOEnable,
    keSetSSAOValues,
    keSetShadowEnable,
    keSetShadowEpsilon,
    keSetCameraDOF,
    keSetCameraAdvancedDOF,
    keSetCameraStereo,
    engineSetLightVolumetricValues,
    engineSetLightVolumetricOn,
    engineSetLightVolumetricClamp,
    engineSetObjectCubeMap,
    keClearCubeMap,
    keRenderCubeMap,
    keRenderDummy,
    engineSetCameraEffectParameters,
    keSceneChooseSurfaceEffect,
    keSceneSetSurfaceEffectParameters,
    engineSetObjectCastShadows,
    engineSetLightProjImage,
    engineSetLightVolumetricSettings,
    keSceneSetSurfaceImage,
};

const KeSceneCalls* g_calls = &g_engineCalls;

}  // namespace

const KeSceneCalls& keSceneEngineCalls() { return g_engineCalls; }

const KeSceneRenderSettings& keSceneRenderSettings() { return keRenderSettings(); }

void keSceneSetCalls(const KeSceneCalls* calls) { g_calls = calls ? calls : &g_engineCalls; }

const KeSceneCalls& keSceneCalls() { return *g_calls; }

}  // namespace kolm
