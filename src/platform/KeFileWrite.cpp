#include "platform/KeFileWrite.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kolm {

int keMakeFolderNoFollow(const char* path) {
    if (::mkdir(path, 0777) == 0) return 0;
    if (errno != EEXIST) return -1;
    struct stat st {};
    // lstat: a link named like the folder is refused, even when it points to a folder.
    return ::lstat(path, &st) == 0 && S_ISDIR(st.st_mode) ? 0 : -1;
}

int keWriteFileNoFollow(const char* path, const void* data, size_t size) {
    // O_NONBLOCK: a fifo of that name must not hang the open; only regular files are written.
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    const auto* p = static_cast<const unsigned char*>(data);
    bool ok = true;
    while (ok && size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) {
            p += n;
            size -= static_cast<size_t>(n);
        }
    }
    return ::close(fd) == 0 && ok ? 0 : -1;
}

}  // namespace kolm
