#include "files/KeFolderWatch.h"

#include "core/KeError.h"
#include "files/KeWatchCommon.h"
#include "platform/KeDirWatcher.h"
#include "platform/KeFileStamp.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace kolm {
namespace {

// Levels of sub-folders below the watched folder whose files are listed. Deeper changes
// still raise the flag.
constexpr int kListedLevels = 2;

struct KeFolderWatchRecord {
    int id = -1;
    char path[KE_WATCH_PATH_CAPACITY] = {};  // full path of the folder
    int64_t sinceNs = 0;                     // files written at or after this time count
    std::atomic<uint8_t> changed{0};         // raised by the watcher thread
    uint8_t reported = 0;
    int count = 0;
    char files[KE_FOLDER_WATCH_MAX_CHANGES][KE_WATCH_PATH_CAPACITY] = {};
    const char* list[KE_FOLDER_WATCH_MAX_CHANGES] = {};
    // Changed files that did not fit into the last listing; listed first next time, so that a
    // reset between the two listings does not lose them.
    std::vector<std::string> pending;
    bool failureShown = false;
    // Declared after the flag so that it is destroyed (its thread joined) first.
    std::unique_ptr<FolderWatcher> watcher;
};

// Freed at exit with whatever is still open.
KeWatchSet<KeFolderWatchRecord> g_watches("FolderWatch");

// Collects one listing: the files that fit, and those that do not.
struct Listing {
    KeFolderWatchRecord* record;
    std::vector<std::string> overflow;

    bool listed(const std::string& file) const {
        for (int i = 0; i < record->count; ++i)
            if (file == record->files[i]) return true;
        for (const std::string& o : overflow)
            if (o == file) return true;
        return false;
    }

    void add(const std::string& file) {
        if (listed(file)) return;
        if (record->count == KE_FOLDER_WATCH_MAX_CHANGES) {
            printMessage(KE_WARN, "keGetFolderWatchChanges too much changes\n");
            overflow.push_back(file);
            return;
        }
        if (file.size() >= KE_WATCH_PATH_CAPACITY) {
            printMessage(KE_WARN, "keGetFolderWatchChanges path too long: '%s'", file.c_str());
            return;
        }
        std::memcpy(record->files[record->count], file.c_str(), file.size() + 1);
        record->list[record->count] = record->files[record->count];
        ++record->count;
    }

    // Sub-folders first (names beginning with "." skipped), then the folder's own files, each
    // in the order the system lists them.
    void walk(const std::string& folder, int levels) {
        DIR* dir = opendir(folder.c_str());
        if (!dir) return;
        std::vector<std::string> subFolders;
        std::vector<std::string> files;
        while (dirent* e = readdir(dir)) {
            if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
            std::string child = folder;
            if (child.back() != '/') child += '/';
            child += e->d_name;
            struct stat st;
            if (stat(child.c_str(), &st) != 0) continue;  // gone again, or a dangling link
            if (S_ISDIR(st.st_mode)) {
                if (e->d_name[0] != '.' && levels > 0) subFolders.push_back(child);
            } else if (S_ISREG(st.st_mode)) {
                const int64_t written = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
                // At or after: the since-time and the file stamps come from the same coarse
                // clock, so a write in the tick of the reset carries the reset's time.
                if (written >= record->sinceNs) files.push_back(child);
            }
        }
        closedir(dir);
        for (const std::string& sub : subFolders) walk(sub, levels - 1);
        for (const std::string& file : files) add(file);
    }
};

}  // namespace

int keFolderWatch(const char* path, int id) {
    KeFolderWatchRecord* record = g_watches.open(path, id);
    if (!record) return -1;
    if (!g_watches.start(record, record->path, KeWatchScope::Tree)) return -1;
    record->sinceNs = keFileTimeNow();
    return 0;
}

bool keFolderWatchChanged(int id) {
    KeFolderWatchRecord* record = g_watches.find(id);
    if (!record) return false;
    g_watches.keepWatching(record, record->path, KeWatchScope::Tree);
    if (record->reported) return true;
    if (record->changed.load(std::memory_order_acquire) != 0 || !record->pending.empty()) {
        record->reported = 1;
        return true;
    }
    return false;
}

int keGetFolderWatchChanges(int id, const char* const** files) {
    if (files) *files = nullptr;
    KeFolderWatchRecord* record = g_watches.find(id);
    if (!record) return 0;
    if (files) *files = record->list;
    if (!record->reported) return 0;
    record->count = 0;
    Listing listing{record, {}};
    for (const std::string& file : record->pending) {
        struct stat st;
        if (stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode)) listing.add(file);
    }
    listing.walk(record->path, kListedLevels);
    record->pending = std::move(listing.overflow);
    return record->count;
}

int keFolderWatchReset(int id) {
    KeFolderWatchRecord* record = g_watches.find(id);
    if (!record) return -1;
    record->changed.store(0, std::memory_order_relaxed);
    record->reported = 0;
    record->count = 0;
    record->sinceNs = keFileTimeNow();
    return 0;
}

int keFolderWatchDelete(int id) { return g_watches.remove(id); }

void keFolderWatchFreeAll() { g_watches.freeAll(); }

}  // namespace kolm
