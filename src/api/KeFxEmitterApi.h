// Fx emitter commands of the object API: particle system nodes under IDs of the fx emitter
// table (capacity 1000), placed and shown like objects, their emitter's parameters, the look
// through the HyperVoxel particle surface every such node carries (surface 0 of its node
// extension), and the effect that draws them.
//
// Operations on an existing ID record "FxEmitter ID %d does not exist. %s" [1] when the ID is
// not registered and then do nothing else. Emitters made by keMakeFxEmitterMeshStatic ignore
// the emission setters marked below, without a message. Results: 0, or -1 after a recorded
// message. Colours are 0xRRGGBB; angles degrees; times seconds unless named.
#pragma once

#include <cstdint>

namespace kolm {

class CKeParticleSystemSceneNode;

// What an fx emitter ID holds.
struct KeFxEmitterRecord {
    CKeParticleSystemSceneNode* node = nullptr;  // one reference; the scene graph holds another
    int32_t staticMesh = 0;                       // 1 for keMakeFxEmitterMeshStatic
    char listEffect[260] = {};                    // file of the last parameter list's effect
};

// The particle image used when none is named, and the default particle effect.
extern const char* const kKeDefaultParticleImage;  // "KeDefaultParticle.png"
extern const char* const kKeDefaultParticleEffect;

// Creation. A new emitter emits on the shared particle pool with life 1 s (variation 0.1) and
// birth rate 0: nothing comes out until a birth rate is set. The image (null or "" for the
// default) becomes the particle surface's clip texture. Failures, each leaving the ID free:
// "invalid FxEmitter ID %d : %s" [1], "failed to create FxEmitter node" [-1], "failed to setup
// material image" [2].
int keMakeFxEmitterBox(int id, const char* image, float sx, float sy, float sz);
int keMakeFxEmitterSphere(int id, const char* image, float sx, float sy, float sz);
// On an object's mesh (vertices in order, their normals, or random points of its surface).
// Without a mesh: "failed to get mesh of object ID %d" [3], and the emitter stays a box.
int keMakeFxEmitterMeshVertices(int id, const char* image, int objectId);
int keMakeFxEmitterMeshNormal(int id, const char* image, int objectId);
int keMakeFxEmitterMeshSurface(int id, const char* image, int objectId);
// Fed by another emitter's particles (live ones, or those that died in its last update); a
// parent ID that is not registered leaves the emitter without a source.
int keMakeFxEmitterParticles(int id, const char* image, int parentId);
int keMakeFxEmitterDyingParticles(int id, const char* image, int parentId);
// One immortal particle per vertex of a static mesh object; animated and morph objects get an
// own pool of 65536 particles with the emitter's defaults. "failed to create FxEmitter node" [3]
// for other objects.
int keMakeFxEmitterMeshStatic(int id, const char* image, int objectId);

bool keFxEmitterExist(int id);  // never records anything
int keShowFxEmitter(int id);
int keHideFxEmitter(int id);    // releases the particles of a shared-pool emitter
int keDeleteFxEmitter(int id);  // an unregistered ID is ignored without error
int kePositionFxEmitter(int id, float x, float y, float z);
int keRotateFxEmitter(int id, float x, float y, float z);
int keLockFxEmitterOn(int id);   // the camera becomes the node's parent
int keLockFxEmitterOff(int id);  // no parent: not drawn until it gets one again

// Emission (ignored by static-mesh emitters).
int keSetFxEmitterVelocity(int id, float x, float y, float z);
int keSetFxEmitterGravity(int id, float x, float y, float z);
int keSetFxEmitterParentMotion(int id, float value);
int keSetFxEmitterBirthRate(int id, float perSecond);
int keSetFxEmitterWeight(int id, float value);
int keSetFxEmitterResistance(int id, float value);
int keSetFxEmitterVibration(int id, float value);
int keSetFxEmitterParticleLimit(int id, int total);
int keSetFxEmitterRandomVelocity(int id, float value);
int keSetFxEmitterCurlNoisePower(int id, float value);
int keSetFxEmitterCurlNoiseFrequency(int id, float value);
int keFxResetEmitter(int id);
int keFxResetEmitterEmittedCount(int id);
// Emission (every emitter).
int keSetFxEmitterLifeTime(int id, float seconds, float variation);
int keSetFxEmitterExplosion(int id, float value);
// The emitter whose particles feed this one: "FxEmitter ID %d : parent %d does not exist. %s" [2].
int keSetFxEmitterParent(int id, int parentId);
int keSetFxEmitterHyperVoxel(int id, int on);  // checks the ID only

// Look (surface 0). Blend modes: 1 alpha (sorted back to front), 3 subtract, others add.
int keSetFxEmitterParticleSize(int id, float size);  // surface and emitter size 2 x size
int keSetFxEmitterBlendMode(int id, int mode);
int keSetFxEmitterUseImageColor(int id);
int keSetFxEmitterColor(int id, uint32_t colour);
int keSetFxEmitterRotation(int id, float value);
// Key tables of `count` keys of 5 floats each (parameter, then r, g, b, a or the size); at most
// 8 are taken, closed by a copy of the last key at its parameter + 100. count <= 0 clears the
// table.
int keSetFxEmitterColorGradient(int id, int count, const float* keys);
int keSetFxEmitterSizeGradient(int id, int count, const float* keys);

// Effects (row 0 of the node extension, technique 0, pass 0).
int keSetFxEmitterEffect(int id, int effectId);
// Compiled for the particle surface; null or "" for the default particle effect. A file that
// fails to compile keeps the effect bound before ("FxEmitter ID %d: Failed to compile effect %s").
int keSetFxEmitterEffectFromFile(int id, const char* file);
int keSetFxEmitterDefaultEffect(int id);
int keSetFxEmitterEffectTechnique(int id, int technique);
// Loads an effect under effectId compiled for the emitter's surface; binds nothing.
int keLoadEffectForFxEmitter(const char* file, int effectId, int emitterId);

// One entry of an evaluated effect parameter list. Kinds: 0 vector, 1 scalar, 2 integer,
// 3 texture file name; others are reported.
struct KeFxEffectParameter {
    int kind = -1;
    const char* name = nullptr;
    float value[3] = {0, 0, 0};
    int integer = 0;
    const char* text = nullptr;
};
// The list's effect file (compiled for the surface and bound when `file` is not empty), then
// its textures and values set on the bound effect. The effect is compiled only when the file
// differs from the one bound by the last call; afterwards only values change.
int keSetFxEmitterEffectParameters(int id, const char* file, const KeFxEffectParameter* list, int count);

// The node of a registered ID without recording anything (null otherwise).
CKeParticleSystemSceneNode* keFxEmitterGet(int id);
// Deletes every registered emitter (engine shut-down: before the device goes).
void keDeleteAllFxEmitters();

}  // namespace kolm
