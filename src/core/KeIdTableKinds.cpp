#include "core/KeIdTableKinds.h"

#include "core/KeError.h"

namespace kolm {

namespace {

struct KindInfo {
    int capacity;
    const char* missing;
    const char* invalid;
};

// Indexed by KeIdKind. Folder watches share the file-watch text for a bad ID.
const KindInfo kKinds[] = {
    {1000, "Image ID %d does not exist. %s", "invalid Image ID %d : %s"},
    {1000, "Object ID %d does not exist. %s", "invalid Object ID %d : %s"},
    {1000, "Light ID %d does not exist. %s", "invalid Light ID %d : %s"},
    {1000, "FxEmitter ID %d does not exist. %s", "invalid FxEmitter ID %d : %s"},
    {1000, "Camera Effect ID %d does not exist. %s", "invalid Camera Effect ID %d : %s"},
    {1000, "Effect ID %d does not exist. %s", "invalid effect ID %d : %s"},
    {1000, "CubeMap ID %d does not exist. %s", "invalid CubeMap ID %d : %s"},
    {50, "Music ID %d does not exist. %s", "invalid Music ID %d : %s"},
    {100, "FileWatch ID %d does not exist. %s", "invalid FileWatch ID %d : %s"},
    {100, "FolderWatch ID %d does not exist. %s", "invalid FileWatch ID %d : %s"},
};
static_assert(sizeof kKinds / sizeof kKinds[0] == static_cast<size_t>(KeIdKind::Count), "one row per kind");

const KindInfo& info(KeIdKind kind) { return kKinds[static_cast<int>(kind)]; }

}  // namespace

int keIdKindCapacity(KeIdKind kind) { return info(kind).capacity; }
const char* keIdKindMissingFormat(KeIdKind kind) { return info(kind).missing; }
const char* keIdKindInvalidFormat(KeIdKind kind) { return info(kind).invalid; }

// The formats come from the table above, each taking (int, const char*).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"

void keIdRecordMissing(KeIdKind kind, int id, int argIndex) {
    recordError(argIndex, info(kind).missing, id, keIdTableMessage());
}

void keIdRecordInvalid(KeIdKind kind, int id, int argIndex) {
    recordError(argIndex, info(kind).invalid, id, keIdTableMessage());
}

#pragma GCC diagnostic pop

namespace {

// Creates one table of a step; false after freeing what was made (the caller returns the text).
template <class T>
bool createTable(KeIdTable<T>*& slot) {
    slot = keIdTableCreate<T>(1000);
    return slot != nullptr;
}

}  // namespace

const char* keCreateEngineIdTables(KeEngineIdTables& tables) {
    tables = KeEngineIdTables{};
    const char* failure = nullptr;
    if (!createTable(tables.image)) failure = "fails to create image list";
    else if (!createTable(tables.object)) failure = "fails to create object list";
    else if (!createTable(tables.light)) failure = "fails to create light list";
    else if (!createTable(tables.fxEmitter)) failure = "fails to create fxemitter list";
    else if (!createTable(tables.cameraEffect)) failure = "fails to create camera shader list";
    else if (!createTable(tables.effect)) failure = "fails to create effect list";
    else if (!createTable(tables.cubeMap)) failure = "fails to create cubemap list";
    if (failure) keFreeEngineIdTables(tables);
    return failure;
}

void keFreeEngineIdTables(KeEngineIdTables& tables) {
    keIdTableFree(tables.image);
    keIdTableFree(tables.object);
    keIdTableFree(tables.light);
    keIdTableFree(tables.fxEmitter);
    keIdTableFree(tables.cameraEffect);
    keIdTableFree(tables.effect);
    keIdTableFree(tables.cubeMap);
    tables = KeEngineIdTables{};
}

}  // namespace kolm
