#include "files/KeFolderWatch.h"

#include "core/KeError.h"
#include "files/KeWatchCommon.h"
#include "files/KeWatchTable.h"
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

// The table, created at first use. Watches still open at exit are freed then, so that no
// watcher thread outlives the program's static objects.
struct Watches {
    std::unique_ptr<KeWatchTable> table;
    ~Watches() { keFolderWatchFreeAll(); }
};
Watches g_watches;
std::unique_ptr<KeWatchTable>& g_table = g_watches.table;

KeWatchTable& table() {
    if (!g_table) g_table = std::make_unique<KeWatchTable>();
    return *g_table;
}

KeFolderWatchRecord* find(int id) {
    auto* record = static_cast<KeFolderWatchRecord*>(table().get(id));
    if (!record) recordError(1, "FolderWatch ID %d does not exist. %s", id, keWatchTableMessage());
    return record;
}

void destroy(KeFolderWatchRecord* record) {
    record->watcher.reset();  // joins the thread before the flag goes away
    delete record;
}

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
    auto* record = new KeFolderWatchRecord;
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
    record->watcher = keCreateFolderWatcher(record->path, &record->changed, KeWatchScope::Tree, &error);
    if (!record->watcher) {
        keWatchFileOperationMessage("Cannot create change notification handle", record->path, error);
        table().remove(id);
        destroy(record);
        return -1;
    }
    record->sinceNs = keFileTimeNow();
    return 0;
}

bool keFolderWatchChanged(int id) {
    KeFolderWatchRecord* record = find(id);
    if (!record) return false;
    if (!record->failureShown && record->watcher->failure() != 0) {
        // The thread stopped waiting; say so once, here on the main thread.
        record->failureShown = true;
        keWatchFileOperationMessage("Cannot detect changes in folder", record->path, record->watcher->failure());
    }
    if (record->reported) return true;
    if (record->changed.load(std::memory_order_acquire) != 0 || !record->pending.empty()) {
        record->reported = 1;
        return true;
    }
    return false;
}

int keGetFolderWatchChanges(int id, const char* const** files) {
    if (files) *files = nullptr;
    KeFolderWatchRecord* record = find(id);
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
    KeFolderWatchRecord* record = find(id);
    if (!record) return -1;
    record->changed.store(0, std::memory_order_relaxed);
    record->reported = 0;
    record->count = 0;
    record->sinceNs = keFileTimeNow();
    return 0;
}

int keFolderWatchDelete(int id) {
    if (!g_table) return -1;
    auto* record = static_cast<KeFolderWatchRecord*>(g_table->get(id));
    if (!record) return -1;
    g_table->remove(id);
    destroy(record);
    return 0;
}

void keFolderWatchFreeAll() {
    if (!g_table) return;
    for (int id = 0; id <= g_table->highestId(); ++id) keFolderWatchDelete(id);
    g_table.reset();
}

}  // namespace kolm
