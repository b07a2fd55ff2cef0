// KeIdTable: a fixed-capacity table of records addressed by small caller-chosen integer IDs.
//
// Valid IDs are 0 .. capacity - 1; a slot is null (free) or points to a record that the
// registering operation family owns: the table never allocates or frees records, removing an ID
// only clears its slot. The highest ID ever added is kept (never lowered by a removal) so that
// "every record of a kind" is a walk over 0 .. highest ID that skips the null slots.
//
// Table operations never log. Each failure (and nothing else) leaves a detail text in one
// process-wide buffer, read with keIdTableMessage() and placed by the object API into its own
// messages ("Object ID %d does not exist. %s"). Main thread only; not reentrant.
#pragma once

#include <cstdint>

namespace kolm {

struct KeIdTable {
    int32_t capacity;   // number of slots
    int32_t highestId;  // largest ID ever added; 0 for a new table
    void** slots;       // capacity entries, null = free
};

constexpr int KE_ID_TABLE_MESSAGE_CAPACITY = 1024;  // detail buffer, terminating zero included

// A table with every slot free, or null when the capacity is not positive or memory runs out.
KeIdTable* keIdTableCreate(int capacity);
// Frees the slot array and the table, not the records. Null is accepted. Returns 0.
int keIdTableFree(KeIdTable* table);
// 0: record stored under id and the highest ID raised to id if larger. -1: nothing changed, the
// detail message says why (negative ID, ID beyond the capacity, slot taken, null record).
int keIdTableAdd(KeIdTable* table, int id, void* record);
// 0: slot cleared. -1: ID out of range or slot already free (detail message set).
int keIdTableRemove(KeIdTable* table, int id);
// The record of id, or null. An ID out of range sets the detail message; a free slot in range
// leaves it as it was.
void* keIdTableGet(const KeIdTable* table, int id);
int keIdTableHighestId(const KeIdTable* table);
// The detail text of the last failing table operation ("" before any).
const char* keIdTableMessage();

}  // namespace kolm
