#include "api/KeFxEmitterApi.h"

#include "api/KeEffectApi.h"
#include "api/KeObjectApi.h"
#include "core/KeError.h"
#include "core/KeIdTableKinds.h"
#include "engine/IKeManager.h"
#include "engine/IKeMorphMesh.h"
#include "engine/IKeMorphMeshSceneNode.h"
#include "engine/IKeResourceManager.h"
#include "engine/IKeTextureManager.h"
#include "files/KeFileSystem.h"
#include "fx/CKeParticleSystemSceneNode.h"
#include "fx/CKeSceneNodeExt.h"
#include "fx/IKeEffect.h"
#include "fx/IKeEffectManager.h"
#include "fx/IKeSurfaceLightwaveHV.h"
#include "fx/IKeSceneNodeExt.h"
#include "fx/IKeSurfaceManager.h"
#include "fx/SShaderMacro.h"
#include "runtime/KeEngine.h"

#include <irrlicht.h>

#include <cstdio>
#include <cstring>

namespace kolm {

using namespace irr;

const char* const kKeDefaultParticleImage = "KeDefaultParticle.png";
// The default particle effect: a COLLADA FX document around the HLSL of "Particle.hlsl"
// (shadersHV), which also loads on its own.
const char* const kKeDefaultParticleEffect = "Particle.dae";

namespace {

KeIdTable<KeFxEmitterRecord>* table() { return keEngineContext().idLists.fxEmitter; }

KeFxEmitterRecord* lookup(int id, int argIndex = 1) { return keIdLookup(table(), KeIdKind::FxEmitter, id, argIndex); }

// The emitter of a registered ID for the emission setters: null (and nothing recorded) for
// static-mesh emitters.
CKeFxEmitter* emissionOf(int id) {
    KeFxEmitterRecord* r = lookup(id);
    return r && !r->staticMesh ? r->node->getEmitter() : nullptr;
}

CKeFxEmitter* emitterOf(int id) {
    KeFxEmitterRecord* r = lookup(id);
    return r ? r->node->getEmitter() : nullptr;
}

IKeSceneNodeExt* extOf(KeFxEmitterRecord* r) { return r ? keFindNodeExt(r->node) : nullptr; }

IKeSurfaceLightwaveHV* surfaceOf(KeFxEmitterRecord* r) {
    IKeSceneNodeExt* ext = extOf(r);
    IKeSurface* s = ext ? ext->getSurface(0) : nullptr;
    return s && s->getKind() == KE_SURFACE_LIGHTWAVE_HV ? static_cast<IKeSurfaceLightwaveHV*>(s) : nullptr;
}

// Changes surface 0's parameter block through `change`.
template <class F>
int changeSurface(int id, F change) {
    IKeSurfaceLightwaveHV* surface = surfaceOf(lookup(id));
    if (!surface) return lookup(id) ? 0 : -1;
    KeHyperVoxelParams p = surface->getParameters();
    change(p);
    surface->setParameters(p);
    return 0;
}

// The emitters' curl-noise volume is the resource manager's; refreshed whenever one is made.
void shareNoiseVolume() {
    IKeManager* manager = keEngineManager();
    IKeResourceManager* resources = manager ? manager->getResourceManager() : nullptr;
    if (resources)
        keFxSetNoiseVolume(reinterpret_cast<const signed char*>(resources->getNoiseVolume()),
                           resources->getNoiseVolumeEdge());
}

void removeNode(KeFxEmitterRecord* r) {
    if (!r || !r->node) return;
    r->node->remove();
    r->node->drop();
    r->node = nullptr;
}

// The default particle picture when its file is not installed: 64 x 64, white, with a round
// soft falloff in alpha, as the shipped file has it.
video::ITexture* defaultParticleTexture(video::IVideoDriver* driver) {
    if (video::ITexture* made = driver->findTexture(kKeDefaultParticleImage)) return made;
    const u32 size = 64;
    video::IImage* picture = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(size, size));
    if (!picture) return nullptr;
    for (u32 y = 0; y < size; ++y)
        for (u32 x = 0; x < size; ++x) {
            const f32 dx = (f32(x) + 0.5f) / f32(size) * 2.0f - 1.0f;
            const f32 dy = (f32(y) + 0.5f) / f32(size) * 2.0f - 1.0f;
            const f32 f = 1.0f - (dx * dx + dy * dy);
            const u32 alpha = f > 0.0f ? u32(255.0f * f * f + 0.5f) : 0u;
            picture->setPixel(x, y, video::SColor(alpha, 255, 255, 255));
        }
    video::ITexture* texture = driver->addTexture(kKeDefaultParticleImage, picture);
    picture->drop();
    return texture;
}

// The particle surface of every material of the node, and the image as surface 0's clip texture.
bool setupSurface(CKeParticleSystemSceneNode* node, const char* image) {
    IKeManager* manager = keEngineManager();
    IKeSurfaceManager* surfaces = manager ? manager->getSurfaceManager() : nullptr;
    CKeSceneNodeExt* ext = keGetNodeExt(node);
    if (!ext || !surfaces) return false;
    for (u32 i = 0; i < node->getMaterialCount(); ++i) {
        IKeSurface* surface = surfaces->createSurfaceOfKind(KE_SURFACE_LIGHTWAVE_HV);
        if (!surface) return false;
        surface->initFromMaterial(node->getMaterial(i));
        ext->setSurface(s32(i), surface);
        surface->drop();
    }
    const bool named = image && *image;
    video::IVideoDriver* driver = keEngineContext().driver;
    video::ITexture* texture = driver ? driver->getTexture(keFindFile(named ? image : kKeDefaultParticleImage)) : nullptr;
    if (!texture && !named && driver) texture = defaultParticleTexture(driver);
    if (!texture) return false;
    IKeSurface* first = ext->getSurface(0);
    if (!first || first->getKind() != KE_SURFACE_LIGHTWAVE_HV) return false;
    auto* hv = static_cast<IKeSurfaceLightwaveHV*>(first);
    KeHyperVoxelParams p = hv->getParameters();
    p.clipTexture = texture;
    hv->setParameters(p);
    return ext->prepare();
}

// Registers a record and makes its node; -1 after the messages of the creating operations.
int makeNode(int id, const char* image, KeParticleSource source, scene::IMesh* mesh, bool made, int staticMesh,
             int nodeArg, KeFxEmitterRecord** out) {
    auto* record = new KeFxEmitterRecord;
    record->staticMesh = staticMesh;
    if (keIdRegister(table(), KeIdKind::FxEmitter, id, record, 1) != 0) {
        delete record;
        return -1;
    }
    shareNoiseVolume();
    CKeParticleSystemSceneNode* node =
        made ? keAddParticleSystemNode(keEngineContext().sceneManager, nullptr, -1, source, mesh) : nullptr;
    if (!node) {
        recordError(nodeArg, "failed to create FxEmitter node");
        keIdTableRemove(table(), id);
        delete record;
        return -1;
    }
    node->grab();
    record->node = node;
    if (!setupSurface(node, image)) {
        recordError(2, "failed to setup material image");
        removeNode(record);
        keIdTableRemove(table(), id);
        delete record;
        return -1;
    }
    *out = record;
    return 0;
}

int makeCommon(int id, const char* image, float sx, float sy, float sz) {
    KeFxEmitterRecord* record = nullptr;
    if (makeNode(id, image, KeParticleSource::Emitter, nullptr, true, 0, -1, &record) != 0) return -1;
    CKeFxEmitter* e = record->node->getEmitter();
    e->setLifeTime(1.0f, 0.1f);
    e->setGeneratorSize(sx, sy, sz);
    e->setExplosion(0.0f);
    e->setBirthRate(0.0f);
    return 0;
}

const u32 kTypeMesh = MAKE_IRR_ID('m', 'e', 's', 'h');
const u32 kTypeAnimated = MAKE_IRR_ID('a', 'm', 's', 'h');
const u32 kTypeMorph = MAKE_IRR_ID('m', 'o', 'r', 'p');

// The mesh of an object: "ERROR with message box" messages when there is none.
scene::IMesh* getObjectMesh(int objectId) {
    scene::ISceneNode* node = keObjectGet(objectId);
    if (!node) {
        printMessage(0x20003, "getObjectMesh: Failed to get iObj=%d", objectId);
        return nullptr;
    }
    scene::IMesh* mesh = nullptr;
    const u32 type = u32(node->getType());
    if (type == kTypeMesh)
        mesh = static_cast<scene::IMeshSceneNode*>(node)->getMesh();
    else if (type == kTypeAnimated)
        mesh = static_cast<scene::IAnimatedMeshSceneNode*>(node)->getMesh();
    else if (type == kTypeMorph)
        mesh = static_cast<IKeMorphMeshSceneNode*>(node)->getMorphMesh();
    if (!mesh) printMessage(0x20003, "getObjectMesh: Failed to get mesh for iObj=%d", objectId);
    return mesh;
}

int makeOnMesh(int id, const char* image, int objectId, u32 kind) {
    if (makeCommon(id, image, 1, 1, 1) != 0) return -1;
    scene::IMesh* mesh = getObjectMesh(objectId);
    if (!mesh) {
        recordError(3, "failed to get mesh of object ID %d", objectId);
        return -1;
    }
    CKeFxEmitter* e = keFxEmitterGet(id)->getEmitter();
    e->setKind(kind);
    e->setMesh(mesh);
    return 0;
}

int makeFed(int id, const char* image, int parentId, u32 kind) {
    CKeParticleSystemSceneNode* parent = parentId >= 0 ? keFxEmitterGet(parentId) : nullptr;
    if (makeCommon(id, image, 1, 1, 1) != 0) return -1;
    CKeFxEmitter* e = keFxEmitterGet(id)->getEmitter();
    e->setKind(kind);
    e->setSource(parent ? parent->getEmitter() : nullptr);
    return 0;
}

// Key tables: at most 8 keys of 5 floats, closed by the last key again at parameter + 100.
template <class Store>
void keyTable(int count, const float* keys, u32& outCount, f32* params, Store store) {
    const int n = keys && count > 0 ? (count < 8 ? count : 8) : 0;
    for (int i = 0; i < n; ++i) {
        params[i] = keys[5 * i];
        store(u32(i), keys + 5 * i + 1);
    }
    if (n > 0) {
        params[n] = keys[5 * (n - 1)] + 100.0f;
        store(u32(n), keys + 5 * (n - 1) + 1);
    }
    outCount = n > 0 ? u32(n + 1) : 0;
}

// Surface 0's compile parameters and the effect of `path` made with them (a new reference), or
// null; `stage` tells which step failed: 1 the parameters, 2 the compilation.
IKeEffect* compileForSurface(KeFxEmitterRecord* r, const char* path, int* stage) {
    IKeSurface* surface = extOf(r)->getSurface(0);
    CKeMacro macros[KE_SURFACE_EFFECT_MACROS + 1] = {};
    u32 count = KE_SURFACE_EFFECT_MACROS;
    video::E_MATERIAL_TYPE base = video::EMT_SOLID;
    if (!surface->getEffectCompileParameters(base, macros, count, r->node)) {
        *stage = 1;
        return nullptr;
    }
    IKeManager* manager = keEngineManager();
    IKeEffectManager* effects = manager ? manager->getEffectManager() : nullptr;
    IKeEffect* effect = effects ? effects->createEffect(path, s32(base), macros, nullptr) : nullptr;
    *stage = effect ? 0 : 2;
    return effect;
}

}  // namespace

