#include "files/KeWatchTable.h"

#include <cstdarg>
#include <cstdio>

namespace kolm {
namespace {

char g_detail[1024] = {};

void setDetail(const char* format, ...) __attribute__((format(printf, 1, 2)));
void setDetail(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(g_detail, sizeof g_detail, format, args);
    va_end(args);
}

}  // namespace

const char* keWatchTableMessage() { return g_detail; }

bool KeWatchTable::checkRange(int id) {
    if (id < 0) {
        setDetail("invalid negative ID %d", id);
        return false;
    }
    if (id >= KE_WATCH_TABLE_CAPACITY) {
        setDetail("invalid ID %d greater or equals than %d", id, KE_WATCH_TABLE_CAPACITY);
        return false;
    }
    return true;
}

int KeWatchTable::add(int id, void* record) {
    if (!checkRange(id)) return -1;
    if (slots_[static_cast<size_t>(id)]) {
        setDetail("id %d already exist", id);
        return -1;
    }
    slots_[static_cast<size_t>(id)] = record;
    if (id > highestId_) highestId_ = id;
    return 0;
}

int KeWatchTable::remove(int id) {
    if (!checkRange(id)) return -1;
    if (!slots_[static_cast<size_t>(id)]) {
        setDetail("id %d does not exist", id);
        return -1;
    }
    slots_[static_cast<size_t>(id)] = nullptr;
    return 0;
}

void* KeWatchTable::get(int id) {
    if (!checkRange(id)) return nullptr;
    return slots_[static_cast<size_t>(id)];
}

}  // namespace kolm
