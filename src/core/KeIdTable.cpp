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
bool checkRange(int capacity, int id) {
    if (id < 0) {
        setDetail("invalid negative ID %d", id);
        return false;
    }
    if (id >= capacity) {
        setDetail("invalid ID %d greater or equals than %d", id, capacity);
        return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<void*[]> keIdTableAllocateSlots(int capacity) {
    if (capacity <= 0) return nullptr;
    return std::unique_ptr<void*[]>(new (std::nothrow) void*[static_cast<size_t>(capacity)]());
}

bool keIdTableMissing() {
    setDetail("no ID table");
    return false;
}

int KeIdTableSlots::addRecord(int id, void* record) {
    if (!checkRange(m_capacity, id)) return -1;
    if (m_slots[id]) {
        setDetail("id %d already exist", id);
        return -1;
    }
    // A null record would read back as a free slot while raising the highest ID: refuse it.
    if (!record) {
        setDetail("null record for id %d", id);
        return -1;
    }
    m_slots[id] = record;
    if (id > m_highestId) m_highestId = id;
    return 0;
}

int KeIdTableSlots::remove(int id) {
    if (!checkRange(m_capacity, id)) return -1;
    if (!m_slots[id]) {
        setDetail("id %d does not exist", id);
        return -1;
    }
    m_slots[id] = nullptr;
    return 0;
}

void* KeIdTableSlots::getRecord(int id) const {
    if (!checkRange(m_capacity, id)) return nullptr;
    return m_slots[id];
}

const char* keIdTableMessage() { return g_detail; }

}  // namespace kolm