CKeParticleSystemSceneNode* keFxEmitterGet(int id) {
    KeFxEmitterRecord* r = keIdTableGet(table(), id);
    return r ? r->node : nullptr;
}

int keMakeFxEmitterBox(int id, const char* image, float sx, float sy, float sz) { return makeCommon(id, image, sx, sy, sz); }

int keMakeFxEmitterSphere(int id, const char* image, float sx, float sy, float sz) {
    if (makeCommon(id, image, sx, sy, sz) != 0) return -1;
    keFxEmitterGet(id)->getEmitter()->setKind(1);
    return 0;
}

int keMakeFxEmitterMeshVertices(int id, const char* image, int objectId) { return makeOnMesh(id, image, objectId, 2); }
int keMakeFxEmitterMeshNormal(int id, const char* image, int objectId) { return makeOnMesh(id, image, objectId, 3); }
int keMakeFxEmitterMeshSurface(int id, const char* image, int objectId) { return makeOnMesh(id, image, objectId, 4); }
int keMakeFxEmitterParticles(int id, const char* image, int parentId) { return makeFed(id, image, parentId, 5); }
int keMakeFxEmitterDyingParticles(int id, const char* image, int parentId) { return makeFed(id, image, parentId, 6); }

int keMakeFxEmitterMeshStatic(int id, const char* image, int objectId) {
    scene::ISceneNode* object = keObjectGet(objectId);
    if (!object) printMessage(0x20003, "getObjectMesh: Failed to get iObj=%d", objectId);
    const u32 type = object ? u32(object->getType()) : 0;
    scene::IMesh* mesh = nullptr;
    KeParticleSource source = KeParticleSource::StaticMesh;
    bool made = false;  // whether the object's kind gives a particle system
    if (type == kTypeMesh) {
        mesh = static_cast<scene::IMeshSceneNode*>(object)->getMesh();
        made = mesh != nullptr;
    } else if (type == kTypeAnimated || type == kTypeMorph) {
        source = KeParticleSource::AnimatedMesh;
        made = true;
    }
    KeFxEmitterRecord* record = nullptr;
    return makeNode(id, image, source, mesh, made, 1, 3, &record);
}

