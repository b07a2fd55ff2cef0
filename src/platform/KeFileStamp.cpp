#include "platform/KeFileStamp.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kolm {
namespace {

int64_t monotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void sleepMs(int ms) {
    timespec ts{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

// True when some process has the file open for writing, as far as the system can tell: a read
// lease is refused (EAGAIN) exactly then. Leases need the file's owner (or CAP_LEASE) and a
// file system that has them; elsewhere the answer is false and the stable stamp decides alone.
bool openForWriting(int fd) {
    // Should a writer open the file while the lease is held, the system tells the holder with
    // a signal; SIGURG is ignored unless handled, unlike the default SIGIO, which would end the
    // process. The lease is let go at once in any case.
    fcntl(fd, F_SETSIG, SIGURG);
    if (fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
        fcntl(fd, F_SETLEASE, F_UNLCK);
        return false;
    }
    return errno == EAGAIN;
}

// A regular file that opens for reading right now and that nobody is writing. O_NONBLOCK keeps
// a FIFO from blocking us.
bool lookReadable(const char* path, KeFileStamp* stamp) {
    if (!keReadFileStamp(path, stamp)) return false;
    struct stat st;
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    const bool writing = openForWriting(fd);
    close(fd);
    return !writing;
}

}  // namespace

bool keReadFileStamp(const char* path, KeFileStamp* stamp) {
    *stamp = KeFileStamp{};
    struct stat st;
    if (!path || stat(path, &st) != 0) return false;
    stamp->exists = true;
    stamp->writeTimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    stamp->size = static_cast<int64_t>(st.st_size);
    stamp->device = static_cast<uint64_t>(st.st_dev);
    stamp->inode = static_cast<uint64_t>(st.st_ino);
    return true;
}

bool keSameFileStamp(const KeFileStamp& a, const KeFileStamp& b) {
    return a.exists == b.exists && a.writeTimeNs == b.writeTimeNs && a.size == b.size &&
           a.device == b.device && a.inode == b.inode;
}

int64_t keFileTimeNow() {
    timespec ts;
    clock_gettime(CLOCK_REALTIME_COARSE, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

int keWaitFileReadable(const char* path, int timeoutMs, int intervalMs) {
    if (!path) return -1;
    if (intervalMs < 1) intervalMs = 1;
    if (timeoutMs < 0) timeoutMs = 0;
    const int64_t start = monotonicMs();
    KeFileStamp previous;
    bool previousReadable = lookReadable(path, &previous);
    for (;;) {
        sleepMs(intervalMs);
        KeFileStamp current;
        const bool readable = lookReadable(path, &current);
        // Unchanged over a whole interval: the writer is done (or paused longer than that).
        if (readable && previousReadable && keSameFileStamp(previous, current)) return 0;
        previous = current;
        previousReadable = readable;
        if (monotonicMs() - start >= timeoutMs) return -1;
    }
}

}  // namespace kolm
