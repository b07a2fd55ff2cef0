#include "scene/KeSceneEmitters.h"

#include "core/KeError.h"
#include "files/KePathResolve.h"
#include "kf/KF_Channel.h"
#include "kf/KF_Document.h"
#include "scene/KeScene.h"

#include <cstring>
#include <string>
#include <vector>

namespace kolm {

namespace {

// The property nodes of one emitter, looked up once at load.
struct SceneEmitter {
    int type = 0;
    int nozzle = 0;
    const char* name = nullptr;
    const char* parentName = nullptr;
    const char* image = nullptr;  // "clipFilename"
    bool hyperVoxel = false;
    KF_Node* position = nullptr;
    KF_Node* rotation = nullptr;
    KF_Node* generatorSize = nullptr;
    int particleLimit = 0;
    KF_Node* lifeTime = nullptr;
    KF_Node* lifeTimePm = nullptr;
    KF_Node* explosion = nullptr;
    KF_Node* velocity = nullptr;
    KF_Node* parentMotion = nullptr;
    KF_Node* gravity = nullptr;
    KF_Node* birthRate = nullptr;
    KF_Node* weight = nullptr;
    KF_Node* resistance = nullptr;
    KF_Node* vibration = nullptr;
    KF_Node* randomVelocity = nullptr;
    KF_Node* curlNoisePower = nullptr;
    KF_Node* curlNoiseFrequency = nullptr;
    KF_Node* particleSize = nullptr;
    int clipAlpha = 0;
    int clipFlags = 0;
    KF_Node* color = nullptr;
    KF_Node* clipRotation = nullptr;
    KF_Node* gradientParticleSize = nullptr;
    KF_Node* gradientColor = nullptr;
    const char* effectFile = nullptr;
    std::string effectPath;  // the file as found on disk, resolved once
    KF_Node* effectParameters = nullptr;
};

struct SlotEmitters {
    std::vector<SceneEmitter> items;
    int base = 0;
};

SlotEmitters g_slots[KE_SCENE_SLOTS];
const KeSceneEmitterCalls* g_calls = nullptr;

SlotEmitters* slotAt(int slot) { return slot >= 0 && slot < KE_SCENE_SLOTS ? &g_slots[slot] : nullptr; }

int intOf(const KF_Node* n) {
    if (!n || n->kind != KF_VALUE || (n->a != KF_I4 && n->a != KF_U4) || n->b < 1) return 0;
    return static_cast<const int32_t*>(n->data)[0];
}
const char* strOf(const KF_Node* n) {
    if (!n || n->kind != KF_VALUE || n->a != KF_STR) return nullptr;
    return static_cast<const char*>(n->data);
}
float sampleFP(const KF_Node* n, float s) { return n ? KF_FP_Lerp(n, s) : 0.0f; }
KF_FP3 sampleFP3(const KF_Node* n, float s) { return n ? KF_FP3_Lerp(n, s) : KF_FP3{0.0f, 0.0f, 0.0f}; }
KF_Node* find(KF_Node* group, const char* name) { return group ? KF_Find(group, name) : nullptr; }
bool sameText(const char* a, const char* b) { return a && b && std::strcmp(a, b) == 0; }
bool sameOrNone(const char* a, const char* b) { return std::strcmp(a ? a : "", b ? b : "") == 0; }

// Whether two values of two documents are equal: both missing, or the same type, count and
// data (a string by its text). Channels count as changed unless both are missing.
bool sameValue(const KF_Node* a, const KF_Node* b) {
    if (!a || !b) return a == b;
    if (a->kind != KF_VALUE || b->kind != KF_VALUE || a->a != b->a || a->b != b->b) return false;
    if (a->a == KF_STR) return sameOrNone(static_cast<const char*>(a->data), static_cast<const char*>(b->data));
    if (a->a != KF_I4 && a->a != KF_U4 && a->a != KF_FP) return false;
    return std::memcmp(a->data, b->data, size_t(a->b) * 4) == 0;
}

uint8_t channel8(float v) {
    const float c = v * 255.0f;
    return c >= 255.0f ? 255 : c > 0.0f ? uint8_t(c) : 0;
}

// The floats of an "FP" value as key table: count = floats / 5.
int gradientKeys(const KF_Node* n, const float** keys) {
    if (!n || n->kind != KF_VALUE || n->a != KF_FP) return 0;
    *keys = static_cast<const float*>(n->data);
    return int(n->b / 5);
}

SceneEmitter describe(KF_Node* g) {
    SceneEmitter e;
    e.type = intOf(find(g, "type"));
    e.name = strOf(find(g, "name"));
    e.parentName = strOf(find(g, "parentName"));
    e.position = find(g, "position");
    e.rotation = find(g, "rotation");
    KF_Node* fx = find(g, "ParticleFx");
    e.nozzle = intOf(find(fx, "nozzle"));
    e.generatorSize = find(fx, "generatorSize");
    e.particleLimit = intOf(find(fx, "particleLimit"));
    e.lifeTime = find(fx, "lifeTime");
    e.lifeTimePm = find(fx, "lifeTime_pm");
    e.explosion = find(fx, "explosion");
    e.velocity = find(fx, "velocity");
    e.parentMotion = find(fx, "parentMotion");
    e.gravity = find(fx, "gravity");
    e.birthRate = find(fx, "birthRate");
    e.weight = find(fx, "weight");
    e.resistance = find(fx, "resistance");
    e.vibration = find(fx, "vibration");
    e.randomVelocity = find(fx, "randomVelocity");
    e.curlNoisePower = find(fx, "curlNoisePower");
    e.curlNoiseFrequency = find(fx, "curlNoiseFrequency");
    KF_Node* hv = find(g, "HyperVoxel");
    e.hyperVoxel = hv != nullptr;
    e.image = strOf(find(hv, "clipFilename"));
    e.particleSize = find(hv, "particleSize");
    e.clipAlpha = intOf(find(hv, "clipAlpha"));
    e.clipFlags = intOf(find(hv, "clipFlags"));
    e.color = find(hv, "color");
    e.clipRotation = find(hv, "clipRotation");
    e.gradientParticleSize = find(hv, "gradientParticleSize");
    e.gradientColor = find(hv, "gradientColor");
    KF_Node* effect = find(g, "Shader");
    if (!effect) effect = find(g, "Effect");
    e.effectFile = strOf(find(effect, "filename"));
    if (e.effectFile && *e.effectFile && !keResolveDiskPath(e.effectFile, &e.effectPath))
        e.effectPath = keForwardSlashes(e.effectFile);
    e.effectParameters = find(effect, "Parameters");
    return e;
}

const char* imageText(const SceneEmitter& e) { return e.image && *e.image ? e.image : "<no clip file>"; }

// The effect parameter list at s with the effect file, when the emitter has one.
void applyEffectParameters(const SceneEmitter& e, int id, float sample) {
    if (!e.effectFile && !e.effectParameters) return;
    KeSceneParameter values[KE_SCENE_MAX_PARAMETERS];
    const int n = e.effectParameters ? keSceneEvaluateParameters(e.effectParameters, sample, values,
                                                                 KE_SCENE_MAX_PARAMETERS)
                                     : 0;
    KeFxEffectParameter list[KE_SCENE_MAX_PARAMETERS];
    for (int i = 0; i < n; ++i) {
        list[i].kind = values[i].kind;
        list[i].name = values[i].name;
        std::memcpy(list[i].value, values[i].value, sizeof list[i].value);
        list[i].integer = values[i].integer;
        list[i].text = values[i].text;
    }
    keSceneEmitterCalls().setEffectParameters(id, e.effectPath.c_str(), list, n);
}

// The creation-time values (sample 0), then the default effect and the effect list.
void configure(const SceneEmitter& e, int id) {
    const KeSceneEmitterCalls& c = keSceneEmitterCalls();
    if (e.particleSize) c.setParticleSize(id, sampleFP(e.particleSize, 0));
    c.setLifeTime(id, sampleFP(e.lifeTime, 0), sampleFP(e.lifeTimePm, 0));
    c.setExplosion(id, sampleFP(e.explosion, 0));
    c.setParticleLimit(id, e.particleLimit);
    c.setBlendMode(id, e.clipAlpha);
    if (e.clipFlags & 2) {
        c.setUseImageColor(id);
    } else {
        const KF_FP3 col = sampleFP3(e.color, 0);
        c.setColor(id, (uint32_t(channel8(col.x)) << 16) | (uint32_t(channel8(col.y)) << 8) | channel8(col.z));
    }
    c.setRotation(id, sampleFP(e.clipRotation, 0));
    const float* keys = nullptr;
    int count = gradientKeys(e.gradientParticleSize, &keys);
    if (count > 0) c.setSizeGradient(id, count, keys);
    count = gradientKeys(e.gradientColor, &keys);
    if (count > 0) c.setColorGradient(id, count, keys);
    c.setDefaultEffect(id);
    applyEffectParameters(e, id, 0.0f);
}

int findObject(const char* name, int objectBase, const char* const* names, int count) {
    if (!name) return -1;
    for (int i = 0; i < count; ++i)
        if (sameText(names[i], name)) return objectBase + i;
    return -1;
}

// Creates emitter i; whether it exists afterwards.
bool create(SlotEmitters& slot, int i, int objectBase, const char* const* names, int count, bool reporting) {
    const KeSceneEmitterCalls& c = keSceneEmitterCalls();
    const SceneEmitter& e = slot.items[size_t(i)];
    const int id = slot.base + i;
    const char* image = e.image ? e.image : "";
    std::string imagePath;
    if (*image) {
        if (!keResolveDiskPath(image, &imagePath)) imagePath = keForwardSlashes(image);
        image = imagePath.c_str();
    }
    const bool onMesh = e.type == 1 || (e.type == 0 && (e.nozzle == 2 || e.nozzle == 3 || e.nozzle == 5));
    const int object = onMesh ? findObject(e.name, objectBase, names, count) : -1;
    if (onMesh && object < 0) {
        reportError("fxemitter mesh id=%d image file='%s' cannot find object ", id, imageText(e));
    } else if (e.type == 1) {
        c.makeMeshStatic(id, image, object);
    } else if (e.type == 0) {
        const KF_FP3 size = sampleFP3(e.generatorSize, 0);
        switch (e.nozzle) {
        case 0: c.makeBox(id, image, size.x, size.y, size.z); break;
        case 1: c.makeSphere(id, image, size.x, size.y, size.z); break;
        case 2: c.makeMeshVertices(id, image, object); break;
        case 3: c.makeMeshNormal(id, image, object); break;
        case 5: c.makeMeshSurface(id, image, object); break;
        case 8: c.makeParticles(id, image, -1); break;
        case 9: c.makeDyingParticles(id, image, -1); break;
        default:
            reportError("Unsupported Nozzle type %d for fxemitter id=%d (image file='%s')", e.nozzle, id, imageText(e));
            break;
        }
        if (c.exist(id)) c.setHyperVoxel(id, e.hyperVoxel ? 1 : 0);
    }
    if (!c.exist(id)) {
        if (reporting) reportError("The fxemitter id=%d (image file='%s') cannot be created", id, imageText(e));
        return false;
    }
    configure(e, id);
    return true;
}

void animateOne(const SceneEmitter& e, int id, float s, const float* origin) {
    const KeSceneEmitterCalls& c = keSceneEmitterCalls();
    KF_FP3 v = sampleFP3(e.position, s);
    if (origin) {
        v.x -= origin[0];
        v.y -= origin[1];
        v.z -= origin[2];
    }
    c.position(id, v.x, v.y, v.z);
    v = e.rotation ? KF_FP3_Slerp_HPB_To_XYZ(e.rotation, s) : KF_FP3{0, 0, 0};
    c.rotate(id, v.x * KE_SCENE_RAD_TO_DEG, v.y * KE_SCENE_RAD_TO_DEG, v.z * KE_SCENE_RAD_TO_DEG);
    v = sampleFP3(e.velocity, s);
    c.setVelocity(id, v.x, v.y, v.z);
    c.setParentMotion(id, sampleFP(e.parentMotion, s));
    v = sampleFP3(e.gravity, s);
    c.setGravity(id, v.x, v.y, v.z);
    c.setBirthRate(id, sampleFP(e.birthRate, s));
    c.setLifeTime(id, sampleFP(e.lifeTime, s), sampleFP(e.lifeTimePm, s));
    c.setExplosion(id, sampleFP(e.explosion, s));
    c.setWeight(id, sampleFP(e.weight, s));
    c.setResistance(id, sampleFP(e.resistance, s));
    c.setVibration(id, sampleFP(e.vibration, s));
    c.setRandomVelocity(id, sampleFP(e.randomVelocity, s));
    c.setCurlNoisePower(id, sampleFP(e.curlNoisePower, s));
    c.setCurlNoiseFrequency(id, sampleFP(e.curlNoiseFrequency, s));
    if (e.effectParameters) applyEffectParameters(e, id, s);
}

void describeAll(SlotEmitters& slot, KF_Node* scene) {
    KF_Node* list = scene ? KF_Find(scene, "FxEmitters") : nullptr;
    for (int32_t i = 0; list && list->kind == KF_NODE && i < list->a; ++i)
        if (list->children[i] && list->children[i]->kind == KF_NODE) slot.items.push_back(describe(list->children[i]));
}

void createLocked(SlotEmitters& slot, int i, int objectBase, const char* const* names, int count, bool extra,
                  bool reporting) {
    if (create(slot, i, objectBase, names, count, reporting) && extra) keSceneEmitterCalls().lockOn(slot.base + i);
}

// Parents once every emitter exists: nozzles 7 to 9 by "parentName".
void setParents(const SlotEmitters& slot) {
    const KeSceneEmitterCalls& c = keSceneEmitterCalls();
    for (int i = 0; i < int(slot.items.size()); ++i) {
        const SceneEmitter& e = slot.items[size_t(i)];
        if (e.type != 0 || e.nozzle < 7 || e.nozzle > 9) continue;
        int parent = -1;
        for (int k = 0; k < int(slot.items.size()) && parent < 0; ++k)
            if (sameText(slot.items[size_t(k)].name, e.parentName)) parent = slot.base + k;
        if (parent < 0) reportError("fxemitter parent-emitter id=%d cannot find parent emitter", slot.base + i);
        c.setParent(slot.base + i, parent);
    }
}

const KeSceneEmitterCalls g_engineCalls = {
    keMakeFxEmitterBox,
    keMakeFxEmitterSphere,
    keMakeFxEmitterMeshVertices,
    keMakeFxEmitterMeshNormal,
    keMakeFxEmitterMeshSurface,
    keMakeFxEmitterParticles,
    keMakeFxEmitterDyingParticles,
    keMakeFxEmitterMeshStatic,
    keFxEmitterExist,
    keShowFxEmitter,
    keHideFxEmitter,
    keDeleteFxEmitter,
    kePositionFxEmitter,
    keRotateFxEmitter,
    keLockFxEmitterOn,
    keSetFxEmitterVelocity,
    keSetFxEmitterGravity,
    keSetFxEmitterParentMotion,
    keSetFxEmitterBirthRate,
    keSetFxEmitterLifeTime,
    keSetFxEmitterExplosion,
    keSetFxEmitterWeight,
    keSetFxEmitterResistance,
    keSetFxEmitterVibration,
    keSetFxEmitterRandomVelocity,
    keSetFxEmitterCurlNoisePower,
    keSetFxEmitterCurlNoiseFrequency,
    keSetFxEmitterParticleLimit,
    keSetFxEmitterParticleSize,
    keSetFxEmitterBlendMode,
    keSetFxEmitterUseImageColor,
    keSetFxEmitterColor,
    keSetFxEmitterRotation,
    keSetFxEmitterSizeGradient,
    keSetFxEmitterColorGradient,
    keSetFxEmitterParent,
    keSetFxEmitterHyperVoxel,
    keSetFxEmitterDefaultEffect,
    keSetFxEmitterEffectParameters,
    keFxResetEmitter,
    keFxResetEmitterEmittedCount,
};

}  // namespace

const KeSceneEmitterCalls& keSceneEngineEmitterCalls() { return g_engineCalls; }
void keSceneSetEmitterCalls(const KeSceneEmitterCalls* calls) { g_calls = calls; }
const KeSceneEmitterCalls& keSceneEmitterCalls() { return g_calls ? *g_calls : g_engineCalls; }

void keSceneEmittersLoad(int slot, KF_Node* scene, int emitterBase, int objectBase, const char* const* objectNames,
                         int objectCount, bool extra, bool reporting) {
    SlotEmitters* s = slotAt(slot);
    if (!s) return;
    *s = SlotEmitters();
    s->base = emitterBase;
    describeAll(*s, scene);
    for (int i = 0; i < int(s->items.size()); ++i) createLocked(*s, i, objectBase, objectNames, objectCount, extra, reporting);
    setParents(*s);
}

void keSceneEmittersReload(int slot, KF_Node* scene, int objectBase, const char* const* objectNames, int objectCount,
                           bool extra, bool reporting) {
    SlotEmitters* s = slotAt(slot);
    if (!s) return;
    SlotEmitters next;
    next.base = s->base;
    describeAll(next, scene);
    const KeSceneEmitterCalls& c = keSceneEmitterCalls();
    if (next.items.size() != s->items.size()) {
        keSceneEmittersUnload(slot);
        *s = std::move(next);
        for (int i = 0; i < int(s->items.size()); ++i) createLocked(*s, i, objectBase, objectNames, objectCount, extra, reporting);
        setParents(*s);
    } else {
        bool anyMade = false;
        for (int i = 0; i < int(next.items.size()); ++i) {
            const SceneEmitter& was = s->items[size_t(i)];
            const SceneEmitter& now = next.items[size_t(i)];
            const int id = next.base + i;
            if (now.type != was.type || now.nozzle != was.nozzle || !sameOrNone(now.image, was.image) ||
                !sameOrNone(now.name, was.name) || !sameValue(now.generatorSize, was.generatorSize) ||
                !sameOrNone(now.effectFile, was.effectFile)) {
                c.remove(id);
                createLocked(next, i, objectBase, objectNames, objectCount, extra, reporting);
                anyMade = true;
            } else if (c.exist(id) &&
                       (!sameValue(now.particleSize, was.particleSize) || now.particleLimit != was.particleLimit ||
                        now.clipAlpha != was.clipAlpha || now.clipFlags != was.clipFlags ||
                        !sameValue(now.clipRotation, was.clipRotation) || !sameValue(now.color, was.color) ||
                        !sameValue(now.gradientParticleSize, was.gradientParticleSize) ||
                        !sameValue(now.gradientColor, was.gradientColor))) {
                configure(now, id);
            }
            if (c.exist(id)) c.resetEmittedCount(id);
        }
        *s = std::move(next);
        if (anyMade) setParents(*s);
    }
}

void keSceneEmittersAnimate(int slot, float sample, int timeMs, int lastTimeMs, const float* origin) {
    SlotEmitters* s = slotAt(slot);
    if (!s) return;
    const KeSceneEmitterCalls& c = keSceneEmitterCalls();
    for (int i = 0; i < int(s->items.size()); ++i)
        if (c.exist(s->base + i)) animateOne(s->items[size_t(i)], s->base + i, sample, origin);
    // A scene started again from its beginning restarts its particles.
    if (timeMs < 1 && timeMs != lastTimeMs)
        for (int i = 0; i < int(s->items.size()); ++i)
            if (c.exist(s->base + i)) c.reset(s->base + i);
}

void keSceneEmittersSetVisible(int slot, bool visible) {
    SlotEmitters* s = slotAt(slot);
    if (!s) return;
    const KeSceneEmitterCalls& c = keSceneEmitterCalls();
    for (int i = 0; i < int(s->items.size()); ++i)
        if (c.exist(s->base + i)) {
            if (visible)
                c.show(s->base + i);
            else
                c.hide(s->base + i);
        }
}

void keSceneEmittersUnload(int slot) {
    SlotEmitters* s = slotAt(slot);
    if (!s) return;
    const KeSceneEmitterCalls& c = keSceneEmitterCalls();
    for (int i = 0; i < int(s->items.size()); ++i) c.remove(s->base + i);
    *s = SlotEmitters();
}

int keSceneEmittersCount(int slot) {
    SlotEmitters* s = slotAt(slot);
    return s ? int(s->items.size()) : 0;
}

}  // namespace kolm
