// The object API as the scene loader sees it: one table of function pointers through which the
// loader makes and removes everything of a scene. The engine's table calls the object API;
// tests put a recording table in its place to see the calls without an engine.
//
// Units as in the object API: angles in degrees, scales in percent, colours 0xRRGGBB.
#pragma once

#include "api/KeCameraApi.h"

#include <cstdint>

namespace kolm {

struct KeSceneParameter;

struct KeSceneCalls {
    // Objects.
    int (*loadObject)(const char* file, int id);
    int (*cloneObject)(int newId, int sourceId);
    int (*instanceObject)(int newId, int sourceId);
    bool (*objectExist)(int id);
    int (*deleteObject)(int id);
    int (*showObject)(int id);
    int (*hideObject)(int id);
    int (*lockObjectOn)(int id);
    int (*positionObject)(int id, float x, float y, float z);
    int (*rotateObject)(int id, float x, float y, float z);
    int (*scaleObject)(int id, float x, float y, float z);
    int (*totalObjectFrames)(int id);
    int (*setObjectFrame)(int id, float frame);
    int (*getObjectMorphCount)(int id);
    int (*setObjectMorph)(int id, int count, const int* indices, const float* weights);  // 1-based
    // Lights.
    int (*makeLight)(int id);
    int (*setDirectionalLight)(int id, float x, float y, float z);
    int (*setSpotLight)(int id, float inner, float outer);  // degrees
    int (*setPointLight)(int id, float x, float y, float z);
    bool (*lightExist)(int id);
    int (*setLightRange)(int id, float range);
    int (*colorLight)(int id, uint32_t colour);
    int (*setLightRawColor)(int id, float r, float g, float b);
    int (*setLightIntensity)(int id, float intensity);
    int (*setLightShadow)(int id, bool on);
    int (*colorLightShadow)(int id, uint32_t colour);
    int (*setShadowMapSize)(int id, int size);
    int (*setShadowMapFuzz)(int id, float fuzz);
    int (*showLight)(int id);
    int (*hideLight)(int id);
    int (*deleteLight)(int id);
    int (*positionLight)(int id, float x, float y, float z);
    int (*rotateLight)(int id, float x, float y, float z);  // degrees
    int (*colorBackdrop)(uint32_t colour);
    // The camera and the scene's ambient light.
    int (*positionCamera)(float x, float y, float z);
    int (*rotateCamera)(float x, float y, float z);  // degrees
    int (*setCameraFOV)(float degrees);              // horizontal
    int (*colorAmbientLight)(uint32_t colour);
    void (*setCameraRange)(float nearPlane, float farPlane);
    // Cube maps.
    int (*makeCubeMap)(int id, int size);
    bool (*cubeMapExist)(int id);
    int (*deleteCubeMap)(int id);
    // Camera effects.
    int (*makeCameraEffectFromFile)(int id, const char* file);
    bool (*cameraEffectExist)(int id);
    int (*showCameraEffect)(int id);
    int (*hideCameraEffect)(int id);
    int (*deleteCameraEffect)(int id);
    // Object surfaces: the LightWave surface of row `surface` of an object, parameters by index
    // 0 .. 38; -1 when the object or the row is not there.
    int (*setObjectSurfaceParamTex)(int id, int surface, int parameter, const char* file);
    int (*setObjectSurfaceParamInt)(int id, int surface, int parameter, int value);
    int (*setObjectSurfaceParamFloat)(int id, int surface, int parameter, float value);
    int (*setObjectSurfaceParamFloat3)(int id, int surface, int parameter, float x, float y, float z);
    int (*updateObjectFromSurfaces)(int id);

