// Folder watchers: one background thread per watch that waits for the system's change
// notifications on a folder (or a folder tree) and raises its owner's one-byte flag.
//
// The thread only ever stores 1 into the flag; the owner reads and clears it on the main
// thread. Destroying a watcher stops its thread and waits for it, so the flag it points to
// may be freed right after.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

namespace kolm {

enum class KeWatchScope {
    Folder,  // the folder's own entries
    Tree,    // the folder and every sub-folder, including those made later
};

// Sub-folders deeper than this below the watched folder are not followed (a guard against
// pathological trees; real content trees are far shallower).
constexpr int KE_WATCH_MAX_TREE_DEPTH = 32;

class FolderWatcher {
public:
    // Stops the thread and joins it before returning.
    virtual ~FolderWatcher() = default;

    // 0 while the watcher works; otherwise the errno with which its thread gave up waiting
    // (the flag is then never raised again): ENOENT when the watched folder itself was
    // removed or moved away, the flag raised once more. Read on the owner's thread.
    virtual int failure() const = 0;

    FolderWatcher(const FolderWatcher&) = delete;
    FolderWatcher& operator=(const FolderWatcher&) = delete;

protected:
    FolderWatcher() = default;
};

// The system's notifications (inotify). nullptr on failure, with the errno in *error.
std::unique_ptr<FolderWatcher> keCreateInotifyFolderWatcher(const char* folder, std::atomic<uint8_t>* changed,
                                                            KeWatchScope scope, int* error);

// The null twin: accepts any existing folder and never raises the flag. Starts no thread.
std::unique_ptr<FolderWatcher> keCreateNullFolderWatcher(const char* folder, std::atomic<uint8_t>* changed,
                                                         KeWatchScope scope, int* error);

enum class KeFolderWatcherBackend { System, Null };

// Which backend keCreateFolderWatcher uses (System unless a test chooses Null). Main thread.
void keSetFolderWatcherBackend(KeFolderWatcherBackend backend);
KeFolderWatcherBackend keGetFolderWatcherBackend();

std::unique_ptr<FolderWatcher> keCreateFolderWatcher(const char* folder, std::atomic<uint8_t>* changed,
                                                     KeWatchScope scope, int* error);

}  // namespace kolm
