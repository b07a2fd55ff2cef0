#include "scene/KeScene.h"

#include "core/KeError.h"
#include "files/KePathResolve.h"
#include "api/KeSurfaceApi.h"
#include "kf/KF_Channel.h"
#include "kf/kfile.h"
#include "scene/KeSceneCalls.h"
#include "scene/KeSceneEmitters.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace kolm {

namespace {

// Property nodes of one item, looked up once at load so that animation never searches.
struct SceneCamera {
    KF_Node* position = nullptr;
    KF_Node* rotation = nullptr;
    KF_Node* zoomFactor = nullptr;
    KF_Node* focalDistance = nullptr;
    KF_Node* fStop = nullptr;
    KF_Node* separation = nullptr;
    KF_Node* convergencePoint = nullptr;
    int width = 640;
    int height = 480;
    int flags = 0;  // 1: stereo, 8: depth of field
    int usingConvergencePoint = 0;
};

struct SceneObject {
    const char* kfilename = nullptr;  // mesh file
    const char* filename = nullptr;   // LightWave object name
    const char* name = nullptr;
    KF_Node* position = nullptr;
    KF_Node* rotation = nullptr;
    KF_Node* scale = nullptr;
    KF_Node* morphs = nullptr;
    KF_Node* useCubeMaps = nullptr;
    int shadowOpts = 0;
    int sceneObject = -1;  // index into SceneObjects by "filename", -1: none
    std::vector<int> cubeMapOfUse;  // per "UseCubeMaps" entry: index of its cube map, -1: none
    int initialUse = -1;            // the use chosen at load, -1: none
    // Surface rows the object took at load: the update form sets no rows beyond them, so that an
    // object with fewer rows than its scene object has surfaces is reported once, not per frame.
    int surfaceRows = 0;
    // Per "UseCubeMaps" entry: its "influence", "aabbPosition" and "aabbScale".
    std::vector<KF_Node*> useInfluence, useBoxPosition, useBoxScale;
};

// One numeric surface parameter of a scene object, found at load: surface row, parameter index
// (0..38), its "value" node and how it is set (0 three floats, 1 one float, 2 an integer).
struct SurfaceValue {
    int row = 0;
    int parameter = 0;
    int kind = 0;
    const KF_Node* value = nullptr;
};

// The effect parameter list of a scene object's surface row, found at load: the row, the file
// the surface's effect names ("" for none) and the list's group.
struct SurfaceEffectList {
    int row = 0;
    const char* file = "";
    const KF_Node* list = nullptr;
};

struct SceneLight {
    int type = 0;  // 0 distant, 2 spot, anything else point
    KF_Node* position = nullptr;
    KF_Node* rotation = nullptr;
    KF_Node* rawColor = nullptr;
    KF_Node* intensity = nullptr;
    KF_Node* coneAngles = nullptr;
    int falloff = 0;
    KF_Node* range = nullptr;
    int shadowType = 0;
    KF_Node* shadowColor = nullptr;
    int shadMapSize = 0;
    float shadMapFuzz = 0;
    const char* projImage = nullptr;
    int flags = 0;
    KF_Node* volumetric = nullptr;
    KF_Node* volumetricDensity = nullptr;
    KF_Node* volumetricBase = nullptr;
};

struct SceneCubeMap {
    const char* name = nullptr;
    int renderType = 0;
    int textureSize = 0;
    float renderTime = 0;  // s of LightWave time
    KF_Node* position = nullptr;
    KF_Node* cameraOffset = nullptr;
    int showVolumetric = 0;
    int clampVolumetric = 0;
    float clampVolumetricMax = 0;
    std::vector<int> hidden;  // object indices hidden while rendering ("hideSet", "hideObject")
    std::vector<int> shown;   // object indices shown exclusively ("showSet"), when hasShowSet
    bool hasShowSet = false;
};

// Render setting switches and channels (ImageProcessing and KolmRenderSettings).
struct SceneSettings {
    int glow = 0, streak = 0, bloom = 0, ssao = 0, shadow = 0, advancedDof = 0;
    KF_Node* glowIntensity = nullptr;
    KF_Node* glowRadius = nullptr;
    KF_Node* streakValues[7] = {};  // glow min, colour key, match, colorize, attenuation, angle, compose
    KF_Node* bloomValues[2] = {};
    KF_Node* ssaoValues[4] = {};
    KF_Node* shadowEpsilon = nullptr;
    KF_Node* dofValues[4] = {};  // min focus, max focus, focused, radius scale
};

// The last render switches sent: -1 unknown (after loading and preparing), 0 after hiding.
struct SettingCaches {
    int glow = -1, streak = -1, bloom = -1, ssao = -1, shadow = -1, dof = -1, advancedDof = -1;
    void set(int v) { glow = streak = bloom = ssao = shadow = dof = advancedDof = v; }
};

struct SceneCameraEffect {
    const char* file = nullptr;
    int useFrame = 0;
    int startFrame = 0;
    int endFrame = 0;
    KF_Node* parameters = nullptr;
};

struct Slot {
    bool active = false;
    bool extra = false;
    int objectBase = 0, lightBase = 0, emitterBase = 0, cubeMapBase = 0, cameraEffectBase = 0;
    KF_Document* doc = nullptr;
    KF_Node* scene = nullptr;
    std::string name;  // at most 255 characters
    int frameStart = 0, frameEnd = 0, frameStep = 1;
    float framesPerSecond = 0;
    const char* music = nullptr;
    float audioStartTime = 0;
    KF_Node* zenith = nullptr;
    KF_Node* ambient = nullptr;       // LightInfo "ambient"
    KF_Node* settings = nullptr;      // KolmRenderSettings
    KF_Node* renderCamera = nullptr;  // SceneInfo "renderCamera"
    int emitterCount = 0;
    std::vector<SceneCamera> cameras;
    std::vector<SceneObject> objects;
    std::vector<SceneLight> lights;
    std::vector<SceneCubeMap> cubeMaps;
    std::vector<SceneCameraEffect> cameraEffects;
    std::vector<KF_Node*> sceneObjects;
    std::vector<std::vector<SurfaceValue>> surfaceValues;  // per scene object
    std::vector<std::vector<SurfaceEffectList>> surfaceEffectLists;  // per scene object
    SceneSettings settingNodes;
    bool cameraEffectShown[KE_SCENE_MAX_CAMERA_EFFECTS] = {};
    SettingCaches caches;
    int lastTime = 0;
    bool shown = false;  // between keSceneShow and keSceneHide
};

Slot g_slots[KE_SCENE_SLOTS];
KeSceneProgress g_progress = nullptr;
void* g_progressUser = nullptr;
bool g_reporting = false;

Slot* slotAt(int slot) {
    if (slot < 0 || slot >= KE_SCENE_SLOTS) return nullptr;
    return &g_slots[slot];
}
Slot* activeSlot(int slot) {
    Slot* s = slotAt(slot);
    return s && s->active ? s : nullptr;
}

// Channel samplers for a slot's property nodes: a missing property reads 0 without a
// message (only a channel of the wrong shape is reported, by the channel function).
float sampleFP(const KF_Node* n, float s) { return n ? KF_FP_Lerp(n, s) : 0.0f; }
KF_FP2 sampleFP2(const KF_Node* n, float s) { return n ? KF_FP2_Lerp(n, s) : KF_FP2{0.0f, 0.0f}; }
KF_FP3 sampleFP3(const KF_Node* n, float s) { return n ? KF_FP3_Lerp(n, s) : KF_FP3{0.0f, 0.0f, 0.0f}; }
KF_FP3 sampleRotation(const KF_Node* n, float s) {
    return n ? KF_FP3_Slerp_HPB_To_XYZ(n, s) : KF_FP3{0.0f, 0.0f, 0.0f};
}

// Value readers: a missing or mistyped property reads 0 (null for strings).
int intOf(const KF_Node* n, int word = 0) {
    if (!n || n->kind != KF_VALUE || (n->a != KF_I4 && n->a != KF_U4) || n->b <= word) return 0;
    return static_cast<const int32_t*>(n->data)[word];
}
const char* strOf(const KF_Node* n) {
    if (!n || n->kind != KF_VALUE || n->a != KF_STR) return nullptr;
    return static_cast<const char*>(n->data);
}
// Whether a group node (a group of items is made of groups; other children are skipped).
bool isGroup(const KF_Node* n) { return n && n->kind == KF_NODE; }
std::vector<KF_Node*> groupsOf(KF_Node* parent) {
    std::vector<KF_Node*> out;
    if (!isGroup(parent)) return out;
    for (int32_t i = 0; i < parent->a; ++i)
        if (isGroup(parent->children[i])) out.push_back(parent->children[i]);
    return out;
}

uint8_t channel8(float v) {
    float x = v * 255.0f;
    if (!(x > 0.0f)) return 0;  // NaN included
    if (x >= 255.0f) return 255;
    return static_cast<uint8_t>(x);
}
// 0xRRGGBB of a 0-to-1 colour; each component is clamped so that none spills into its
// neighbour.
uint32_t colour8(KF_FP3 c) {
    return (uint32_t(channel8(c.x)) << 16) | (uint32_t(channel8(c.y)) << 8) | channel8(c.z);
}

// The effect parameter lists of a scene object's first KE_SCENE_MAX_SURFACES surfaces (of the
// effect that applies to each), in surface order, for the per-frame update form.
std::vector<SurfaceEffectList> surfaceEffectListsOf(KF_Node* sceneObject) {
    std::vector<SurfaceEffectList> out;
    KF_Node* group = KF_Find(sceneObject, "Surfaces");
    const size_t count = std::min(groupsOf(group).size(), size_t(KE_SCENE_MAX_SURFACES));
    if (count == 0) return out;
    std::vector<const KF_Node*> effects(count);
    keSceneSurfaceEffects(group, effects.data(), int(count));
    for (size_t k = 0; k < count; ++k) {
        KF_Node* shader = const_cast<KF_Node*>(effects[k]);
        const KF_Node* list = KF_Find(shader, "Parameters");
        if (!list) continue;
        const char* own = strOf(KF_Find(shader, "filename"));
        out.push_back({int(k), own ? own : "", list});
    }
    return out;
}

// The numeric surface parameters of a scene object's first KE_SCENE_MAX_SURFACES surfaces, in
// surface and parameter order, for the per-frame update form.
std::vector<SurfaceValue> surfaceValuesOf(KF_Node* sceneObject) {
    std::vector<SurfaceValue> out;
    const std::vector<KF_Node*> surfaces = groupsOf(KF_Find(sceneObject, "Surfaces"));
    for (size_t k = 0; k < surfaces.size() && k < size_t(KE_SCENE_MAX_SURFACES); ++k) {
        KF_Node* parameters = KF_Find(surfaces[k], "Parameters");
        if (!isGroup(parameters)) continue;
        for (int32_t i = 0; i < parameters->a; ++i) {
            KF_Node* g = parameters->children[i];
            if (!isGroup(g)) continue;
            const int index = keSurfaceParameterIndex(g->name);
            const KF_Node* v = KF_Find(g, "value");
            if (index < 0 || !v) continue;
            SurfaceValue sv;
            sv.row = int(k);
            sv.parameter = index;
            sv.value = v;
            if (v->kind == KF_ARRAY || (v->kind == KF_VALUE && v->a == KF_FP && v->b == 3))
                sv.kind = 0;
            else if (v->kind == KF_VALUE && (v->a == KF_FP || v->a == KF_FP_C))
                sv.kind = 1;
            else if (v->kind == KF_VALUE && (v->a == KF_I4 || v->a == KF_U4))
                sv.kind = 2;
            else
                continue;  // strings leave the parameter alone
            out.push_back(sv);
        }
    }
    return out;
}

// Builds the description; false (with a message) for a document the time rules cannot use.
bool describe(Slot& s, const char* path) {
    KF_Node* info = KF_Find(s.scene, "SceneInfo");
    s.frameStart = intOf(KF_Find(info, "frameStart"));
    s.frameEnd = intOf(KF_Find(info, "frameEnd"));
    s.frameStep = intOf(KF_Find(info, "frameStep"));
    s.framesPerSecond = KF_GetFP(KF_Find(info, "framesPerSecond"), 0);
    if (!(s.framesPerSecond >= 1.0f)) {
        reportError("The scene '%s' cannot be loaded: framesPerSecond %g is below 1", path,
                    double(s.framesPerSecond));
        return false;
    }
    if (s.frameStep < 1) {
        reportError("The scene '%s' cannot be loaded: frameStep %d is below 1", path, s.frameStep);
        return false;
    }
    s.music = strOf(KF_Find(info, "loadAudio"));
    if (s.music && !*s.music) s.music = nullptr;
    s.audioStartTime = KF_GetFP(KF_Find(info, "audioStartTime"), 0);
    s.zenith = KF_Find(KF_Find(s.scene, "BackdropInfo"), "zenith");
    s.ambient = KF_Find(KF_Find(s.scene, "LightInfo"), "ambient");
    s.settings = KF_Find(s.scene, "KolmRenderSettings");
    s.renderCamera = KF_Find(info, "renderCamera");

    s.sceneObjects = groupsOf(KF_Find(s.scene, "SceneObjects"));
    for (KF_Node* so : s.sceneObjects) {
        s.surfaceValues.push_back(surfaceValuesOf(so));
        s.surfaceEffectLists.push_back(surfaceEffectListsOf(so));
    }

    SceneSettings& st = s.settingNodes;
    KF_Node* image = KF_Find(s.scene, "ImageProcessing");
    st.glow = intOf(KF_Find(image, "glowEffect"));
    st.glowIntensity = KF_Find(image, "glowIntensity");
    st.glowRadius = KF_Find(image, "glowRadius");
    KF_Node* rs = s.settings;
    st.streak = intOf(KF_Find(rs, "CH_STREAK_ENABLE"));
    const char* streakKeys[7] = {"CH_STREAK_GLOWMIN",     "CH_STREAK_COLORKEY", "CH_STREAK_COLORKEYMATCH",
                                 "CH_STREAK_COLORIZE",    "CH_STREAK_ATTENUATION", "CH_STREAK_ANGLE",
                                 "CH_STREAK_COMPOSE"};
    for (int i = 0; i < 7; ++i) st.streakValues[i] = KF_Find(rs, streakKeys[i]);
    st.bloom = intOf(KF_Find(rs, "CH_BLOOM_ENABLE"));
    st.bloomValues[0] = KF_Find(rs, "CH_BLOOM_SPECULARMIN");
    st.bloomValues[1] = KF_Find(rs, "CH_BLOOM_COMPOSE");
    st.ssao = intOf(KF_Find(rs, "CH_SSAO_ENABLE"));
    st.ssaoValues[0] = KF_Find(rs, "CH_SSAO_DISTANCEREACH");
    st.ssaoValues[1] = KF_Find(rs, "CH_SSAO_MAXDEPTHDECLINE");
    st.ssaoValues[2] = KF_Find(rs, "CH_SSAO_DEPTHALIASINGEPSILON");
    st.ssaoValues[3] = KF_Find(rs, "CH_SSAO_OUTPUTMULTIPLIER");
    st.shadow = intOf(KF_Find(rs, "CH_SHADOW_ENABLE"));
    st.shadowEpsilon = KF_Find(rs, "CH_SHADOW_EPSILON");
    st.advancedDof = intOf(KF_Find(rs, "CH_DOF_ADVANCED_ENABLE"));
    st.dofValues[0] = KF_Find(rs, "CH_DOF_MINFOCUSDIST");
    st.dofValues[1] = KF_Find(rs, "CH_DOF_MAXFOCUSDIST");
    st.dofValues[2] = KF_Find(rs, "CH_DOF_FOCUSEDDIST");
    st.dofValues[3] = KF_Find(rs, "CH_DOF_RADIUSSCALE");

    for (KF_Node* g : groupsOf(KF_Find(s.scene, "Cameras"))) {
        SceneCamera c;
        c.position = KF_Find(g, "position");
        c.rotation = KF_Find(g, "rotation");
        c.zoomFactor = KF_Find(g, "zoomFactor");
        c.focalDistance = KF_Find(g, "focalDistance");
        c.fStop = KF_Find(g, "fStop");
        c.separation = KF_Find(g, "separation");
        c.convergencePoint = KF_Find(g, "convergencePoint");
        if (KF_Node* r = KF_Find(g, "resolution")) {
            c.width = intOf(r, 0);
            c.height = intOf(r, 1);
        }
        c.flags = intOf(KF_Find(g, "flags"));
        c.usingConvergencePoint = intOf(KF_Find(g, "usingConvergencePoint"));
        s.cameras.push_back(c);
    }

    for (KF_Node* g : groupsOf(KF_Find(s.scene, "Objects"))) {
        SceneObject o;
        o.kfilename = strOf(KF_Find(g, "kfilename"));
        o.filename = strOf(KF_Find(g, "filename"));
        o.name = strOf(KF_Find(g, "name"));
        o.position = KF_Find(g, "position");
        o.rotation = KF_Find(g, "rotation");
        o.scale = KF_Find(g, "scale");
        o.morphs = KF_Find(g, "Morphs");
        o.useCubeMaps = KF_Find(g, "UseCubeMaps");
        o.shadowOpts = intOf(KF_Find(g, "shadowOpts"));
        if (o.filename)
            for (size_t k = 0; k < s.sceneObjects.size(); ++k) {
                const char* f = strOf(KF_Find(s.sceneObjects[k], "filename"));
                if (f && std::strcmp(f, o.filename) == 0) o.sceneObject = int(k);  // last wins
            }
        s.objects.push_back(o);
    }

    for (KF_Node* g : groupsOf(KF_Find(s.scene, "CubeMaps"))) {
        SceneCubeMap c;
        c.name = strOf(KF_Find(g, "name"));
        c.renderType = intOf(KF_Find(g, "renderType"));
        c.textureSize = intOf(KF_Find(g, "textureSize"));
        c.renderTime = KF_GetFP(KF_Find(g, "renderTime"), 0);
        c.position = KF_Find(g, "position");
        c.cameraOffset = KF_Find(g, "cameraOffset");
        c.showVolumetric = intOf(KF_Find(g, "showVolumetric"));
        c.clampVolumetric = intOf(KF_Find(g, "clampVolumetric"));
        c.clampVolumetricMax = KF_GetFP(KF_Find(g, "clampVolumetricMax"), 0);
        // Hide and show sets name objects; every object of a listed name belongs to the set.
        auto addNamed = [&](const char* wanted, std::vector<int>& out) {
            for (size_t k = 0; wanted && k < s.objects.size(); ++k)
                if (s.objects[k].name && std::strcmp(s.objects[k].name, wanted) == 0) out.push_back(int(k));
        };
        auto addSet = [&](KF_Node* set, std::vector<int>& out) {
            if (!isGroup(set)) return;
            for (int32_t k = 0; k < set->a; ++k) addNamed(strOf(set->children[k]), out);
        };
        addSet(KF_Find(g, "hideSet"), c.hidden);
        if (intOf(KF_Find(g, "hideObject"))) addNamed(c.name, c.hidden);
        KF_Node* showSet = KF_Find(g, "showSet");
        c.hasShowSet = isGroup(showSet) && showSet->a > 0;
        addSet(showSet, c.shown);
        s.cubeMaps.push_back(c);
    }

    // Cube-map uses: each names its cube map by "renderCubeMap" (byte comparison, the first
    // cube map of that name). The initial choice is the first use whose cube map was found and
    // that has a box ("aabbPosition" and "aabbScale"), else the first whose cube map was found.
    for (SceneObject& o : s.objects) {
        const std::vector<KF_Node*> uses = groupsOf(o.useCubeMaps);
        int firstFound = -1, firstBoxed = -1;
        for (size_t u = 0; u < uses.size(); ++u) {
            o.useInfluence.push_back(KF_Find(uses[u], "influence"));
            const bool boxed = KF_Find(uses[u], "aabbPosition") && KF_Find(uses[u], "aabbScale");
            o.useBoxPosition.push_back(boxed ? KF_Find(uses[u], "aabbPosition") : nullptr);
            o.useBoxScale.push_back(boxed ? KF_Find(uses[u], "aabbScale") : nullptr);
            const char* wanted = strOf(KF_Find(uses[u], "renderCubeMap"));
            int found = -1;
            for (size_t c = 0; wanted && c < s.cubeMaps.size() && found < 0; ++c)
                if (s.cubeMaps[c].name && std::strcmp(s.cubeMaps[c].name, wanted) == 0) found = int(c);
            o.cubeMapOfUse.push_back(found);
            if (found < 0) continue;
            if (firstFound < 0) firstFound = int(u);
            if (firstBoxed < 0 && KF_Find(uses[u], "aabbPosition") && KF_Find(uses[u], "aabbScale"))
                firstBoxed = int(u);
        }
        o.initialUse = firstBoxed >= 0 ? firstBoxed : firstFound;
    }

    for (KF_Node* g : groupsOf(KF_Find(s.scene, "Lights"))) {
        SceneLight l;
        l.type = intOf(KF_Find(g, "type"));
        l.position = KF_Find(g, "position");
        l.rotation = KF_Find(g, "rotation");
        l.rawColor = KF_Find(g, "rawColor");
        l.intensity = KF_Find(g, "intensity");
        l.coneAngles = KF_Find(g, "coneAngles");
        l.falloff = intOf(KF_Find(g, "falloff"));
        l.range = KF_Find(g, "range");
        l.shadowType = intOf(KF_Find(g, "shadowType"));
        l.shadowColor = KF_Find(g, "shadowColor");
        l.shadMapSize = intOf(KF_Find(g, "shadMapSize"));
        l.shadMapFuzz = KF_GetFP(KF_Find(g, "shadMapFuzz"), 0);
        l.projImage = strOf(KF_Find(g, "projImage"));
        l.flags = intOf(KF_Find(g, "flags"));
        l.volumetric = KF_Find(g, "Volumetric");
        l.volumetricDensity = KF_Find(l.volumetric, "density");
        l.volumetricBase = KF_Find(l.volumetric, "base");
        s.lights.push_back(l);
    }


    s.emitterCount = int(groupsOf(KF_Find(s.scene, "FxEmitters")).size());

    for (KF_Node* g : groupsOf(KF_Find(s.scene, "KolmPostProcs"))) {
        SceneCameraEffect e;
        KF_Node* effect = KF_Find(g, "Effect");
        e.file = strOf(KF_Find(effect, "filename"));
        e.parameters = KF_Find(effect, "Parameters");
        e.useFrame = intOf(KF_Find(g, "useframe"));
        e.startFrame = intOf(KF_Find(g, "startframe"));
        e.endFrame = intOf(KF_Find(g, "endframe"));
        s.cameraEffects.push_back(e);
    }
    return true;
}

// The ID of an object an active slot of the same name loaded from the same mesh file before
// object `index` of slot `current`, or -1. The search stops at the object itself.
int findLoadedMesh(int current, int index) {
    const Slot& cur = g_slots[current];
    const char* file = cur.objects[size_t(index)].kfilename;
    if (!file) return -1;
    const KeSceneCalls& calls = keSceneCalls();
    for (int si = 0; si < KE_SCENE_SLOTS; ++si) {
        const Slot& s = g_slots[si];
        if (!s.active || s.name != cur.name) continue;
        for (size_t j = 0; j < s.objects.size(); ++j) {
            if (si == current && int(j) == index) return -1;
            const char* f = s.objects[j].kfilename;
            if (!f || std::strcmp(f, file) != 0) continue;
            const int id = s.objectBase + int(j);
            if (calls.objectExist(id)) return id;  // never clone one that failed to load
        }
    }
    return -1;
}

// A file named in a document written on Windows: "\" becomes "/", and a name whose case
// differs from the one on disk is found (files that are not on disk keep their name, with "/").
std::string documentFile(const char* name) {
    std::string resolved;
    if (keResolveDiskPath(name, &resolved)) return resolved;
    return keForwardSlashes(name);
}

// Applying use u of an object: its cube map, and its box at s when it has one.
void applyCubeMapUse(const Slot& s, const SceneObject& o, int id, int u, float sample) {
    const size_t k = size_t(u);
    const KF_FP3 p = sampleFP3(o.useBoxPosition[k], sample);
    const KF_FP3 q = sampleFP3(o.useBoxScale[k], sample);
    keSceneCalls().setObjectCubeMap(id, s.cubeMapBase + o.cubeMapOfUse[k], o.useBoxPosition[k] != nullptr, p.x, p.y,
                                    p.z, q.x, q.y, q.z);
}

bool loadObject(int slot, int index, bool instanceMode) {
    Slot& s = g_slots[slot];
    const KeSceneCalls& calls = keSceneCalls();
    const SceneObject& o = s.objects[size_t(index)];
    const int id = s.objectBase + index;
    const int found = findLoadedMesh(slot, index);
    if (found < 0)
        calls.loadObject(documentFile(o.kfilename ? o.kfilename : "").c_str(), id);
    else if (instanceMode)
        calls.instanceObject(id, found);
    else
        calls.cloneObject(id, found);
    if (calls.objectExist(id)) {
        if (o.initialUse >= 0) applyCubeMapUse(s, o, id, o.initialUse, 0.0f);
        return true;
    }
    if (g_reporting)
        reportError("The object id=%d '%s' cannot be loaded", id, o.kfilename ? o.kfilename : "");
    return false;
}

// Cone angles (a, b) in radians, a the cone and b its soft edge: inner cone a - b, outer cone a,
// in degrees. The same conversion at creation and in every animation.
void setSpotCone(const SceneLight& l, int id, float sample) {
    const KF_FP2 cone = sampleFP2(l.coneAngles, sample);
    keSceneCalls().setSpotLight(id, (cone.x - cone.y) * KE_SCENE_RAD_TO_DEG, cone.x * KE_SCENE_RAD_TO_DEG);
}

void setLightColour(const SceneLight& l, int id, float sample) {
    const KeSceneCalls& calls = keSceneCalls();
    const KF_FP3 c = sampleFP3(l.rawColor, sample);
    const float i = sampleFP(l.intensity, sample);
    calls.colorLight(id, colour8({c.x * i, c.y * i, c.z * i}));
    calls.setLightRawColor(id, c.x, c.y, c.z);
    calls.setLightIntensity(id, i);
}

KF_FP3 degrees(const KF_Node* rotation, float sample) {
    const KF_FP3 r = sampleRotation(rotation, sample);
    return {r.x * KE_SCENE_RAD_TO_DEG, r.y * KE_SCENE_RAD_TO_DEG, r.z * KE_SCENE_RAD_TO_DEG};
}

// Surface k of object `id` at sample 0, first-time form: every parameter of the 39 with a value
// (vectors three floats, scalars one, integers their first word; strings and unset ones leave
// the channel alone) and its texture file; then its effect (`effect`, the "Effect" group that
// applies to it, names its own file; without one the renderer's effect applies) and the
// effect's parameter list. False when the object has no row k: the surfaces after it are not
// applied either.
bool applySurfaceFirstTime(int id, int k, const KF_Node* surface, const KF_Node* effect) {
    const KeSceneCalls& calls = keSceneCalls();
    KF_Node* parameters = KF_Find(const_cast<KF_Node*>(surface), "Parameters");
    for (int32_t i = 0; isGroup(parameters) && i < parameters->a; ++i) {
        KF_Node* g = parameters->children[i];
        if (!isGroup(g)) continue;
        const int index = keSurfaceParameterIndex(g->name);
        if (index < 0) continue;
        const KF_Node* v = KF_Find(g, "value");
        const bool vector = v && (v->kind == KF_ARRAY || (v->kind == KF_VALUE && v->a == KF_FP && v->b == 3));
        int result = 0;
        if (vector) {
            const KF_FP3 f = sampleFP3(v, 0.0f);
            result = calls.setObjectSurfaceParamFloat3(id, k, index, f.x, f.y, f.z);
        } else if (v && v->kind == KF_VALUE && (v->a == KF_FP || v->a == KF_FP_C)) {
            result = calls.setObjectSurfaceParamFloat(id, k, index, sampleFP(v, 0.0f));
        } else if (v && v->kind == KF_VALUE && (v->a == KF_I4 || v->a == KF_U4)) {
            result = calls.setObjectSurfaceParamInt(id, k, index, intOf(v));
        }
        if (result != 0) return false;
        // A texture that is not found is reported by the setter and leaves the channel without
        // one. Images are mip-mapped unless "img_mipmap" is 0; "img_colorspace" 1 marks them sRGB,
        // except bump maps, which hold heights.
        const char* image = strOf(KF_Find(g, "img_filename"));
        if (image && *image) {
            const KF_Node* mipmap = KF_Find(g, "img_mipmap");
            const bool srgb = intOf(KF_Find(g, "img_colorspace")) == 1 && index != 8;
            calls.setObjectSurfaceImage(id, k, index, documentFile(image).c_str(), !mipmap || intOf(mipmap) != 0, srgb);
        }
    }
    KF_Node* shader = const_cast<KF_Node*>(effect);
    const char* own = strOf(KF_Find(shader, "filename"));
    if (own && !*own) own = nullptr;
    const std::string ownFile = own ? documentFile(own) : std::string();
    if (calls.chooseObjectSurfaceEffect(id, k, own ? ownFile.c_str() : nullptr) < 0) return false;
    if (KF_Node* list = KF_Find(shader, "Parameters")) {
        KeSceneParameter values[KE_SCENE_MAX_PARAMETERS];
        const int n = keSceneEvaluateParameters(list, 0.0f, values, KE_SCENE_MAX_PARAMETERS);
        calls.setObjectSurfaceEffectParameters(id, k, own ? own : "", values, n, true);
    }
    return true;
}

// Finishing a loaded object: its shadow casting ("shadowOpts" bit value 2), then its surfaces; a
// scene object with more surfaces than the engine's surface lists hold is reported; only the
// first KE_SCENE_MAX_SURFACES are used.
void finishObject(Slot& s, int index) {
    SceneObject& o = s.objects[size_t(index)];
    keSceneCalls().setObjectCastShadows(s.objectBase + index, (o.shadowOpts & 2) != 0);
    if (o.sceneObject < 0) return;
    KF_Node* surfacesGroup = KF_Find(s.sceneObjects[size_t(o.sceneObject)], "Surfaces");
    const std::vector<KF_Node*> surfaces = groupsOf(surfacesGroup);
    const size_t count = surfaces.size();
    const int id = s.objectBase + index;
    if (count > size_t(KE_SCENE_MAX_SURFACES))
        reportError("The object id=%d '%s' numSurfaces=%d > NOF_SURFACE_MAX=%d. Will result in corruption", id,
                    o.kfilename ? o.kfilename : "", int(count), KE_SCENE_MAX_SURFACES);
    if (count == 0) return;
    std::vector<const KF_Node*> effects(std::min(count, size_t(KE_SCENE_MAX_SURFACES)));
    keSceneSurfaceEffects(surfacesGroup, effects.data(), int(effects.size()));
    o.surfaceRows = 0;
    for (size_t k = 0; k < effects.size(); ++k, ++o.surfaceRows)
        if (!applySurfaceFirstTime(id, int(k), surfaces[k], effects[k])) break;
    keSceneCalls().updateObjectFromSurfaces(id);
}

void setUpLight(const SceneLight& l, int id) {
    const KeSceneCalls& calls = keSceneCalls();
    if (l.type == 0) {
        calls.setDirectionalLight(id, 0, 0, 1);
    } else if (l.type == 2) {
        setSpotCone(l, id, 0);
    } else {
        calls.setPointLight(id, 0, 0, 1);
    }
    calls.setLightRange(id, l.falloff ? sampleFP(l.range, 0) : 10000000.0f);
    setLightColour(l, id, 0);
    calls.setLightShadow(id, l.shadowType == 2);
    if (l.shadowType != 0) {
        calls.colorLightShadow(id, colour8(KF_GetFP3(l.shadowColor, 0)));
        calls.setShadowMapSize(id, l.shadMapSize);
        calls.setShadowMapFuzz(id, l.shadMapFuzz);
    }
    calls.setLightProjImage(id, l.projImage && *l.projImage ? documentFile(l.projImage).c_str() : nullptr);
    // A light set up again (reload) may have stopped being volumetric: the switch is always set.
    const bool volumetric = (l.flags & 0x20) != 0;
    calls.setLightVolumetricOn(id, volumetric);
    if (volumetric) {
        KF_Node* flags = KF_Find(l.volumetric, "flags");
        const bool hasColour = intOf(flags, 4) != 0;
        const KF_FP3 c = hasColour ? sampleFP3(KF_Find(l.volumetric, "color"), 0) : KF_FP3{1, 1, 1};
        calls.setLightVolumetricSettings(id, intOf(flags, 1), hasColour, c.x, c.y, c.z);
    }
}

// Camera effect i's parameter list at sample position s, set on its effect.
void setCameraEffectParameters(const Slot& s, int i, float sample, bool firstTime) {
    const SceneCameraEffect& e = s.cameraEffects[size_t(i)];
    if (!e.parameters) return;
    KeSceneParameter list[KE_SCENE_MAX_PARAMETERS];
    const int n = keSceneEvaluateParameters(e.parameters, sample, list, KE_SCENE_MAX_PARAMETERS);
    keSceneCalls().setCameraEffectParameters(s.cameraEffectBase + i, e.file ? e.file : "", list, n, firstTime);
}

// Backdrop colour and camera range of a normal scene, as showing it sets them.
void applyShowSettings(const Slot& s) {
    const KeSceneCalls& calls = keSceneCalls();
    calls.colorBackdrop(colour8(KF_GetFP3(s.zenith, 0)));
    if (intOf(KF_Find(s.settings, "CH_CAMERARANGE_ENABLE")))
        calls.setCameraRange(KF_GetFP(KF_Find(s.settings, "CH_CAMERARANGE_MIN"), 0),
                             KF_GetFP(KF_Find(s.settings, "CH_CAMERARANGE_MAX"), 0));
}

void freeSlot(Slot& s) {
    KF_Free(s.doc);
    s = Slot();
}

}  // namespace

