// The ParticleFx emitters of scene slots: each group under "FxEmitters" becomes an fx emitter
// (a box, sphere, mesh, particle-fed or static-mesh one) through the emitter operations of the
// object API, configured from its "ParticleFx" and "HyperVoxel" groups at load and driven by
// their channels at every animation step.
//
// The operations go through one table of function pointers, as the rest of the loader's calls
// do, so that tests see them without an engine. Units as in the object API: degrees, 0xRRGGBB,
// seconds for life times.
#pragma once

#include "api/KeFxEmitterApi.h"

#include <cstdint>

struct KF_Node;

namespace kolm {

struct KeSceneEmitterCalls {
    int (*makeBox)(int id, const char* image, float sx, float sy, float sz);
    int (*makeSphere)(int id, const char* image, float sx, float sy, float sz);
    int (*makeMeshVertices)(int id, const char* image, int objectId);
    int (*makeMeshNormal)(int id, const char* image, int objectId);
    int (*makeMeshSurface)(int id, const char* image, int objectId);
    int (*makeParticles)(int id, const char* image, int parentId);
    int (*makeDyingParticles)(int id, const char* image, int parentId);
    int (*makeMeshStatic)(int id, const char* image, int objectId);
    bool (*exist)(int id);
    int (*show)(int id);
    int (*hide)(int id);
    int (*remove)(int id);
    int (*position)(int id, float x, float y, float z);
    int (*rotate)(int id, float x, float y, float z);  // degrees
    int (*lockOn)(int id);
    int (*setVelocity)(int id, float x, float y, float z);
    int (*setGravity)(int id, float x, float y, float z);
    int (*setParentMotion)(int id, float value);
    int (*setBirthRate)(int id, float value);
    int (*setLifeTime)(int id, float seconds, float variation);
    int (*setExplosion)(int id, float value);
    int (*setWeight)(int id, float value);
    int (*setResistance)(int id, float value);
    int (*setVibration)(int id, float value);
    int (*setRandomVelocity)(int id, float value);
    int (*setCurlNoisePower)(int id, float value);
    int (*setCurlNoiseFrequency)(int id, float value);
    int (*setParticleLimit)(int id, int total);
    int (*setParticleSize)(int id, float size);
    int (*setBlendMode)(int id, int mode);
    int (*setUseImageColor)(int id);
    int (*setColor)(int id, uint32_t colour);
    int (*setRotation)(int id, float value);
    int (*setSizeGradient)(int id, int count, const float* keys);
    int (*setColorGradient)(int id, int count, const float* keys);
    int (*setParent)(int id, int parentId);
    int (*setHyperVoxel)(int id, int on);
    int (*setDefaultEffect)(int id);
    int (*setEffectParameters)(int id, const char* file, const KeFxEffectParameter* list, int count);
    int (*reset)(int id);
    int (*resetEmittedCount)(int id);
};

// The table that calls the engine's object API; the one in use (the engine's until another is
// installed; null restores it). The table must outlive its use.
const KeSceneEmitterCalls& keSceneEngineEmitterCalls();
void keSceneSetEmitterCalls(const KeSceneEmitterCalls* calls);
const KeSceneEmitterCalls& keSceneEmitterCalls();

// Creates and configures the emitters of slot `slot` from the scene group `scene`, IDs from
// `emitterBase` on; mesh emitters find their object by name among `objectNames` (the slot's
// objects in order, IDs from objectBase). Emitters of an extra scene are locked to the camera.
// `reporting` adds the "cannot be created" reports. Showing and hiding is the caller's.
void keSceneEmittersLoad(int slot, KF_Node* scene, int emitterBase, int objectBase, const char* const* objectNames,
                         int objectCount, bool extra, bool reporting);
// After a reload into the new document `scene` (the old one still loaded): a changed number of
// emitters makes them all again; otherwise an emitter whose type, nozzle, image, name, generator
// size or effect file changed is made again (and the parents set again), one whose look or
// limit changed is configured again; every one's emitted count starts again.
void keSceneEmittersReload(int slot, KF_Node* scene, int objectBase, const char* const* objectNames, int objectCount,
                           bool extra, bool reporting);
// Every emitter's channels at sample position `sample`; a scene time below 1 ms that differs
// from the slot's last animated time resets them all. The emitters of an extra scene ride with
// the camera as its objects do: their positions are taken relative to `origin`, the scene
// camera's position there (null: none is subtracted).
void keSceneEmittersAnimate(int slot, float sample, int timeMs, int lastTimeMs, const float* origin = nullptr);
void keSceneEmittersSetVisible(int slot, bool visible);
// Deletes the slot's emitters.
void keSceneEmittersUnload(int slot);
int keSceneEmittersCount(int slot);

}  // namespace kolm
