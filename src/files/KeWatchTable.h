// The ID tables of file and folder watches: 100 slots each, addressed by small IDs that the
// caller chooses. Same rules and detail texts as the object API's ID tables (the files layer
// sits below that API, so it keeps its own table): the table never owns its records, and a
// failed operation leaves a detail text for the caller's own message.
#pragma once

#include <array>

namespace kolm {

constexpr int KE_WATCH_TABLE_CAPACITY = 100;

class KeWatchTable {
public:
    // 0, the record stored and the highest ID raised; -1 with a detail text otherwise.
    int add(int id, void* record);
    // 0, the slot cleared (the highest ID is never lowered); -1 with a detail text otherwise.
    int remove(int id);
    // The record, or nullptr. An empty slot in range leaves the detail text as it was.
    void* get(int id);
    int highestId() const { return highestId_; }
    int capacity() const { return KE_WATCH_TABLE_CAPACITY; }

private:
    bool checkRange(int id);
    std::array<void*, KE_WATCH_TABLE_CAPACITY> slots_{};
    int highestId_ = 0;
};

// The detail text of the last failed watch table operation (at most 1023 characters).
const char* keWatchTableMessage();

}  // namespace kolm
