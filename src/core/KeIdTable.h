// KeIdTable<T>: a fixed-capacity table of records addressed by small caller-chosen integer IDs.
//
// Valid IDs are 0 .. capacity - 1; a slot is null (free) or points to a record that the
// registering operation family owns: the table never allocates or frees records, removing an ID
// only clears its slot. The highest ID ever added is kept (never lowered by a removal) so that
// "every record of a kind" is a walk over 0 .. highest ID that skips the null slots.
//
// Table operations never log. Each failure (and nothing else) leaves a detail text in one
// process-wide buffer, read with keIdTableMessage() and placed by the object API into its own
// messages ("Object ID %d does not exist. %s"). Main thread only; not reentrant.
//
// Every ID table of the engine is one of these: the seven object API tables, music, file and
// folder watches. The free functions keIdTable* are the same operations on a table pointer that
// may be null (a null table fails like an out-of-range ID, with the detail "no ID table").
#pragma once

#include <cstdint>
#include <memory>
#include <type_traits>

namespace kolm {

constexpr int KE_ID_TABLE_MESSAGE_CAPACITY = 1024;  // detail buffer, terminating zero included

// The detail text of the last failing table operation ("" before any).
const char* keIdTableMessage();

// The untyped slots and rules; KeIdTable<T> gives them their record type.
class KeIdTableSlots {
public:
    KeIdTableSlots(const KeIdTableSlots&) = delete;
    KeIdTableSlots& operator=(const KeIdTableSlots&) = delete;

    int capacity() const { return m_capacity; }
    int highestId() const { return m_highestId; }
    // 0: slot cleared. -1: ID out of range or slot already free (detail message set).
    int remove(int id);
    // Whether id is registered; never touches the detail message (out of range: false).
    bool exists(int id) const { return id >= 0 && id < m_capacity && m_slots[id] != nullptr; }

protected:
    // capacity > 0 (checked by the creating function).
    explicit KeIdTableSlots(int capacity, std::unique_ptr<void*[]> slots)
        : m_slots(std::move(slots)), m_capacity(capacity) {}
    int addRecord(int id, void* record);
    void* getRecord(int id) const;

private:
    std::unique_ptr<void*[]> m_slots;
    int m_capacity;
    int m_highestId = 0;
};

template <class T>
class KeIdTable final : public KeIdTableSlots {
public:
    // A table with every slot free, or null when the capacity is not positive or memory runs out.
    static std::unique_ptr<KeIdTable> create(int capacity);

    // 0: record stored under id and the highest ID raised to id if larger. -1: nothing changed,
    // the detail message says why (negative ID, ID beyond the capacity, slot taken, null record).
    int add(int id, T* record) { return addRecord(id, const_cast<void*>(static_cast<const void*>(record))); }
    // The record of id, or null. An ID out of range sets the detail message; a free slot in range
    // leaves it as it was.
    T* get(int id) const { return static_cast<T*>(getRecord(id)); }

private:
    using KeIdTableSlots::KeIdTableSlots;
};

// Allocates capacity null slots; null when capacity <= 0 or memory runs out.
std::unique_ptr<void*[]> keIdTableAllocateSlots(int capacity);

template <class T>
std::unique_ptr<KeIdTable<T>> KeIdTable<T>::create(int capacity) {
    auto slots = keIdTableAllocateSlots(capacity);
    if (!slots) return nullptr;
    return std::unique_ptr<KeIdTable>(new KeIdTable(capacity, std::move(slots)));
}

// ---- the same operations on a table pointer ---------------------------------------------------

// The record parameter takes its type from the table, so that a null record converts.
template <class T>
using KeIdRecordOf = typename std::common_type<T>::type;

// Sets the detail for a missing table; false.
bool keIdTableMissing();

template <class T>
KeIdTable<T>* keIdTableCreate(int capacity) {
    return KeIdTable<T>::create(capacity).release();
}
// Frees the table, not the records. Null is accepted. Returns 0.
template <class T>
int keIdTableFree(KeIdTable<T>* table) {
    delete table;
    return 0;
}
template <class T>
int keIdTableAdd(KeIdTable<T>* table, int id, KeIdRecordOf<T>* record) {
    return table ? table->add(id, record) : (keIdTableMissing(), -1);
}
template <class T>
int keIdTableRemove(KeIdTable<T>* table, int id) {
    return table ? table->remove(id) : (keIdTableMissing(), -1);
}
template <class T>
T* keIdTableGet(const KeIdTable<T>* table, int id) {
    return table ? table->get(id) : (keIdTableMissing(), nullptr);
}
template <class T>
int keIdTableHighestId(const KeIdTable<T>* table) {
    return table ? table->highestId() : 0;
}

}  // namespace kolm