bool keFxEmitterExist(int id) { return keIdExists(table(), id); }

int keShowFxEmitter(int id) {
    KeFxEmitterRecord* r = lookup(id);
    if (!r) return -1;
    r->node->setVisible(true);
    return 0;
}

int keHideFxEmitter(int id) {
    KeFxEmitterRecord* r = lookup(id);
    if (!r) return -1;
    r->node->setVisible(false);
    return 0;
}

int keDeleteFxEmitter(int id) {
    KeFxEmitterRecord* r = keIdTableGet(table(), id);
    if (!r) return 0;
    removeNode(r);
    keIdTableRemove(table(), id);
    delete r;
    return 0;
}

void keDeleteAllFxEmitters() {
    KeIdTable<KeFxEmitterRecord>* t = table();
    if (!t) return;
    for (int id = 0; id < t->capacity(); ++id) keDeleteFxEmitter(id);
    keFxSetNoiseVolume(nullptr, 0);  // the resource manager's volume goes with the engine
}

int kePositionFxEmitter(int id, float x, float y, float z) {
    KeFxEmitterRecord* r = lookup(id);
    if (!r) return -1;
    r->node->setPosition(core::vector3df(x, y, z));
    return 0;
}

int keRotateFxEmitter(int id, float x, float y, float z) {
    KeFxEmitterRecord* r = lookup(id);
    if (!r) return -1;
    r->node->setRotation(core::vector3df(x, y, z));
    return 0;
}

