// Helpers shared by file and folder watches: full paths, the file-operation message and the
// table of watches with its records' life cycle.
#pragma once

#include "core/KeError.h"
#include "files/KeWatchTable.h"
#include "platform/KeDirWatcher.h"

#include <atomic>
#include <cerrno>
#include <memory>

namespace kolm {

// Watched paths and listed file names: at most 259 characters and the terminating zero.
constexpr int KE_WATCH_PATH_CAPACITY = 260;

// Makes path absolute (against the current directory) and folds ".", ".." and repeated
// slashes, without touching the disk. False with errno-style code in *error (EINVAL for an
// empty path, ENAMETOOLONG when the result does not fit) and out untouched.
bool keWatchFullPath(const char* path, char (&out)[KE_WATCH_PATH_CAPACITY], int* error);

// The folder part of a full path ("/a/b.txt" -> "/a", "/b.txt" -> "/").
void keWatchFolderOf(const char* fullPath, char (&out)[KE_WATCH_PATH_CAPACITY]);

// The box shown when a watch cannot be made or stops working:
// "<problem>\nFile: '<path>'\nSystem reports: <text of the error code>".
void keWatchFileOperationMessage(const char* problem, const char* path, int error);


// True when path names a folder right now.
bool keWatchFolderExists(const char* path);

// The watches of one kind: records in a table created at first use. Record needs `int id`,
// `char path[KE_WATCH_PATH_CAPACITY]`, `std::atomic<uint8_t> changed`, `bool failureShown`
// and `std::unique_ptr<FolderWatcher> watcher`. Watches still open when the set goes away (at
// exit, for the static sets) are freed then, so that no watcher thread outlives it.
template <class Record>
class KeWatchSet {
public:
    // kind names the watches in messages ("FileWatch", "FolderWatch").
    constexpr explicit KeWatchSet(const char* kind) : m_kind(kind) {}
    ~KeWatchSet() { freeAll(); }
    KeWatchSet(const KeWatchSet&) = delete;
    KeWatchSet& operator=(const KeWatchSet&) = delete;

    // The record, or nullptr after recording "<kind> ID %d does not exist. %s" (argument 1).
    Record* find(int id) {
        auto* record = table().get(id);
        if (!record) recordError(1, "%s ID %d does not exist. %s", m_kind, id, keIdTableMessage());
        return record;
    }

    // A new record registered under id, its path the full form of path. nullptr after
    // recording "invalid FileWatch ID %d : %s" (argument 2) for a bad or taken ID, or after
    // the file-operation message for a bad path; nothing is kept then.
    Record* open(const char* path, int id) {
        auto* record = new Record;
        record->id = id;
        if (table().add(id, record) != 0) {
            recordError(2, "invalid FileWatch ID %d : %s", id, keIdTableMessage());
            delete record;
            return nullptr;
        }
        int error = 0;
        if (!keWatchFullPath(path, record->path, &error)) {
            keWatchFileOperationMessage("Cannot create change notification handle", path, error);
            table().remove(id);
            destroy(record);
            return nullptr;
        }
        return record;
    }

    // Starts the record's watcher on folder. False after the file-operation message, the
    // record then unregistered and freed.
    bool start(Record* record, const char* folder, KeWatchScope scope) {
        int error = 0;
        record->watcher = keCreateFolderWatcher(folder, &record->changed, scope, &error);
        if (record->watcher) return true;
        keWatchFileOperationMessage("Cannot create change notification handle", folder, error);
        table().remove(record->id);
        destroy(record);
        return false;
    }

    // Called at every query of the watch. A watcher whose thread gave up (its folder removed
    // or moved aside, or the system failing) is made again on folder as soon as a folder is
    // there, with the change flag raised: what the folder holds now may differ in any way.
    // Until then "Cannot detect changes in folder" is shown, once per loss.
    void keepWatching(Record* record, const char* folder, KeWatchScope scope) {
        if (record->watcher && record->watcher->failure() == 0) return;
        int failure = record->watcher ? record->watcher->failure() : ENOENT;
        if (keWatchFolderExists(folder)) {
            record->watcher.reset();  // its thread has ended; join it
            int error = 0;
            record->watcher = keCreateFolderWatcher(folder, &record->changed, scope, &error);
            if (record->watcher) {
                record->changed.store(1, std::memory_order_release);
                record->failureShown = false;
                return;
            }
            failure = error;
        }
        if (record->failureShown) return;
        record->failureShown = true;
        keWatchFileOperationMessage("Cannot detect changes in folder", folder, failure);
    }

    // Stops and frees one watch. -1, silently, for an ID that is not registered.
    int remove(int id) {
        if (!m_table) return -1;
        auto* record = m_table->get(id);
        if (!record) return -1;
        m_table->remove(id);
        destroy(record);
        return 0;
    }

    // Frees every watch and the table.
    void freeAll() {
        if (!m_table) return;
        for (int id = 0; id <= m_table->highestId(); ++id) remove(id);
        m_table.reset();
    }

private:
    KeIdTable<Record>& table() {
        if (!m_table) m_table = keCreateWatchTable<Record>();
        return *m_table;
    }

    static void destroy(Record* record) {
        record->watcher.reset();  // joins the thread before the flag goes away
        delete record;
    }

    const char* m_kind;
    std::unique_ptr<KeIdTable<Record>> m_table;
};

}  // namespace kolm
