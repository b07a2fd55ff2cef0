#include "api/KeCameraEffectApi.h"

#include "api/KeEffectApi.h"
#include "core/KeError.h"
#include "core/KeIdTableKinds.h"
#include "engine/IKeManager.h"
#include "files/KeFileSystem.h"
#include "fx/IKeEffect.h"
#include "fx/IKeEffectManager.h"
#include "runtime/KeEngine.h"

#include <algorithm>
#include <vector>

namespace kolm {

using namespace irr;

namespace {

constexpr size_t kShownListRoom = 100;  // IDs the shown list holds before it grows

// The shown list: camera effect IDs in the order shown, and their effects in the same order as
// the frame loop reads them. Made by the first show; it belongs to the table it was made for
// (a new engine's table starts with an empty list).
bool g_shownMade = false;
std::vector<int> g_shownIds;
std::vector<IKeEffect*> g_shownEffects;
const KeIdTable<KeCameraEffectRecord>* g_shownTable = nullptr;

KeIdTable<KeCameraEffectRecord>* table() { return keEngineContext().idLists.cameraEffect; }

// Hands the frame loop the effects of the list. Every ID in the list is registered and its
// record holds a reference, so the pointers stay valid until the next change of the list.
void publish() {
    g_shownEffects.clear();
    for (int id : g_shownIds) g_shownEffects.push_back(table()->get(id)->effect);
    keSetShownCameraEffects(g_shownEffects.data(), u32(g_shownEffects.size()));
}

// Forgets the IDs of a list that was made for another engine's table.
void followTable() {
    if (g_shownTable == table()) return;
    g_shownTable = table();
    g_shownIds.clear();
    g_shownEffects.clear();
    keSetShownCameraEffects(nullptr, 0);
}

// Registers a new record holding `effect` (the caller's reference passes to the record).
KeCameraEffectRecord* registerRecord(int cameraEffectId) {
    auto* record = new KeCameraEffectRecord;
    if (keIdRegister(table(), KeIdKind::CameraEffect, cameraEffectId, record, 1) != 0) {
        delete record;
        return nullptr;
    }
    return record;
}

}  // namespace

int keMakeCameraEffect(int cameraEffectId, int effectId) {
    KeEffectRecord* source = keIdLookup(keEngineContext().idLists.effect, KeIdKind::Effect, effectId, 2);
    if (!source) return -1;
    KeCameraEffectRecord* record = registerRecord(cameraEffectId);
    if (!record) return -1;
    record->effect = source->effect;
    record->effect->grab();
    return 0;
}

int keMakeCameraEffectFromFile(int cameraEffectId, const char* file) {
    KeCameraEffectRecord* record = registerRecord(cameraEffectId);
    if (!record) return -1;
    const char* name = file ? file : "";
    IKeManager* manager = keEngineManager();
    IKeEffectManager* effects = manager ? manager->getEffectManager() : nullptr;
    record->effect = effects && *name ? effects->createEffect(keFindFile(name), -1, nullptr, nullptr) : nullptr;
    if (!record->effect) {
        recordErrorBox(2, "Camera Effect ID %d : Failed to compile effect %s", cameraEffectId, name);
        keIdTableRemove(table(), cameraEffectId);
        delete record;
        return -1;
    }
    return 0;
}

bool keCameraEffectExist(int cameraEffectId) { return keIdExists(table(), cameraEffectId); }

IKeEffect* keCameraEffectGet(int cameraEffectId) {
    KeCameraEffectRecord* record = keIdExists(table(), cameraEffectId) ? table()->get(cameraEffectId) : nullptr;
    return record ? record->effect : nullptr;
}

int keDeleteCameraEffect(int cameraEffectId) {
    if (!keIdExists(table(), cameraEffectId)) return 0;
    followTable();
    KeCameraEffectRecord* record = table()->get(cameraEffectId);
    // Every occurrence goes, whatever the flag says: an ID shown twice and hidden once is still
    // in the list, and a later camera effect under the same ID must not inherit it.
    const auto end = std::remove(g_shownIds.begin(), g_shownIds.end(), cameraEffectId);
    if (end != g_shownIds.end()) {
        g_shownIds.erase(end, g_shownIds.end());
        publish();
    }
    record->shown = 0;
    keIdTableRemove(table(), cameraEffectId);
    if (record->effect) record->effect->drop();
    delete record;
    return 0;
}

void keDeleteAllCameraEffects() {
    KeIdTable<KeCameraEffectRecord>* cameraEffects = table();
    if (!cameraEffects) return;
    for (int id = 0; id <= cameraEffects->highestId(); ++id) keDeleteCameraEffect(id);
}

int keShowCameraEffect(int cameraEffectId) {
    KeCameraEffectRecord* record = keIdLookup(table(), KeIdKind::CameraEffect, cameraEffectId, 1);
    if (!record) return -1;
    followTable();
    if (!g_shownMade) {
        g_shownIds.reserve(kShownListRoom);
        g_shownEffects.reserve(kShownListRoom);
        g_shownMade = true;
    }
    record->shown = 1;
    g_shownIds.push_back(cameraEffectId);
    publish();
    return 0;
}

int keHideCameraEffect(int cameraEffectId) {
    KeCameraEffectRecord* record = keIdLookup(table(), KeIdKind::CameraEffect, cameraEffectId, 1);
    if (!record) return -1;
    followTable();
    record->shown = 0;
    const auto it = std::find(g_shownIds.begin(), g_shownIds.end(), cameraEffectId);
    if (it == g_shownIds.end()) {
        if (!g_shownMade) return 0;
        reportError("remove enabled FAILED to find ID=%d in enabled list", cameraEffectId);
        return -1;
    }
    g_shownIds.erase(it);
    publish();
    return 0;
}

int keSetCameraEffectPriority(int cameraEffectId, int priority) {
    KeCameraEffectRecord* record = keIdLookup(table(), KeIdKind::CameraEffect, cameraEffectId, 1);
    if (!record) return -1;
    record->priority = priority;
    return 0;
}

int keShownCameraEffectCount() {
    followTable();
    return int(g_shownIds.size());
}

int keShownCameraEffectId(int index) {
    followTable();
    return index >= 0 && size_t(index) < g_shownIds.size() ? g_shownIds[size_t(index)] : -1;
}

}  // namespace kolm