int keLockFxEmitterOn(int id) {
    KeFxEmitterRecord* r = lookup(id);
    if (!r) return -1;
    if (scene::ICameraSceneNode* camera = keEngineContext().camera) r->node->setParent(camera);
    return 0;
}

int keLockFxEmitterOff(int id) {
    KeFxEmitterRecord* r = lookup(id);
    if (!r) return -1;
    r->node->remove();  // the record's reference keeps the node
    return 0;
}

#define KE_EMISSION_SETTER(call)              \
    CKeFxEmitter* e = emissionOf(id);         \
    if (!e) return keFxEmitterExist(id) ? 0 : -1; \
    e->call;                                  \
    return 0

int keSetFxEmitterVelocity(int id, float x, float y, float z) { KE_EMISSION_SETTER(setVelocity(x, y, z)); }
int keSetFxEmitterGravity(int id, float x, float y, float z) { KE_EMISSION_SETTER(setGravity(x, y, z)); }
int keSetFxEmitterParentMotion(int id, float value) { KE_EMISSION_SETTER(setParentMotion(value)); }
int keSetFxEmitterBirthRate(int id, float perSecond) { KE_EMISSION_SETTER(setBirthRate(perSecond)); }
int keSetFxEmitterWeight(int id, float value) { KE_EMISSION_SETTER(setWeight(value, 0.0f)); }
int keSetFxEmitterResistance(int id, float value) { KE_EMISSION_SETTER(setResistance(value, 0.0f)); }
int keSetFxEmitterVibration(int id, float value) { KE_EMISSION_SETTER(setVibration(value, 0.0f)); }
int keSetFxEmitterParticleLimit(int id, int total) { KE_EMISSION_SETTER(setParticleLimit(total > 0 ? u32(total) : 0u)); }
int keSetFxEmitterRandomVelocity(int id, float value) { KE_EMISSION_SETTER(setRandomVelocity(value)); }
int keSetFxEmitterCurlNoisePower(int id, float value) { KE_EMISSION_SETTER(setCurlNoisePower(value)); }
int keSetFxEmitterCurlNoiseFrequency(int id, float value) { KE_EMISSION_SETTER(setCurlNoiseFrequency(value)); }
int keFxResetEmitter(int id) { KE_EMISSION_SETTER(reset()); }
int keFxResetEmitterEmittedCount(int id) { KE_EMISSION_SETTER(resetEmittedCount()); }

