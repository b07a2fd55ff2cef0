#include "scene/KeSceneCalls.h"

#include "api/KeCameraApi.h"
#include "api/KeCameraEffectApi.h"
#include "api/KeCubeMapApi.h"
#include "api/KeLightApi.h"
#include "api/KeObjectApi.h"
#include "api/KeSurfaceApi.h"
#include "runtime/KeEngine.h"

namespace kolm {

namespace {

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
};

const KeSceneCalls* g_calls = &g_engineCalls;

}  // namespace

const KeSceneCalls& keSceneEngineCalls() { return g_engineCalls; }

void keSceneSetCalls(const KeSceneCalls* calls) { g_calls = calls ? calls : &g_engineCalls; }

const KeSceneCalls& keSceneCalls() { return *g_calls; }

}  // namespace kolm
