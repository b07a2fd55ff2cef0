#include "files/KeWatch.h"

#include "core/KeError.h"
#include "files/KeWatchCommon.h"
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

// Freed at exit with whatever is still open.
KeWatchSet<KeFileWatchRecord> g_watches("FileWatch");

// Written since the stamp was taken: a later write time, another file put in its place, a
// removal, or a write that kept the time (same clock tick) but not the size.
bool writtenSince(const KeFileStamp& before, const KeFileStamp& now) {
    if (before.exists != now.exists) return true;
    if (!now.exists) return false;
    if (now.writeTimeNs > before.writeTimeNs) return true;
    if (now.inode != before.inode || now.device != before.device) return true;
    return now.writeTimeNs == before.writeTimeNs && now.size != before.size;
}

}  // namespace

int keFileWatch(const char* path, int id) {
    KeFileWatchRecord* record = g_watches.open(path, id);
    if (!record) return -1;
    keReadFileStamp(record->path, &record->stamp);
    keWatchFolderOf(record->path, record->folder);
    return g_watches.start(record, record->folder, KeWatchScope::Folder) ? 0 : -1;
}

bool keFileWatchChanged(int id) {
    KeFileWatchRecord* record = g_watches.find(id);
    if (!record) return false;
    g_watches.keepWatching(record, record->folder, KeWatchScope::Folder);
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
    KeFileWatchRecord* record = g_watches.find(id);
    if (!record) return -1;
    return keWaitFileReadable(record->path, timeoutMs);
}

int keFileWatchReset(int id) {
    KeFileWatchRecord* record = g_watches.find(id);
    if (!record) return -1;
    keReadFileStamp(record->path, &record->stamp);
    record->changed.store(0, std::memory_order_relaxed);
    record->reported = 0;
    return 0;
}

int keFileWatchDelete(int id) { return g_watches.remove(id); }

void keFileWatchFreeAll() { g_watches.freeAll(); }

}  // namespace kolm
