#include "core/KeIdTable.h"

#include <cstdarg>
#include <cstdio>
#include <new>

namespace kolm {

namespace {

char g_detail[KE_ID_TABLE_MESSAGE_CAPACITY] = "";

void setDetail(const char* format, ...) __attribute__((format(printf, 1, 2)));
void setDetail(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(g_detail, sizeof g_detail, format, args);  // cut at 1023 characters
    va_end(args);
}

// Common range check of add, remove and get: false (detail set) when id cannot name a slot.
bool checkRange(const KeIdTable* table, int id) {
    if (!table) {
        setDetail("no ID table");
        return false;
    }
    if (id < 0) {
        setDetail("invalid negative ID %d", id);
        return false;
    }
    if (id >= table->capacity) {
        setDetail("invalid ID %d greater or equals than %d", id, table->capacity);
        return false;
    }
    return true;
}

}  // namespace

KeIdTable* keIdTableCreate(int capacity) {
    if (capacity <= 0) return nullptr;
    KeIdTable* table = new (std::nothrow) KeIdTable;
    if (!table) return nullptr;
    table->slots = new (std::nothrow) void*[capacity]();
    if (!table->slots) {
        delete table;
        return nullptr;
    }
    table->capacity = capacity;
    table->highestId = 0;
    return table;
}

int keIdTableFree(KeIdTable* table) {
    if (table) {
        delete[] table->slots;
        delete table;
    }
    return 0;
}

int keIdTableAdd(KeIdTable* table, int id, void* record) {
    if (!checkRange(table, id)) return -1;
    if (table->slots[id]) {
        setDetail("id %d already exist", id);
        return -1;
    }
    // A null record would read back as a free slot while raising the highest ID: refuse it.
    if (!record) {
        setDetail("null record for id %d", id);
        return -1;
    }
    table->slots[id] = record;
    if (id > table->highestId) table->highestId = id;
    return 0;
}

int keIdTableRemove(KeIdTable* table, int id) {
    if (!checkRange(table, id)) return -1;
    if (!table->slots[id]) {
        setDetail("id %d does not exist", id);
        return -1;
    }
    table->slots[id] = nullptr;
    return 0;
}

void* keIdTableGet(const KeIdTable* table, int id) {
    if (!checkRange(table, id)) return nullptr;
    return table->slots[id];
}

int keIdTableHighestId(const KeIdTable* table) { return table ? table->highestId : 0; }

const char* keIdTableMessage() { return g_detail; }

}  // namespace kolm
