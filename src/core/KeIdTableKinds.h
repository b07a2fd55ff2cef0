// The kinds of things the object API addresses by ID, their table capacities and the message
// families every operation shares:
//   - an operation on an existing ID that is not registered records "<Kind> ID %d does not
//     exist. %s" (ID, table detail) with the index of the script argument at fault;
//   - a creating operation whose ID cannot be registered records "invalid <Kind> ID %d : %s".
// keIdLookup and keIdRegister are those two steps; the operation families build on them.
#pragma once

#include "core/KeIdTable.h"

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

// The record registered under id, or null after recording the kind's "does not exist" message
// (with the current table detail) at argIndex.
void* keIdLookup(const KeIdTable* table, KeIdKind kind, int id, int argIndex = 1);
// Registers record under id: 0, or -1 after recording the kind's "invalid" message at argIndex.
// The caller still owns record on failure.
int keIdRegister(KeIdTable* table, KeIdKind kind, int id, void* record, int argIndex);
// Whether id is registered; never records anything (out-of-range IDs count as not registered).
bool keIdExists(const KeIdTable* table, int id);

// The seven tables engine start-up creates, in creation order.
struct KeEngineIdTables {
    KeIdTable* image = nullptr;
    KeIdTable* object = nullptr;
    KeIdTable* light = nullptr;
    KeIdTable* fxEmitter = nullptr;
    KeIdTable* cameraEffect = nullptr;
    KeIdTable* effect = nullptr;
    KeIdTable* cubeMap = nullptr;
};
// Creates the seven tables in order. On failure frees those made so far, leaves every pointer
// null and returns the failure text of the first table that could not be created
// ("fails to create image list" ...); null on success. Logs nothing: the caller reports.
const char* keCreateEngineIdTables(KeEngineIdTables& tables);
void keFreeEngineIdTables(KeEngineIdTables& tables);

}  // namespace kolm
