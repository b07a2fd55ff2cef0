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

KeSceneRenderSettings g_renderSettings;

void engineSetSceneTime(int ms) {
    IKeManager* manager = keEngineManager();
    if (manager && manager->getSceneManager()) manager->getSceneManager()->setSceneTime(irr::u32(ms < 0 ? 0 : ms));
}
void engineSetGlow(int on, float intensity, float radius) {
    g_renderSettings.glowEnabled = on;
    g_renderSettings.glowIntensity = intensity;
    g_renderSettings.glowRadius = radius;
}
void engineSetStreakEnable(int on) { g_renderSettings.streakEnabled = on; }
void engineSetStreakValues(const float* values) {
    for (int i = 0; i < KE_SCENE_STREAK_VALUES; ++i) g_renderSettings.streak[i] = values[i];
}
void engineSetBloomEnable(int on) { g_renderSettings.bloomEnabled = on; }
void engineSetBloomValues(float specularMin, float compose) {
    g_renderSettings.bloomSpecularMin = specularMin;
    g_renderSettings.bloomCompose = compose;
}
void engineSetSSAOEnable(int on) { g_renderSettings.ssaoEnabled = on; }
void engineSetSSAOValues(float reach, float decline, float epsilon, float multiplier) {
    g_renderSettings.ssaoDistanceReach = reach;
    g_renderSettings.ssaoMaxDepthDecline = decline;
    g_renderSettings.ssaoDepthAliasingEpsilon = epsilon;
    g_renderSettings.ssaoOutputMultiplier = multiplier;
}
void engineSetShadowEnable(int on) { g_renderSettings.shadowEnabled = on; }
void engineSetShadowEpsilon(float epsilon) { g_renderSettings.shadowEpsilon = epsilon; }
int engineSetCameraDOF(int enabled, float focalDistance, float fStop) {
    g_renderSettings.dofEnabled = enabled;
    g_renderSettings.focalDistance = focalDistance;
    g_renderSettings.fStop = fStop;
    return 0;
}
int engineSetCameraAdvancedDOF(int advanced, float rangeMin, float rangeMax, float rangeFocused, float radiusScale) {
    g_renderSettings.dofAdvanced = advanced;
    g_renderSettings.dofFocalRangeMin = rangeMin;
    g_renderSettings.dofFocalRangeMax = rangeMax;
    g_renderSettings.dofFocalRangeFocused = rangeFocused;
    g_renderSettings.dofRadiusScale = radiusScale;
    return 0;
}
int engineSetCameraStereo(int mode, float separation, int useConvergence, float convergence) {
    g_renderSettings.stereoMode = mode;
    g_renderSettings.stereoSeparation = separation;
    g_renderSettings.stereoUseConvergence = useConvergence;
    g_renderSettings.stereoConvergence = convergence;
    return 0;
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
    engineSetGlow,
    engineSetStreakEnable,
    engineSetStreakValues,
    engineSetBloomEnable,
    engineSetBloomValues,
    engineSetSSAOEnable,
    engineSetSSAOValues,
    engineSetShadowEnable,
    engineSetShadowEpsilon,
    engineSetCameraDOF,
    engineSetCameraAdvancedDOF,
    engineSetCameraStereo,
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

const KeSceneRenderSettings& keSceneRenderSettings() { return g_renderSettings; }

void keSceneSetCalls(const KeSceneCalls* calls) { g_calls = calls ? calls : &g_engineCalls; }

const KeSceneCalls& keSceneCalls() { return *g_calls; }

}  // namespace kolm