#undef KE_EMISSION_SETTER

int keSetFxEmitterLifeTime(int id, float seconds, float variation) {
    CKeFxEmitter* e = emitterOf(id);
    if (!e) return -1;
    e->setLifeTime(seconds, variation);
    return 0;
}

int keSetFxEmitterExplosion(int id, float value) {
    CKeFxEmitter* e = emitterOf(id);
    if (!e) return -1;
    e->setExplosion(value);
    return 0;
}

int keSetFxEmitterParent(int id, int parentId) {
    KeFxEmitterRecord* r = lookup(id);
    if (!r) return -1;
    CKeParticleSystemSceneNode* parent = parentId >= 0 ? keFxEmitterGet(parentId) : nullptr;
    if (!parent) {
        keIdTableGet(table(), parentId);  // leaves the table's detail text
        recordError(2, "FxEmitter ID %d : parent %d does not exist. %s", id, parentId, keIdTableMessage());
        return -1;
    }
    r->node->getEmitter()->setSource(parent->getEmitter());
    return 0;
}

int keSetFxEmitterHyperVoxel(int id, int) { return lookup(id) ? 0 : -1; }

int keSetFxEmitterParticleSize(int id, float size) {
    CKeFxEmitter* e = emitterOf(id);
    if (!e) return -1;
    e->setParticleSize(2.0f * size, 0.0f);
    return changeSurface(id, [&](KeHyperVoxelParams& p) { p.size = 2.0f * size; });
}

int keSetFxEmitterBlendMode(int id, int mode) {
    CKeFxEmitter* e = emitterOf(id);
    if (!e) return -1;
    const s32 blend = mode == 1 ? KE_HV_BLEND_ALPHA : mode == 3 ? KE_HV_BLEND_SUBTRACT : KE_HV_BLEND_ADD;
    e->setSorted(mode == 1);
    return changeSurface(id, [&](KeHyperVoxelParams& p) { p.blendMode = blend; });
}

int keSetFxEmitterUseImageColor(int id) {
    if (!lookup(id)) return -1;
    return changeSurface(id, [](KeHyperVoxelParams& p) {
        p.hasTexture = true;
        for (f32& c : p.color) c = 1.0f;
    });
}