int keSceneEvaluateParameters(const KF_Node* parameters, float sample, KeSceneParameter* out, int capacity) {
    if (!isGroup(parameters) || !out) return 0;
    const int limit = capacity < KE_SCENE_MAX_PARAMETERS ? capacity : KE_SCENE_MAX_PARAMETERS;
    int n = 0;
    for (int32_t i = 0; i < parameters->a && n < limit; ++i) {
        const KF_Node* g = parameters->children[i];
        if (!isGroup(g)) continue;
        KeSceneParameter p;
        p.name = g->name;
        const KF_Node* v = KF_Find(const_cast<KF_Node*>(g), "value");
        const bool vector = v && (v->kind == KF_ARRAY || (v->kind == KF_VALUE && v->a == KF_FP && v->b == 3));
        if (!v) {
            p.kind = -1;
        } else if (vector) {
            const KF_FP3 f = sampleFP3(v, sample);
            p.kind = 0;
            p.value[0] = f.x;
            p.value[1] = f.y;
            p.value[2] = f.z;
        } else if (v->kind == KF_VALUE && (v->a == KF_FP || v->a == KF_FP_C)) {
            p.kind = 1;
            p.value[0] = sampleFP(v, sample);
        } else if (v->kind == KF_VALUE && (v->a == KF_I4 || v->a == KF_U4)) {
            p.kind = 2;
            p.integer = intOf(v);
        } else if (v->kind == KF_VALUE && v->a == KF_STR) {
            p.kind = 3;
            p.text = strOf(v);
        }
        out[n++] = p;
    }
    return n;
}

