// The ID tables of file and folder watches: 100 slots each, addressed by small IDs that the
// caller chooses, with the rules and detail texts of every engine ID table.
#pragma once

#include "core/KeIdTable.h"

namespace kolm {

constexpr int KE_WATCH_TABLE_CAPACITY = 100;

template <class Record>
std::unique_ptr<KeIdTable<Record>> keCreateWatchTable() {
    return KeIdTable<Record>::create(KE_WATCH_TABLE_CAPACITY);
}

}  // namespace kolm
