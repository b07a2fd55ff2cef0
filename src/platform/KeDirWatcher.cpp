#include "platform/KeDirWatcher.h"

namespace kolm {
namespace {
KeFolderWatcherBackend g_backend = KeFolderWatcherBackend::System;
}

void keSetFolderWatcherBackend(KeFolderWatcherBackend backend) { g_backend = backend; }

KeFolderWatcherBackend keGetFolderWatcherBackend() { return g_backend; }

std::unique_ptr<FolderWatcher> keCreateFolderWatcher(const char* folder, std::atomic<uint8_t>* changed,
                                                     KeWatchScope scope, int* error) {
    if (g_backend == KeFolderWatcherBackend::Null) return keCreateNullFolderWatcher(folder, changed, scope, error);
    return keCreateInotifyFolderWatcher(folder, changed, scope, error);
}

}  // namespace kolm
