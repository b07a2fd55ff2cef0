// The kinds of things the object API addresses by ID, their table capacities and the message
// families every operation shares:
//   - an operation on an existing ID that is not registered records "<Kind> ID %d does not
//     exist. %s" (ID, table detail) with the index of the script argument at fault;
//   - a creating operation whose ID cannot be registered records "invalid <Kind> ID %d : %s".
// keIdLookup and keIdRegister are those two steps; the operation families build on them.
#pragma once

#include "core/KeIdTable.h"

namespace irr {
namespace scene {
class ISceneNode;
}  // namespace scene
}  // namespace irr

namespace kolm {

enum class KeIdKind : int {
    Image,
    Object,
    Light,
    FxEmitter,
    CameraEffect,  // camera shaders
    Effect,
    CubeMap,
    Music,
    FileWatch,
    FolderWatch,
    Count
};

// 1000 for the seven engine kinds, 50 for music, 100 for file and folder watches.
int keIdKindCapacity(KeIdKind kind);
// printf formats taking (int id, const char* detail).
const char* keIdKindMissingFormat(KeIdKind kind);
const char* keIdKindInvalidFormat(KeIdKind kind);

// Records the kind's "does not exist" message for id with the current table detail at argIndex.
void keIdRecordMissing(KeIdKind kind, int id, int argIndex);
// Records the kind's "invalid" message for id with the current table detail at argIndex.
void keIdRecordInvalid(KeIdKind kind, int id, int argIndex);

// The record registered under id, or null after recording the kind's "does not exist" message
// (with the current table detail) at argIndex.
template <class T>
T* keIdLookup(const KeIdTable<T>* table, KeIdKind kind, int id, int argIndex = 1) {
    T* record = keIdTableGet(table, id);
    if (!record) keIdRecordMissing(kind, id, argIndex);
    return record;
}
// Registers record under id: 0, or -1 after recording the kind's "invalid" message at argIndex.
// The caller still owns record on failure.
template <class T>
int keIdRegister(KeIdTable<T>* table, KeIdKind kind, int id, KeIdRecordOf<T>* record, int argIndex) {
    if (keIdTableAdd(table, id, record) == 0) return 0;
    keIdRecordInvalid(kind, id, argIndex);
    return -1;
}
// Whether id is registered; never records anything (out-of-range IDs count as not registered).
template <class T>
bool keIdExists(const KeIdTable<T>* table, int id) {
    return table && table->exists(id);
}

// What the slots of the seven engine tables hold. Objects and lights: a one-pointer cell with
// the scene node; the other kinds: their family's own record.
struct KeNodeCell {
    irr::scene::ISceneNode* node = nullptr;
};
struct KeImageRecord;
struct KeFxEmitterRecord;
struct KeCameraEffectRecord;
struct KeEffectRecord;
struct KeCubeMapRecord;

// The seven tables engine start-up creates, in creation order.
struct KeEngineIdTables {
    KeIdTable<KeImageRecord>* image = nullptr;
    KeIdTable<KeNodeCell>* object = nullptr;
    KeIdTable<KeNodeCell>* light = nullptr;
    KeIdTable<KeFxEmitterRecord>* fxEmitter = nullptr;
    KeIdTable<KeCameraEffectRecord>* cameraEffect = nullptr;
    KeIdTable<KeEffectRecord>* effect = nullptr;
    KeIdTable<KeCubeMapRecord>* cubeMap = nullptr;
};
// Creates the seven tables in order. On failure frees those made so far, leaves every pointer
// null and returns the failure text of the first table that could not be created
// ("fails to create image list" ...); null on success. Logs nothing: the caller reports.
const char* keCreateEngineIdTables(KeEngineIdTables& tables);
void keFreeEngineIdTables(KeEngineIdTables& tables);

}  // namespace kolm