int keSceneSurfaceEffects(const KF_Node* surfaces, const KF_Node** out, int capacity) {
    if (!out) return 0;
    std::vector<KF_Node*> list = groupsOf(const_cast<KF_Node*>(surfaces));
    if (list.size() > size_t(KE_SCENE_MAX_SURFACES)) list.resize(size_t(KE_SCENE_MAX_SURFACES));
    const size_t count = capacity < 0 ? 0 : std::min(list.size(), size_t(capacity));
    auto shaderOf = [](KF_Node* surface) {
        KF_Node* shader = KF_Find(surface, "Shader");
        return isGroup(shader) ? shader : nullptr;
    };
    auto effectOf = [&](KF_Node* surface) -> const KF_Node* {
        KF_Node* effect = KF_Find(shaderOf(surface), "Effect");
        return isGroup(effect) ? effect : nullptr;
    };
    auto applyOf = [&](KF_Node* surface) { return intOf(KF_Find(shaderOf(surface), "applyToSurface")); };
    const KF_Node* overrideEffect = nullptr;
    const KF_Node* defaultEffect = nullptr;
    for (KF_Node* surface : list) {
        const KF_Node* effect = effectOf(surface);
        if (!effect) continue;
        if (applyOf(surface) == 2) overrideEffect = effect;
        if (applyOf(surface) == 1) defaultEffect = effect;
    }
    for (size_t k = 0; k < count; ++k) {
        const KF_Node* own = effectOf(list[k]);
        if (applyOf(list[k]) == 3)
            out[k] = nullptr;
        else
            out[k] = overrideEffect ? overrideEffect : own ? own : defaultEffect;
    }
    return int(count);
}

