// The watcher that never fires: no thread, no notifications. Creation still fails for a
// folder that does not exist, as the real one does.
#include "platform/KeDirWatcher.h"

#include <cerrno>
#include <sys/stat.h>

namespace kolm {
namespace {

class CKeNullFolderWatcher final : public FolderWatcher {
public:
    int failure() const override { return 0; }
};

}  // namespace

std::unique_ptr<FolderWatcher> keCreateNullFolderWatcher(const char* folder, std::atomic<uint8_t>* changed,
                                                         KeWatchScope, int* error) {
    struct stat st;
    int err = 0;
    if (!folder || !changed) {
        err = EINVAL;
    } else if (stat(folder, &st) != 0) {
        err = errno;
    } else if (!S_ISDIR(st.st_mode)) {
        err = ENOTDIR;
    }
    if (error) *error = err;
    if (err) return nullptr;
    return std::make_unique<CKeNullFolderWatcher>();
}

}  // namespace kolm