int keSetFxEmitterColor(int id, uint32_t colour) {
    if (!lookup(id)) return -1;
    return changeSurface(id, [&](KeHyperVoxelParams& p) {
        p.hasTexture = false;
        p.color[0] = f32((colour >> 16) & 255) / 255.0f;
        p.color[1] = f32((colour >> 8) & 255) / 255.0f;
        p.color[2] = f32(colour & 255) / 255.0f;
        p.color[3] = 1.0f;
    });
}

int keSetFxEmitterRotation(int id, float value) {
    if (!lookup(id)) return -1;
    return changeSurface(id, [&](KeHyperVoxelParams& p) { p.rotation = value; });
}

int keSetFxEmitterColorGradient(int id, int count, const float* keys) {
    if (!lookup(id)) return -1;
    return changeSurface(id, [&](KeHyperVoxelParams& p) {
        keyTable(count, keys, p.colorKeyCount, p.colorKeyParams,
                 [&](u32 i, const float* v) { std::memcpy(p.colorKeyValues[i], v, 4 * sizeof(float)); });
    });
}

int keSetFxEmitterSizeGradient(int id, int count, const float* keys) {
    if (!lookup(id)) return -1;
    return changeSurface(id, [&](KeHyperVoxelParams& p) {
        keyTable(count, keys, p.sizeKeyCount, p.sizeKeyParams, [&](u32 i, const float* v) { p.sizeKeyValues[i] = v[0]; });
    });
}

int keSetFxEmitterEffect(int id, int effectId) {
    IKeEffect* effect = keEffectGet(effectId);
    if (!effect) {
        keIdRecordMissing(KeIdKind::Effect, effectId, 2);
        return -1;
    }
    KeFxEmitterRecord* r = lookup(id);
    if (!r) return -1;
    IKeSceneNodeExt* ext = extOf(r);
    if (!ext) {
        recordError(1, "FxEmitter ID %d unexpected format (no node extension)", id);
        return -1;
    }
    if (!ext->getSurface(0)) {
        recordError(1, "FxEmitter ID %d has no surface", id);
        return -1;
    }
    ext->setEffect(0, effect, 0, 0);
    return 0;
}

int keSetFxEmitterEffectFromFile(int id, const char* file) {
    KeFxEmitterRecord* r = lookup(id);
    if (!r) return -1;
    IKeSceneNodeExt* ext = extOf(r);
    if (!ext) {
        recordError(1, "FxEmitter ID %d unexpected format (no node extension)", id);
        return -1;
    }
    if (!ext->getSurface(0)) {
        recordError(1, "FxEmitter ID %d has no surface", id);
        return -1;
    }
    char path[260];
    std::snprintf(path, sizeof path, "%s", keFindFile(file && *file ? file : kKeDefaultParticleEffect));
    int stage = 0;
    IKeEffect* effect = compileForSurface(r, path, &stage);
    if (stage == 1) {
        recordError(2, "FxEmitter ID %d Failed to get the effect compile parameters", id);
        return -1;
    }
    if (!effect) {
        recordErrorBox(2, "FxEmitter ID %d: Failed to compile effect %s", id, path);
        return -1;
    }
    ext->setEffect(0, effect, 0, 0);
    effect->drop();
    return 0;
}

int keSetFxEmitterDefaultEffect(int id) { return keSetFxEmitterEffectFromFile(id, nullptr); }

int keSetFxEmitterEffectTechnique(int id, int technique) {
    KeFxEmitterRecord* r = lookup(id);
    if (!r) return -1;
    IKeSceneNodeExt* ext = extOf(r);
    if (!ext) {
        recordError(1, "FxEmitter ID %d unexpected format (no node extension)", id);
        return -1;
    }
    ext->setTechnique(0, technique);
    return 0;
}