void keSceneSetProgress(KeSceneProgress callback, void* user) {
    g_progress = callback;
    g_progressUser = user;
}

void keSceneSetReporting(bool on) { g_reporting = on; }

int keSceneLoad(const char* path, int slot, int objectBase, int lightBase, int emitterBase,
                int cubeMapBase, int cameraEffectBase, bool instanceMode, const char* name,
                bool extra) {
    if (!slotAt(slot) || !path) return -1;
    if (g_progress && g_progress(0, g_progressUser) != 0) return 1;
    return keSceneLoadDocument(KF_Load(path), path, slot, objectBase, lightBase, emitterBase, cubeMapBase,
                               cameraEffectBase, instanceMode, name, extra, false);
}

int keSceneLoadDocument(KF_Document* doc, const char* path, int slot, int objectBase, int lightBase,
                        int emitterBase, int cubeMapBase, int cameraEffectBase, bool instanceMode,
                        const char* name, bool extra, bool askProgress) {
    Slot* sp = slotAt(slot);
    if (!path) path = "";
    if (!sp) {
        KF_Free(doc);
        return -1;
    }
    if (askProgress && g_progress && g_progress(0, g_progressUser) != 0) {
        KF_Free(doc);
        return 1;
    }
    if (sp->active) keSceneUnload(slot);
    Slot& s = *sp;
    s = Slot();

    s.doc = doc;
    s.scene = KF_Find(KF_Root(s.doc), "Scene");
    if (!s.scene || !describe(s, path)) {
        freeSlot(s);
        return -1;
    }

    s.name = std::string(name ? name : "").substr(0, 255);
    s.active = true;
    s.extra = extra;
    s.caches.set(-1);
    if (s.cameras.empty()) printMessage(KE_WARN | KE_SHOW_BOX, "There is no camera in the scene");
    s.objectBase = objectBase;
    s.lightBase = lightBase;
    s.emitterBase = emitterBase;
    s.cubeMapBase = cubeMapBase;
    s.cameraEffectBase = cameraEffectBase;

    const KeSceneCalls& calls = keSceneCalls();
    for (size_t i = 0; i < s.cubeMaps.size(); ++i) {
        const int id = cubeMapBase + int(i);
        calls.makeCubeMap(id, s.cubeMaps[i].textureSize);
        if (!calls.cubeMapExist(id) && g_reporting) reportError("The cubemap id=%d cannot be created", id);
    }

    const int objectCount = int(s.objects.size());
    for (int i = 0; i < objectCount; ++i) {
        if (g_progress && g_progress(int(int64_t(i) * 100 / objectCount), g_progressUser) != 0) return 1;
        if (!loadObject(slot, i, instanceMode)) continue;
        finishObject(s, i);
        if (extra) calls.lockObjectOn(objectBase + i);
    }

    if (!extra) {
        for (size_t i = 0; i < s.lights.size(); ++i) {
            const int id = lightBase + int(i);
            if (calls.makeLight(id) == 0) setUpLight(s.lights[i], id);
        }

        for (size_t i = 0; i < s.cameraEffects.size(); ++i) {
            if (i >= size_t(KE_SCENE_MAX_CAMERA_EFFECTS)) {
                reportError("Camera shader i=%d > max %d camera shaders", int(i), KE_SCENE_MAX_CAMERA_EFFECTS);
                continue;
            }
            const int id = cameraEffectBase + int(i);
            const char* file = s.cameraEffects[i].file;
            if (file && *file) calls.makeCameraEffectFromFile(id, documentFile(file).c_str());
            if (calls.cameraEffectExist(id))
                setCameraEffectParameters(s, int(i), 0.0f, true);
            else
                printMessage(KE_INFO, "The camera shader id=%d file='%s' cannot be loaded", id, file ? file : "");
        }
    }

    std::vector<const char*> objectNames;
    for (const SceneObject& o : s.objects) objectNames.push_back(o.name);
    keSceneEmittersLoad(slot, s.scene, emitterBase, objectBase, objectNames.data(), int(objectNames.size()), extra,
                        g_reporting);

    keSceneHide(slot);
    s.caches.set(-1);  // a loaded scene sends every render setting at its first animation
    return 0;
}

