#include "files/KeWatch.h"

#include "core/KeError.h"
#include "files/KeWatchCommon.h"
#include "files/KeWatchTable.h"
#include "platform/KeDirWatcher.h"
#include "platform/KeFileStamp.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <memory>

namespace kolm {
namespace {

struct KeFileWatchRecord {
    int id = -1;
    char path[KE_WATCH_PATH_CAPACITY] = {};    // full path of the file
    char folder[KE_WATCH_PATH_CAPACITY] = {};  // the folder the watcher follows
    std::atomic<uint8_t> changed{0};           // raised by the watcher thread
    uint8_t reported = 0;
    KeFileStamp stamp;  // the file as it was at the last change taken or reset
    bool failureShown = false;
    // Declared after the flag so that it is destroyed (its thread joined) first.
    std::unique_ptr<FolderWatcher> watcher;
};

// The table, created at first use. Watches still open at exit are freed then, so that no
// watcher thread outlives the program's static objects.
struct Watches {
    std::unique_ptr<KeWatchTable> table;
    ~Watches() { keFileWatchFreeAll(); }
};
Watches g_watches;
std::unique_ptr<KeWatchTable>& g_table = g_watches.table;

KeWatchTable& table() {
    if (!g_table) g_table = std::make_unique<KeWatchTable>();
    return *g_table;
}

KeFileWatchRecord* find(int id) {
    auto* record = static_cast<KeFileWatchRecord*>(table().get(id));
    if (!record) recordError(1, "FileWatch ID %d does not exist. %s", id, keWatchTableMessage());
    return record;
}

// Written since the stamp was taken: a later write time, another file put in its place, a
// removal, or a write that kept the time (same clock tick) but not the size.
bool writtenSince(const KeFileStamp& before, const KeFileStamp& now) {
    if (before.exists != now.exists) return true;
    if (!now.exists) return false;
    if (now.writeTimeNs > before.writeTimeNs) return true;
    if (now.inode != before.inode || now.device != before.device) return true;
    return now.writeTimeNs == before.writeTimeNs && now.size != before.size;
}

void destroy(KeFileWatchRecord* record) {
    record->watcher.reset();  // joins the thread before the flag goes away
    delete record;
}

}  // namespace

int keFileWatch(const char* path, int id) {
    auto* record = new KeFileWatchRecord;
    record->id = id;
    if (table().add(id, record) != 0) {
        recordError(2, "invalid FileWatch ID %d : %s", id, keWatchTableMessage());
        delete record;
        return -1;
    }
    int error = 0;
    if (!keWatchFullPath(path, record->path, &error)) {
        keWatchFileOperationMessage("Cannot create change notification handle", path, error);
        table().remove(id);
        destroy(record);
        return -1;
    }
    keReadFileStamp(record->path, &record->stamp);
    keWatchFolderOf(record->path, record->folder);
    record->watcher = keCreateFolderWatcher(record->folder, &record->changed, KeWatchScope::Folder, &error);
    if (!record->watcher) {
        keWatchFileOperationMessage("Cannot create change notification handle", record->folder, error);
        table().remove(id);
        destroy(record);
        return -1;
    }
    return 0;
}

bool keFileWatchChanged(int id) {
    KeFileWatchRecord* record = find(id);
    if (!record) return false;
    if (!record->failureShown && record->watcher->failure() != 0) {
        // The thread stopped waiting; say so once, here on the main thread.
        record->failureShown = true;
        keWatchFileOperationMessage("Cannot detect changes in folder", record->folder, record->watcher->failure());
    }
    if (record->reported) return true;
    if (record->changed.load(std::memory_order_acquire) == 0) return false;
    record->changed.store(0, std::memory_order_relaxed);
    KeFileStamp now;
    keReadFileStamp(record->path, &now);
    // A file that cannot be looked at right now (removed, being replaced) counts as changed;
    // waiting until it is readable decides the rest.
    if (now.exists && !writtenSince(record->stamp, now)) return false;  // another file of the folder
    record->stamp = now;
    record->reported = 1;
    return true;
}

int keFileWatchWaitReadable(int id, int timeoutMs) {
    KeFileWatchRecord* record = find(id);
    if (!record) return -1;
    return keWaitFileReadable(record->path, timeoutMs);
}

int keFileWatchReset(int id) {
    KeFileWatchRecord* record = find(id);
    if (!record) return -1;
    keReadFileStamp(record->path, &record->stamp);
    record->changed.store(0, std::memory_order_relaxed);
    record->reported = 0;
    return 0;
}

int keFileWatchDelete(int id) {
    if (!g_table) return -1;
    auto* record = static_cast<KeFileWatchRecord*>(g_table->get(id));
    if (!record) return -1;
    g_table->remove(id);
    destroy(record);
    return 0;
}

void keFileWatchFreeAll() {
    if (!g_table) return;
    for (int id = 0; id <= g_table->highestId(); ++id) keFileWatchDelete(id);
    g_table.reset();
}

}  // namespace kolm