    // Scene animation and cube-map rendering.
    void (*setSceneTime)(int ms);  // the time effects read as "TimeScene"
    // Render settings: switches 0 or 1; values as the document stores them.
    void (*setGlow)(int on, float intensity, float radius);
    void (*setStreakEnable)(int on);
    // Glow minimum, colour key (3), colour key match, colorize (3), attenuation, angle, compose.
    void (*setStreakValues)(const float* values);  // KE_SCENE_STREAK_VALUES
    void (*setBloomEnable)(int on);
    void (*setBloomValues)(float specularMin, float compose);
    void (*setSSAOEnable)(int on);
    void (*setSSAOValues)(float distanceReach, float maxDepthDecline, float depthAliasingEpsilon,
                          float outputMultiplier);
    void (*setShadowEnable)(int on);
    void (*setShadowEpsilon)(float epsilon);
    int (*setCameraDOF)(int enabled, float focalDistance, float fStop);
    int (*setCameraAdvancedDOF)(int advanced, float rangeMin, float rangeMax, float rangeFocused,
                                float radiusScale);
    int (*setCameraStereo)(int mode, float separation, int useConvergence, float convergence);
    // The volumetric part of a light: density and base every frame; switched off and clamped
    // while cube maps render.
    int (*setLightVolumetricValues)(int id, float density, float base);
    int (*setLightVolumetricOn)(int id, bool on);
    int (*setLightVolumetricClamp)(int id, bool on, float max);
    // The cube map an object reflects (its ID; -1 none), with its box when `boxed`.
    int (*setObjectCubeMap)(int id, int cubeMapId, bool boxed, float px, float py, float pz, float sx,
                            float sy, float sz);
    int (*clearCubeMap)(int id);
    int (*renderCubeMap)(int id, float x, float y, float z);
    int (*renderDummy)();
    // The evaluated parameter list of a camera effect (its effect file `file` names it in
    // messages): in first-time form (at load) its textures and values, reported when they cannot
    // be set; in update form (every frame) the values the effect has, quietly.
    int (*setCameraEffectParameters)(int id, const char* file, const KeSceneParameter* list, int count,
                                     bool firstTime);
    // First-time form of surface row `surface`, after its parameters: the effect chosen from the
    // surface's compile parameters and the renderer's effect for the material, bound to the row.
    // `file` is the surface's own effect file (null: none, the renderer's file applies). 0 done
    // (also when the row stays without an effect), 1 the row's effect failed (reported; the next
    // row goes on), -1 the object or the row is not there (reported; the later rows are skipped).
    int (*chooseObjectSurfaceEffect)(int id, int surface, const char* file);
    // The evaluated parameter list of the effect bound to surface row `surface` (its effect file
    // `file` names it in messages), in first-time form (textures, then values, reported) or in
    // update form (values, quietly). A row without an effect takes nothing.
    int (*setObjectSurfaceEffectParameters)(int id, int surface, const char* file, const KeSceneParameter* list,
                                            int count, bool firstTime);
    // Whether the object casts shadows (the shadow-map stage draws it).
    int (*setObjectCastShadows)(int id, bool on);
    // A light's projection image file (null or empty: none).
    int (*setLightProjImage)(int id, const char* file);
    // The volumetric part of a light at creation: its mode (quality, Volumetric "flags" word 1)
    // and its colour, 0 to 1 (white when `hasColour` is false).
    int (*setLightVolumetricSettings)(int id, int mode, bool hasColour, float r, float g, float b);
    // First-time form of a surface parameter's image: the texture of `file` (mip-mapped when
    // `mipmaps`; parameter 35, "ReflectionImage", takes a cube texture when the six face files
    // exist) with its colour-space flag (sRGB when `srgb`). A file that cannot be loaded is
    // reported and leaves the parameter without a texture (1); -1 when the object or the row is
    // not there.
    int (*setObjectSurfaceImage)(int id, int surface, int parameter, const char* file, bool mipmaps, bool srgb);
};

constexpr int KE_SCENE_STREAK_VALUES = KE_STREAK_VALUES;

// The render settings the engine's table delivers (scene animation and the camera's depth of
// field and stereo): the object API's record, which the light pre-pass renderer draws with.
using KeSceneRenderSettings = KeRenderSettings;
const KeSceneRenderSettings& keSceneRenderSettings();

// The table that calls the engine's object API.
const KeSceneCalls& keSceneEngineCalls();

// The table the loader uses; the engine's table until another is installed. Null restores the
// engine's table. The table must outlive its use.
void keSceneSetCalls(const KeSceneCalls* calls);
const KeSceneCalls& keSceneCalls();

}  // namespace kolm