int keSceneCheck(const char* path) {
    if (!path) return -1;
    Slot s;
    s.doc = KF_Load(path);
    s.scene = KF_Find(KF_Root(s.doc), "Scene");
    const bool ok = s.scene && describe(s, path);
    KF_Free(s.doc);
    return ok ? 0 : -1;
}

void keSceneUnload(int slot) {
    Slot* s = activeSlot(slot);
    if (!s) return;
    const KeSceneCalls& calls = keSceneCalls();
    for (size_t i = 0; i < s->cubeMaps.size(); ++i) calls.deleteCubeMap(s->cubeMapBase + int(i));
    for (size_t i = 0; i < s->objects.size(); ++i) calls.deleteObject(s->objectBase + int(i));
    if (!s->extra)
        for (size_t i = 0; i < s->lights.size(); ++i) calls.deleteLight(s->lightBase + int(i));
    for (size_t i = 0; i < s->cubeMaps.size(); ++i) calls.deleteCubeMap(s->cubeMapBase + int(i));
    for (int i = 0; i < keSceneCameraEffectCount(slot); ++i) calls.deleteCameraEffect(s->cameraEffectBase + i);
    keSceneEmittersUnload(slot);
    freeSlot(*s);
}

void keSceneShow(int slot) {
    Slot* s = activeSlot(slot);
    if (!s) return;
    s->shown = true;
    const KeSceneCalls& calls = keSceneCalls();
    for (size_t i = 0; i < s->objects.size(); ++i)
        if (calls.objectExist(s->objectBase + int(i))) calls.showObject(s->objectBase + int(i));
    keSceneEmittersSetVisible(slot, true);
    if (s->extra) return;
    for (size_t i = 0; i < s->lights.size(); ++i)
        if (calls.lightExist(s->lightBase + int(i))) calls.showLight(s->lightBase + int(i));
    applyShowSettings(*s);
}

void keSceneHide(int slot) {
    Slot* s = activeSlot(slot);
    if (!s) return;
    const KeSceneCalls& calls = keSceneCalls();
    for (size_t i = 0; i < s->objects.size(); ++i)
        if (calls.objectExist(s->objectBase + int(i))) calls.hideObject(s->objectBase + int(i));
    keSceneEmittersSetVisible(slot, false);
    if (!s->extra) {
        for (size_t i = 0; i < s->lights.size(); ++i)
            if (calls.lightExist(s->lightBase + int(i))) calls.hideLight(s->lightBase + int(i));
        for (int i = 0; i < keSceneCameraEffectCount(slot); ++i)
            if (calls.cameraEffectExist(s->cameraEffectBase + i)) calls.hideCameraEffect(s->cameraEffectBase + i);
    }
    for (bool& shown : s->cameraEffectShown) shown = false;
    s->caches.set(0);
    s->shown = false;
}

namespace {

// Render settings of a normal scene at s. Glow is sent while on and when its switch changes; the
// streak, bloom, SSAO and shadow switches when they change, their values while on.
void animateSettings(Slot& s, float sample) {
    const KeSceneCalls& calls = keSceneCalls();
    const SceneSettings& st = s.settingNodes;
    SettingCaches& cache = s.caches;
    if (st.glow != cache.glow || st.glow) {
        calls.setGlow(st.glow, sampleFP(st.glowIntensity, sample), sampleFP(st.glowRadius, sample));
        cache.glow = st.glow;
    }
    if (st.streak != cache.streak) {
        calls.setStreakEnable(st.streak);
        cache.streak = st.streak;
    }
    if (st.streak) {
        float v[KE_SCENE_STREAK_VALUES];
        const KF_FP3 key = sampleFP3(st.streakValues[1], sample);
        const KF_FP3 colorize = sampleFP3(st.streakValues[3], sample);
        v[0] = sampleFP(st.streakValues[0], sample);
        v[1] = key.x;
        v[2] = key.y;
        v[3] = key.z;
        v[4] = sampleFP(st.streakValues[2], sample);
        v[5] = colorize.x;
        v[6] = colorize.y;
        v[7] = colorize.z;
        v[8] = sampleFP(st.streakValues[4], sample);
        v[9] = sampleFP(st.streakValues[5], sample);
        v[10] = sampleFP(st.streakValues[6], sample);
        calls.setStreakValues(v);
    }
    if (st.bloom != cache.bloom) {
        calls.setBloomEnable(st.bloom);
        cache.bloom = st.bloom;
    }
    if (st.bloom) calls.setBloomValues(sampleFP(st.bloomValues[0], sample), sampleFP(st.bloomValues[1], sample));
    if (st.ssao != cache.ssao) {
        calls.setSSAOEnable(st.ssao);
        cache.ssao = st.ssao;
    }
    if (st.ssao)
        calls.setSSAOValues(sampleFP(st.ssaoValues[0], sample), sampleFP(st.ssaoValues[1], sample),
                            sampleFP(st.ssaoValues[2], sample), sampleFP(st.ssaoValues[3], sample));
    if (st.shadow != cache.shadow) {
        calls.setShadowEnable(st.shadow);
        cache.shadow = st.shadow;
    }
    if (st.shadow) calls.setShadowEpsilon(sampleFP(st.shadowEpsilon, sample));
}

// Depth of field, advanced depth of field and stereo of the render camera at s.
void animateCameraSettings(Slot& s, const SceneCamera& c, float sample) {
    const KeSceneCalls& calls = keSceneCalls();
    const int dof = (c.flags & 8) ? 1 : 0;
    if (dof != s.caches.dof || dof) {
        calls.setCameraDOF(dof, sampleFP(c.focalDistance, sample), sampleFP(c.fStop, sample));
        s.caches.dof = dof;
    }
    const SceneSettings& st = s.settingNodes;
    if (st.advancedDof != s.caches.advancedDof || st.advancedDof) {
        calls.setCameraAdvancedDOF(st.advancedDof, sampleFP(st.dofValues[0], sample),
                                   sampleFP(st.dofValues[1], sample), sampleFP(st.dofValues[2], sample),
                                   sampleFP(st.dofValues[3], sample));
        s.caches.advancedDof = st.advancedDof;
    }
    if (c.flags & 1)
        calls.setCameraStereo(1, sampleFP(c.separation, sample), c.usingConvergencePoint,
                              sampleFP(c.convergencePoint, sample));
    else
        calls.setCameraStereo(0, 0, 0, 0);
}

// The cube-map use with the greatest influence at s among those whose cube map was found (no
// influence counts 0; it must exceed -10000000; ties keep the first); -1 for none.
int chooseCubeMapUse(const SceneObject& o, float sample) {
    int best = -1;
    float bestInfluence = -10000000.0f;
    for (size_t u = 0; u < o.cubeMapOfUse.size(); ++u) {
        if (o.cubeMapOfUse[u] < 0) continue;
        const float influence = o.useInfluence[u] ? sampleFP(o.useInfluence[u], sample) : 0.0f;
        if (influence > bestInfluence) {
            bestInfluence = influence;
            best = int(u);
        }
    }
    return best;
}

// Surfaces in update form: the numeric parameters, then the parameter lists of the surfaces'
// effects (quietly: errors were reported at load); a row the object lacks stops the rest.
void animateSurfaces(const Slot& s, const SceneObject& o, int id, float sample) {
    if (o.sceneObject < 0) return;
    const KeSceneCalls& calls = keSceneCalls();
    for (const SurfaceValue& v : s.surfaceValues[size_t(o.sceneObject)]) {
        if (v.row >= o.surfaceRows) break;
        int result = 0;
        if (v.kind == 0) {
            const KF_FP3 f = sampleFP3(v.value, sample);
            result = calls.setObjectSurfaceParamFloat3(id, v.row, v.parameter, f.x, f.y, f.z);
        } else if (v.kind == 1) {
            result = calls.setObjectSurfaceParamFloat(id, v.row, v.parameter, sampleFP(v.value, sample));
        } else {
            result = calls.setObjectSurfaceParamInt(id, v.row, v.parameter, intOf(v.value));
        }
        if (result != 0) return;
    }
    for (const SurfaceEffectList& e : s.surfaceEffectLists[size_t(o.sceneObject)]) {
        if (e.row >= o.surfaceRows) break;
        KeSceneParameter values[KE_SCENE_MAX_PARAMETERS];
        const int n = keSceneEvaluateParameters(e.list, sample, values, KE_SCENE_MAX_PARAMETERS);
        calls.setObjectSurfaceEffectParameters(id, e.row, e.file, values, n, false);
    }
}

}  // namespace

