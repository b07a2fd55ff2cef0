// The object API as the scene loader sees it: one table of function pointers through which the
// loader makes and removes everything of a scene. The engine's table calls the object API;
// tests put a recording table in its place to see the calls without an engine.
//
// Units as in the object API: angles in degrees, scales in percent, colours 0xRRGGBB.
#pragma once

#include <cstdint>

namespace kolm {

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
};

// The table that calls the engine's object API.
const KeSceneCalls& keSceneEngineCalls();

// The table the loader uses; the engine's table until another is installed. Null restores the
// engine's table. The table must outlive its use.
void keSceneSetCalls(const KeSceneCalls* calls);
const KeSceneCalls& keSceneCalls();

}  // namespace kolm
