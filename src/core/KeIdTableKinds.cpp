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

void* keIdLookup(const KeIdTable* table, KeIdKind kind, int id, int argIndex) {
    void* record = keIdTableGet(table, id);
    if (!record) recordError(argIndex, info(kind).missing, id, keIdTableMessage());
    return record;
}

int keIdRegister(KeIdTable* table, KeIdKind kind, int id, void* record, int argIndex) {
    if (keIdTableAdd(table, id, record) == 0) return 0;
    recordError(argIndex, info(kind).invalid, id, keIdTableMessage());
    return -1;
}

#pragma GCC diagnostic pop

bool keIdExists(const KeIdTable* table, int id) {
    // Checked here so that an out-of-range query leaves the detail message alone.
    if (!table || id < 0 || id >= table->capacity) return false;
    return table->slots[id] != nullptr;
}

const char* keCreateEngineIdTables(KeEngineIdTables& tables) {
    struct Step {
        KeIdTable* KeEngineIdTables::*member;
        const char* failure;
    };
    static const Step steps[] = {
        {&KeEngineIdTables::image, "fails to create image list"},
        {&KeEngineIdTables::object, "fails to create object list"},
        {&KeEngineIdTables::light, "fails to create light list"},
        {&KeEngineIdTables::fxEmitter, "fails to create fxemitter list"},
        {&KeEngineIdTables::cameraEffect, "fails to create camera shader list"},
        {&KeEngineIdTables::effect, "fails to create effect list"},
        {&KeEngineIdTables::cubeMap, "fails to create cubemap list"},
    };
    tables = KeEngineIdTables{};
    for (const Step& step : steps) {
        KeIdTable* table = keIdTableCreate(1000);
        if (!table) {
            keFreeEngineIdTables(tables);
            return step.failure;
        }
        tables.*step.member = table;
    }
    return nullptr;
}

void keFreeEngineIdTables(KeEngineIdTables& tables) {
    for (KeIdTable** t : {&tables.image, &tables.object, &tables.light, &tables.fxEmitter, &tables.cameraEffect,
                          &tables.effect, &tables.cubeMap}) {
        keIdTableFree(*t);
        *t = nullptr;
    }
}

}  // namespace kolm