void keSceneAnimate(int slot, int timeMs) {
    Slot* s = activeSlot(slot);
    if (!s) return;
    const KeSceneCalls& calls = keSceneCalls();
    calls.setSceneTime(timeMs);
    const float sample = keSceneSamplePosition(slot, timeMs);
    const float frame = keSceneAbsoluteFrame(slot, timeMs);

    if (!s->extra) animateSettings(*s, sample);

    // The render camera: "renderCamera" at s, truncated, clamped to the cameras there are (a NaN
    // index selects the first). The objects of an extra scene are children of the camera: their
    // positions are taken relative to its position (the origin when the scene has no camera).
    KF_FP3 origin = {0, 0, 0};
    if (!s->cameras.empty()) {
        const float pick = sampleFP(s->renderCamera, sample);
        const size_t last = s->cameras.size() - 1;
        const size_t index = pick > 0.0f ? (pick < float(last) ? size_t(pick) : last) : 0;
        const SceneCamera& c = s->cameras[index];
        origin = sampleFP3(c.position, sample);
        if (!s->extra) {
            // The zoom factor is the reciprocal of the tangent of half the vertical angle; a zoom
            // factor or height of 0 or below leaves the field of view as it is.
            const float z = sampleFP(c.zoomFactor, sample);
            const float w = float(uint32_t(c.width)), h = float(uint32_t(c.height));
            if (z > 0.0f && h > 0.0f) calls.setCameraFOV(2.0f * std::atan(w / (z * h)) * KE_SCENE_RAD_TO_DEG);
            animateCameraSettings(*s, c, sample);
            calls.positionCamera(origin.x, origin.y, origin.z);
            const KF_FP3 r = degrees(c.rotation, sample);
            calls.rotateCamera(r.x, r.y, r.z);
        }
    }
    calls.colorAmbientLight(colour8(sampleFP3(s->ambient, sample)));

    if (!s->extra)
        for (size_t i = 0; i < s->lights.size(); ++i) {
            const SceneLight& l = s->lights[i];
            const int id = s->lightBase + int(i);
            if (!calls.lightExist(id)) continue;
            const KF_FP3 p = sampleFP3(l.position, sample);
            calls.positionLight(id, p.x, p.y, p.z);
            const KF_FP3 r = degrees(l.rotation, sample);
            calls.rotateLight(id, r.x, r.y, r.z);
            setLightColour(l, id, sample);
            if (l.type == 2) setSpotCone(l, id, sample);
            if (l.falloff) calls.setLightRange(id, sampleFP(l.range, sample));
            if (l.flags & 0x20)
                calls.setLightVolumetricValues(id, sampleFP(l.volumetricDensity, sample),
                                               sampleFP(l.volumetricBase, sample));
        }

    for (size_t i = 0; i < s->objects.size(); ++i) {
        const SceneObject& o = s->objects[i];
        const int id = s->objectBase + int(i);
        if (!calls.objectExist(id)) continue;
        const KF_FP3 p = sampleFP3(o.position, sample);
        if (s->extra)
            calls.positionObject(id, p.x - origin.x, p.y - origin.y, p.z - origin.z);
        else
            calls.positionObject(id, p.x, p.y, p.z);
        const KF_FP3 r = degrees(o.rotation, sample);
        calls.rotateObject(id, r.x, r.y, r.z);
        const KF_FP3 k = sampleFP3(o.scale, sample);
        calls.scaleObject(id, k.x * 100.0f, k.y * 100.0f, k.z * 100.0f);

        // Animated meshes follow the absolute frame, within their own frames.
        const int frames = calls.totalObjectFrames(id);
        if (frames > 1) {
            float f = frame;
            if (f > float(frames)) f = float(frames);
            if (!(f >= 0.0f)) f = 0.0f;
            calls.setObjectFrame(id, f);
        }
        // Morph weights: the non-zero ones, with their 1-based morph numbers.
        if (o.morphs && calls.getObjectMorphCount(id) > 0) {
            int indices[KE_SCENE_MAX_MORPHS];
            float weights[KE_SCENE_MAX_MORPHS];
            int n = 0, number = 0;
            for (int32_t m = 0; m < o.morphs->a && n < KE_SCENE_MAX_MORPHS; ++m) {
                KF_Node* g = o.morphs->children[m];
                if (!isGroup(g)) continue;
                ++number;
                const float w = sampleFP(KF_Find(g, "value"), sample);
                if (w == 0.0f) continue;
                indices[n] = number;
                weights[n] = w;
                ++n;
            }
            calls.setObjectMorph(id, n, indices, weights);
        }
        const int use = chooseCubeMapUse(o, sample);
        if (use >= 0) applyCubeMapUse(*s, o, id, use, sample);
        animateSurfaces(*s, o, id, sample);
    }

    // Camera effects are shown in their frame windows (always without "useframe").
    if (!s->extra)
        for (int i = 0; i < keSceneCameraEffectCount(slot); ++i) {
            const SceneCameraEffect& e = s->cameraEffects[size_t(i)];
            const int id = s->cameraEffectBase + i;
            if (!calls.cameraEffectExist(id)) continue;
            const bool show = !e.useFrame || (float(e.startFrame) <= frame && frame <= float(e.endFrame));
            if (show != s->cameraEffectShown[i]) {
                if (show)
                    calls.showCameraEffect(id);
                else
                    calls.hideCameraEffect(id);
                s->cameraEffectShown[i] = show;
            }
            if (show) setCameraEffectParameters(*s, i, sample, false);
        }
    // Fx emitters: their channels, and a restart when the scene starts again from its beginning.
    // Those of an extra scene are locked on the camera like its objects.
    const float cameraOrigin[3] = {origin.x, origin.y, origin.z};
    keSceneEmittersAnimate(slot, sample, timeMs, s->lastTime, s->extra ? cameraOrigin : nullptr);
    s->lastTime = timeMs;
}

namespace {

// The cube map's camera: "position" + "cameraOffset" at s.
KF_FP3 cubeMapPosition(const SceneCubeMap& c, float sample) {
    const KF_FP3 p = sampleFP3(c.position, sample);
    const KF_FP3 o = sampleFP3(c.cameraOffset, sample);
    return {p.x + o.x, p.y + o.y, p.z + o.z};
}

// Renders cube map i from its camera with the scene prepared for it (show and hide sets,
// volumetric lights switched or clamped), then restores the scene. Whether it rendered.
bool renderCubeMap(const Slot& s, size_t i, float sample) {
    const KeSceneCalls& calls = keSceneCalls();
    const SceneCubeMap& c = s.cubeMaps[i];
    auto setObject = [&](int k, bool shown) {
        const int id = s.objectBase + k;
        if (!calls.objectExist(id)) return;
        if (shown)
            calls.showObject(id);
        else
            calls.hideObject(id);
    };
    if (c.hasShowSet) {
        for (size_t k = 0; k < s.objects.size(); ++k) setObject(int(k), false);
        for (int k : c.shown) setObject(k, true);
    }
    for (int k : c.hidden) setObject(k, false);
    for (size_t k = 0; k < s.lights.size() && !s.extra; ++k) {
        const SceneLight& l = s.lights[k];
        const int id = s.lightBase + int(k);
        if (!(l.flags & 0x20) || !calls.lightExist(id)) continue;
        if (c.showVolumetric == 0 || (c.showVolumetric == 1 && l.type != 1)) calls.setLightVolumetricOn(id, false);
        if (c.clampVolumetric) calls.setLightVolumetricClamp(id, true, c.clampVolumetricMax);
    }

    const KF_FP3 p = cubeMapPosition(c, sample);
    const bool rendered = calls.renderCubeMap(s.cubeMapBase + int(i), p.x, p.y, p.z) == 0;

    if (c.hasShowSet || !c.hidden.empty())
        for (size_t k = 0; k < s.objects.size(); ++k) setObject(int(k), true);
    for (size_t k = 0; k < s.lights.size() && !s.extra; ++k) {
        const SceneLight& l = s.lights[k];
        const int id = s.lightBase + int(k);
        if (!(l.flags & 0x20) || !calls.lightExist(id)) continue;
        if (c.showVolumetric != 2) calls.setLightVolumetricOn(id, true);
        if (c.clampVolumetric) calls.setLightVolumetricClamp(id, false, 1000000.0f);
    }
    return rendered;
}

// Renders the slot's cube maps at their render times, in two passes so that the second sees the
// reflections of the first: with `all` every cube map in both passes, else only those the first
// pass left unrendered. The slot is animated again at its previous time afterwards.
void renderCubeMaps(int slot, bool all) {
    Slot& s = g_slots[slot];
    if (s.cubeMaps.empty()) return;
    const KeSceneCalls& calls = keSceneCalls();
    const int previous = s.lastTime;
    std::vector<bool> rendered(s.cubeMaps.size(), false);
    for (size_t i = 0; i < s.cubeMaps.size(); ++i) calls.clearCubeMap(s.cubeMapBase + int(i));
    keSceneEmittersSetVisible(slot, false);  // particles stay out of the reflections
    bool animated = false;
    int animatedAt = 0;
    for (int pass = 0; pass < 2; ++pass)
        for (size_t i = 0; i < s.cubeMaps.size(); ++i) {
            if (!all && rendered[i]) continue;
            const SceneCubeMap& c = s.cubeMaps[i];
            const int r = int((double(c.renderTime) - double(s.frameStart) / s.framesPerSecond) * 1000.0);
            if (!animated || r != animatedAt) {
                keSceneAnimate(slot, r);
                animated = true;
                animatedAt = r;
            }
            rendered[i] = renderCubeMap(s, i, keSceneSamplePosition(slot, r));
        }
    keSceneEmittersSetVisible(slot, s.shown);  // a hidden slot keeps its emitters hidden
    keSceneAnimate(slot, previous);
}

}  // namespace

void keScenePrepare(int slot) {
    Slot* s = activeSlot(slot);
    if (!s) return;
    keSceneShow(slot);
    keSceneAnimate(slot, 0);
    keSceneCalls().renderDummy();
    renderCubeMaps(slot, true);
    keSceneHide(slot);
    s->caches.set(-1);
}