int keLoadEffectForFxEmitter(const char* file, int effectId, int emitterId) {
    KeFxEmitterRecord* r = keIdTableGet(table(), emitterId);
    if (!r) {
        recordError(3, "FxEmitter ID %d does not exist", emitterId);
        return -1;
    }
    IKeSceneNodeExt* ext = extOf(r);
    if (!ext) {
        recordError(3, "FxEmitter ID %d does not have node extension", emitterId);
        return -1;
    }
    IKeSurface* surface = ext->getSurface(0);
    if (!surface) {
        recordError(3, "Invalid surface for the FxEmitter ID %d", emitterId);
        return -1;
    }
    CKeMacro macros[KE_SURFACE_EFFECT_MACROS + 1] = {};
    u32 count = KE_SURFACE_EFFECT_MACROS;
    video::E_MATERIAL_TYPE base = video::EMT_SOLID;
    if (!surface->getEffectCompileParameters(base, macros, count, r->node)) {
        recordError(-1, "Failed to get the effect compile parameters");
        return -1;
    }
    return keLoadEffectWithParameters(file, effectId, s32(base), macros);
}

int keSetFxEmitterEffectParameters(int id, const char* file, const KeFxEffectParameter* list, int count) {
    KeFxEmitterRecord* r = lookup(id);
    if (!r) return -1;
    IKeSceneNodeExt* ext = extOf(r);
    if (!ext) {
        recordError(1, "FxEmitter ID %d unexpected format (no node extension)", id);
        return -1;
    }
    const char* listFile = file ? file : "";
    // The effect is built once per file: later calls with the same list only set its values
    // (a new runtime effect every animation step would allocate, and add a material renderer
    // that the library never frees).
    if (*listFile && std::strcmp(listFile, r->listEffect) != 0) {
        if (!ext->getSurface(0)) {
            recordError(2, "Invalid surface for the FxEmitter ID %d", id);
            return -1;
        }
        // Tried once per file, also when it fails: a broken file is reported once, not every frame.
        std::snprintf(r->listEffect, sizeof r->listEffect, "%s", listFile);
        int stage = 0;
        IKeEffect* effect = compileForSurface(r, keFindFile(listFile), &stage);
        if (stage == 1) {
            recordError(2, "FxEmitter %d : Failed to get the effect compile parameters", id);
        } else if (!effect) {
            recordErrorBox(2, "FxEmitter %d : Failed to compile effect %s", id, listFile);
        } else {
            ext->setEffect(0, effect, 0, 0);
            effect->drop();
        }
    }
    IKeEffect* effect = ext->getEffect(0);
    if (!effect) {
        recordError(1, "FxEmitter ID %d has no effect applied on it", id);
        return -1;
    }
    bool texturesOk = true;
    for (int i = 0; list && i < count; ++i) {
        const KeFxEffectParameter& e = list[i];
        if (e.kind == 3 && !keSetEffectListTexture(effect, listFile, e.name, e.text)) texturesOk = false;
    }
    int result = 0;
    if (!texturesOk) {
        recordError(2, "FxEmitter ID %d: failed to set textures of shader '%s'", id, listFile);
        result = -1;
    }
    ext->prepare();
    bool valuesOk = true;
    for (int i = 0; list && i < count; ++i) {
        const KeFxEffectParameter& e = list[i];
        const SParameter* parameter = e.name ? effect->getParameterByName(nullptr, e.name) : nullptr;
        if (!parameter) {
            recordError(-1, "%s: no effect param with name '%s'", listFile, e.name ? e.name : "");
            valuesOk = false;
            continue;
        }
        switch (e.kind) {
        case 0: effect->setFloatArray(parameter, e.value, 3); break;
        case 1: effect->setFloat(parameter, e.value[0]); break;
        case 2: effect->setInt(parameter, e.integer); break;
        case 3: break;
        default:
            recordError(-1, "%s: shader param '%s' unknown type %d", listFile, e.name, e.kind);
            valuesOk = false;
            break;
        }
    }
    if (!valuesOk) {
        recordError(2, "FxEmitter ID %d: failed to set parameters of shader '%s'", id, listFile);
        result = -1;
    }
    return result;
}

}  // namespace kolm