void keSceneUpdate(int slot, int timeMs) {
    Slot* s = activeSlot(slot);
    if (!s) return;
    const float sample = keSceneSamplePosition(slot, timeMs);
    for (size_t i = 0; i < s->cubeMaps.size(); ++i)
        if (s->cubeMaps[i].renderType == 1) renderCubeMap(*s, i, sample);
}


namespace {

bool sameText(const char* a, const char* b) { return std::strcmp(a ? a : "", b ? b : "") == 0; }

bool blank(char c) { return c == ' ' || c == '\t'; }

// Whether a document's groups and arrays are all closed. The binary form carries its size and
// is checked by its reader; text is read line by line as the text reader reads it: "{ name"
// opens a group, "}" closes one, a value whose data begins with "[" opens an array up to "]".
bool textComplete(const char* data, size_t size) {
    if (size >= 4 && std::memcmp(data, "FORM", 4) == 0) return true;
    const char* p = data;
    const char* end = data + size;
    long depth = 0;
    bool inArray = false;
    while (p < end) {
        const char* e = p;
        while (e < end && *e != '\n' && *e != '\r') ++e;
        const char* s = p;
        while (s < e && blank(*s)) ++s;
        if (s < e && *s != '#' && *s != '/') {
            if (inArray) {
                inArray = *s != ']';
            } else if (*s == '}') {
                --depth;
            } else if (*s == '{') {
                ++depth;
            } else {
                int token = 0;  // the third token starts the data
                while (s < e && token < 2) {
                    while (s < e && !blank(*s)) ++s;
                    while (s < e && blank(*s)) ++s;
                    ++token;
                }
                inArray = s < e && *s == '[';
            }
        }
        p = e;
        while (p < end && (*p == '\n' || *p == '\r')) ++p;
    }
    return depth == 0 && !inArray;
}

KF_Node* surfacesNode(const Slot& s, const SceneObject& o) {
    return o.sceneObject < 0 ? nullptr : KF_Find(s.sceneObjects[size_t(o.sceneObject)], "Surfaces");
}

// The surfaces of an object's scene object (at most KE_SCENE_MAX_SURFACES), none without one.
std::vector<KF_Node*> surfacesOf(const Slot& s, const SceneObject& o) {
    std::vector<KF_Node*> list = groupsOf(surfacesNode(s, o));
    if (list.size() > size_t(KE_SCENE_MAX_SURFACES)) list.resize(size_t(KE_SCENE_MAX_SURFACES));
    return list;
}

// What of a surface decides how its object is built: per parameter index its image file and
// first value at sample 0.
struct SurfaceKey {
    const char* image[39] = {};
    float first[39] = {};
};
SurfaceKey surfaceKey(KF_Node* surface) {
    SurfaceKey key;
    KF_Node* parameters = KF_Find(surface, "Parameters");
    if (!isGroup(parameters)) return key;
    for (int32_t i = 0; i < parameters->a; ++i) {
        KF_Node* g = parameters->children[i];
        if (!isGroup(g)) continue;
        const int index = keSurfaceParameterIndex(g->name);
        if (index < 0 || index >= 39) continue;
        key.image[index] = strOf(KF_Find(g, "img_filename"));
        const KF_Node* v = KF_Find(g, "value");
        if (!v) continue;
        if (v->kind == KF_ARRAY || (v->kind == KF_VALUE && v->a == KF_FP && v->b == 3))
            key.first[index] = sampleFP3(v, 0.0f).x;
        else if (v->kind == KF_VALUE && (v->a == KF_FP || v->a == KF_FP_C))
            key.first[index] = sampleFP(v, 0.0f);
        else if (v->kind == KF_VALUE && (v->a == KF_I4 || v->a == KF_U4))
            key.first[index] = float(intOf(v));
    }
    return key;
}

bool hasBoxedUse(const SceneObject& o) {
    for (size_t u = 0; u < o.useBoxPosition.size(); ++u)
        if (o.useBoxPosition[u]) return true;
    return false;
}

bool sameParameters(const KF_Node* a, const KF_Node* b) {
    KeSceneParameter pa[KE_SCENE_MAX_PARAMETERS], pb[KE_SCENE_MAX_PARAMETERS];
    const int na = keSceneEvaluateParameters(a, 0.0f, pa, KE_SCENE_MAX_PARAMETERS);
    const int nb = keSceneEvaluateParameters(b, 0.0f, pb, KE_SCENE_MAX_PARAMETERS);
    if (na != nb) return false;
    for (int i = 0; i < na; ++i)
        if (!sameText(pa[i].name, pb[i].name) || pa[i].kind != pb[i].kind ||
            (pa[i].kind == 3 && !sameText(pa[i].text, pb[i].text)))
            return false;
    return true;
}

enum class ObjectChange { None, Finish, Load };

// How object i must follow the new document: loaded again, finished again, or left alone.
ObjectChange objectChange(const Slot& was, const SceneObject& a, const Slot& now, const SceneObject& b) {
    if (!sameText(a.kfilename, b.kfilename)) return ObjectChange::Load;
    const std::vector<KF_Node*> sa = surfacesOf(was, a), sb = surfacesOf(now, b);
    if (sa.size() != sb.size()) return ObjectChange::Load;
    std::vector<const KF_Node*> ea(sa.size()), eb(sb.size());
    keSceneSurfaceEffects(surfacesNode(was, a), ea.data(), int(ea.size()));
    keSceneSurfaceEffects(surfacesNode(now, b), eb.data(), int(eb.size()));
    bool parametersDiffer = false;
    for (size_t k = 0; k < sa.size(); ++k) {
        if ((ea[k] != nullptr) != (eb[k] != nullptr)) return ObjectChange::Load;
        if (ea[k] && !sameText(strOf(KF_Find(const_cast<KF_Node*>(ea[k]), "filename")),
                               strOf(KF_Find(const_cast<KF_Node*>(eb[k]), "filename"))))
            return ObjectChange::Load;
        const SurfaceKey ka = surfaceKey(sa[k]), kb = surfaceKey(sb[k]);
        for (int p = 0; p < 39; ++p)
            if (!sameText(ka.image[p], kb.image[p])) return ObjectChange::Load;
        if ((ka.first[5] == 0.0f) != (kb.first[5] == 0.0f)) return ObjectChange::Load;  // Transparency
        if ((ka.first[6] == 0.0f) != (kb.first[6] == 0.0f)) return ObjectChange::Load;  // Translucency
        if ((ka.first[29] < 2.0f) != (kb.first[29] < 2.0f)) return ObjectChange::Load;  // ReflectionOptions
        if (ea[k] && !sameParameters(KF_Find(const_cast<KF_Node*>(ea[k]), "Parameters"),
                                     KF_Find(const_cast<KF_Node*>(eb[k]), "Parameters")))
            parametersDiffer = true;
    }
    if (hasBoxedUse(a) != hasBoxedUse(b)) return ObjectChange::Load;
    if (a.shadowOpts != b.shadowOpts || parametersDiffer) return ObjectChange::Finish;
    return ObjectChange::None;
}

bool lightChanged(const SceneLight& a, const SceneLight& b) {
    if (a.type != b.type || a.shadowType != b.shadowType || a.falloff != b.falloff || a.flags != b.flags ||
        !sameText(a.projImage, b.projImage) || b.shadowType == 2)
        return true;
    if ((a.volumetric != nullptr) != (b.volumetric != nullptr)) return true;
    KF_Node* fa = KF_Find(a.volumetric, "flags");
    KF_Node* fb = KF_Find(b.volumetric, "flags");
    if (intOf(fa, 1) != intOf(fb, 1) || intOf(fa, 4) != intOf(fb, 4)) return true;
    if (intOf(fb, 4)) {
        const KF_FP3 ca = KF_GetFP3(KF_Find(a.volumetric, "color"), 0);
        const KF_FP3 cb = KF_GetFP3(KF_Find(b.volumetric, "color"), 0);
        if (ca.x != cb.x || ca.y != cb.y || ca.z != cb.z) return true;
    }
    return false;
}

// Object i of the slot made again from its mesh file (never a clone: the meshes it shared may
// be the ones that changed), with its initial cube map, finished, shown as the slot is.
void remakeObject(int slot, int i) {
    Slot& s = g_slots[slot];
    const KeSceneCalls& calls = keSceneCalls();
    const SceneObject& o = s.objects[size_t(i)];
    const int id = s.objectBase + i;
    calls.loadObject(documentFile(o.kfilename ? o.kfilename : "").c_str(), id);
    if (!calls.objectExist(id)) {
        if (g_reporting) reportError("The object id=%d '%s' cannot be loaded", id, o.kfilename ? o.kfilename : "");
        return;
    }
    if (o.initialUse >= 0) applyCubeMapUse(s, o, id, o.initialUse, 0.0f);
    finishObject(s, i);
    if (s.extra) calls.lockObjectOn(id);
    if (s.shown)
        calls.showObject(id);
    else
        calls.hideObject(id);
}

void remakeLight(int slot, int i, bool make) {
    Slot& s = g_slots[slot];
    const KeSceneCalls& calls = keSceneCalls();
    const int id = s.lightBase + i;
    if (make && calls.makeLight(id) != 0) return;
    if (!calls.lightExist(id)) return;
    setUpLight(s.lights[size_t(i)], id);
    if (s.shown)
        calls.showLight(id);
    else
        calls.hideLight(id);
}

int cameraEffectCountOf(const Slot& s) {
    if (s.extra) return 0;
    const int n = int(s.cameraEffects.size());
    return n < KE_SCENE_MAX_CAMERA_EFFECTS ? n : KE_SCENE_MAX_CAMERA_EFFECTS;
}

}  // namespace

int keSceneReload(const char* path, int slot) {
    Slot* sp = activeSlot(slot);
    if (!sp || !path) return -1;
    Slot& s = *sp;

    // The new document is read and described whole before anything of the running scene changes.
    // The text reader takes groups still open at the end as closed, so a text document that an
    // exporter is still writing would read as a smaller scene: such a document is refused.
    size_t size = 0;
    char* buffer = kfile_read_all(path, &size);
    if (!buffer) return -1;
    if (!textComplete(buffer, size)) {
        printMessage(KE_WARN, "The scene '%s' cannot be reloaded: it ends inside a group", path);
        std::free(buffer);
        return -1;
    }
    Slot n;
    n.doc = KF_LoadBuffer(buffer, size);
    n.scene = KF_Find(KF_Root(n.doc), "Scene");
    if (!n.scene || !describe(n, path)) {
        KF_Free(n.doc);
        return -1;
    }
    const KeSceneCalls& calls = keSceneCalls();

    // Decisions, old description against new.
    bool cubeMapsAll = s.cubeMaps.size() != n.cubeMaps.size();
    for (size_t i = 0; !cubeMapsAll && i < n.cubeMaps.size(); ++i)
        cubeMapsAll = !sameText(s.cubeMaps[i].name, n.cubeMaps[i].name);
    std::vector<bool> cubeMapRemade(n.cubeMaps.size(), cubeMapsAll);
    for (size_t i = 0; !cubeMapsAll && i < n.cubeMaps.size(); ++i)
        cubeMapRemade[i] = s.cubeMaps[i].textureSize != n.cubeMaps[i].textureSize;

    auto colourSpace8 = [](const Slot& x) { return intOf(KF_Find(KF_Find(x.scene, "ColorSpace"), "ColorSpace8BitFiles")); };
    bool objectsAll = colourSpace8(s) != colourSpace8(n) || s.objects.size() != n.objects.size();
    for (size_t i = 0; !objectsAll && i < n.objects.size(); ++i)
        objectsAll = !sameText(s.objects[i].kfilename, n.objects[i].kfilename);
    std::vector<ObjectChange> objectChanges(n.objects.size(), ObjectChange::Load);
    for (size_t i = 0; !objectsAll && i < n.objects.size(); ++i) {
        objectChanges[i] = objectChange(s, s.objects[i], n, n.objects[i]);
        n.objects[i].surfaceRows = s.objects[i].surfaceRows;  // the object keeps its rows
    }

    const bool lightsAll = s.lights.size() != n.lights.size();
    std::vector<bool> lightChanges(n.lights.size(), true);
    for (size_t i = 0; !lightsAll && i < n.lights.size(); ++i) lightChanges[i] = lightChanged(s.lights[i], n.lights[i]);

    const int oldEffects = cameraEffectCountOf(s);
    std::vector<const KF_Node*> oldEffectParameters;  // into the old document, freed only at the end
    for (const SceneCameraEffect& e : s.cameraEffects) oldEffectParameters.push_back(e.parameters);
    bool effectsAll = s.cameraEffects.size() != n.cameraEffects.size();
    for (size_t i = 0; !effectsAll && i < n.cameraEffects.size(); ++i)
        effectsAll = !sameText(s.cameraEffects[i].file, n.cameraEffects[i].file);

    // The new description takes the slot's place with the slot's state; the old document is
    // freed only once nothing of the slot points into it any more.
    const size_t oldCubeMaps = s.cubeMaps.size(), oldObjects = s.objects.size(), oldLights = s.lights.size();
    n.active = true;
    n.extra = s.extra;
    n.objectBase = s.objectBase;
    n.lightBase = s.lightBase;
    n.emitterBase = s.emitterBase;
    n.cubeMapBase = s.cubeMapBase;
    n.cameraEffectBase = s.cameraEffectBase;
    n.name = s.name;
    n.caches = s.caches;
    n.lastTime = s.lastTime;
    n.shown = s.shown;
    if (!effectsAll) std::copy(std::begin(s.cameraEffectShown), std::end(s.cameraEffectShown), n.cameraEffectShown);
    KF_Document* oldDoc = s.doc;
    s = std::move(n);

    if (!s.extra) applyShowSettings(s);

    bool anyCubeMapMade = false;
    if (cubeMapsAll)
        for (size_t i = 0; i < oldCubeMaps; ++i) calls.deleteCubeMap(s.cubeMapBase + int(i));
    for (size_t i = 0; i < s.cubeMaps.size(); ++i) {
        if (!cubeMapRemade[i]) continue;
        const int id = s.cubeMapBase + int(i);
        if (!cubeMapsAll) calls.deleteCubeMap(id);
        calls.makeCubeMap(id, s.cubeMaps[i].textureSize);
        if (!calls.cubeMapExist(id) && g_reporting) reportError("The cubemap id=%d cannot be created", id);
        anyCubeMapMade = true;
    }

    if (objectsAll)
        for (size_t i = 0; i < oldObjects; ++i) calls.deleteObject(s.objectBase + int(i));
    for (size_t i = 0; i < s.objects.size(); ++i) {
        const int id = s.objectBase + int(i);
        if (objectChanges[i] == ObjectChange::Load) {
            if (!objectsAll) calls.deleteObject(id);
            remakeObject(slot, int(i));
        } else if (objectChanges[i] == ObjectChange::Finish && calls.objectExist(id)) {
            finishObject(s, int(i));
        }
    }

    if (!s.extra) {
        if (lightsAll)
            for (size_t i = 0; i < oldLights; ++i) calls.deleteLight(s.lightBase + int(i));
        for (size_t i = 0; i < s.lights.size(); ++i)
            if (lightChanges[i]) remakeLight(slot, int(i), lightsAll);

        if (effectsAll) {
            for (int i = 0; i < oldEffects; ++i) calls.deleteCameraEffect(s.cameraEffectBase + i);
            for (size_t i = 0; i < s.cameraEffects.size(); ++i) {
                if (i >= size_t(KE_SCENE_MAX_CAMERA_EFFECTS)) {
                    reportError("Camera shader i=%d > max %d camera shaders", int(i), KE_SCENE_MAX_CAMERA_EFFECTS);
                    continue;
                }
                const int id = s.cameraEffectBase + int(i);
                const char* file = s.cameraEffects[i].file;
                if (file && *file) calls.makeCameraEffectFromFile(id, documentFile(file).c_str());
                if (calls.cameraEffectExist(id))
                    setCameraEffectParameters(s, int(i), 0.0f, true);
                else
                    printMessage(KE_INFO, "The camera shader id=%d file='%s' cannot be loaded", id, file ? file : "");
            }
        } else {
            for (int i = 0; i < cameraEffectCountOf(s); ++i)
                if (!sameParameters(oldEffectParameters[size_t(i)], s.cameraEffects[size_t(i)].parameters) &&
                    calls.cameraEffectExist(s.cameraEffectBase + i))
                    setCameraEffectParameters(s, i, 0.0f, true);
        }
    }
    // Fx emitters follow the new document, compared with the old one before it goes.
    std::vector<const char*> objectNames;
    for (const SceneObject& o : s.objects) objectNames.push_back(o.name);
    keSceneEmittersReload(slot, s.scene, s.objectBase, objectNames.data(), int(objectNames.size()), s.extra,
                          g_reporting);
    keSceneEmittersSetVisible(slot, s.shown);
    KF_Free(oldDoc);

    const bool longScene = s.frameEnd - s.frameStart > 2;
    if (anyCubeMapMade || longScene) renderCubeMaps(slot, longScene);
    return 0;
}

bool keSceneActive(int slot) { return activeSlot(slot) != nullptr; }

int keSceneObjectCount(int slot) {
    Slot* s = activeSlot(slot);
    return s ? int(s->objects.size()) : 0;
}
int keSceneLightCount(int slot) {
    Slot* s = activeSlot(slot);
    return s && !s->extra ? int(s->lights.size()) : 0;
}
int keSceneCameraCount(int slot) {
    Slot* s = activeSlot(slot);
    return s ? int(s->cameras.size()) : 0;
}
int keSceneEmitterCount(int slot) {
    Slot* s = activeSlot(slot);
    return s ? s->emitterCount : 0;
}
int keSceneCubeMapCount(int slot) {
    Slot* s = activeSlot(slot);
    return s ? int(s->cubeMaps.size()) : 0;
}
int keSceneCameraEffectCount(int slot) {
    Slot* s = activeSlot(slot);
    if (!s || s->extra) return 0;
    const int n = int(s->cameraEffects.size());
    return n < KE_SCENE_MAX_CAMERA_EFFECTS ? n : KE_SCENE_MAX_CAMERA_EFFECTS;
}
int keSceneFirstFrame(int slot) {
    Slot* s = activeSlot(slot);
    return s ? s->frameStart : 0;
}
int keSceneFrameRate(int slot) {
    Slot* s = activeSlot(slot);
    return s ? int(s->framesPerSecond) : 0;
}
int keSceneLength(int slot) {
    Slot* s = activeSlot(slot);
    if (!s) return 0;
    return int((int64_t(s->frameEnd) - s->frameStart) * 1000 / int(s->framesPerSecond));
}
const char* keSceneMusic(int slot) {
    Slot* s = activeSlot(slot);
    return s ? s->music : nullptr;
}
int keSceneMusicOffset(int slot) {
    Slot* s = activeSlot(slot);
    if (!s) return 0;
    return int((double(s->frameStart) / s->framesPerSecond - s->audioStartTime) * 1000.0);
}
float keSceneSamplePosition(int slot, int timeMs) {
    Slot* s = activeSlot(slot);
    return s ? float(timeMs) / 1000.0f * s->framesPerSecond / float(s->frameStep) : 0.0f;
}
float keSceneAbsoluteFrame(int slot, int timeMs) {
    Slot* s = activeSlot(slot);
    return s ? float(timeMs) * s->framesPerSecond / 1000.0f + float(s->frameStart) : 0.0f;
}
int keSceneObjectCubeMap(int slot, int index) {
    Slot* s = activeSlot(slot);
    if (!s || index < 0 || index >= int(s->objects.size())) return -1;
    const SceneObject& o = s->objects[size_t(index)];
    return o.initialUse < 0 ? -1 : s->cubeMapBase + o.cubeMapOfUse[size_t(o.initialUse)];
}

KF_Node* keSceneRoot(int slot) {
    Slot* s = activeSlot(slot);
    return s ? s->scene : nullptr;
}

}  // namespace kolm
