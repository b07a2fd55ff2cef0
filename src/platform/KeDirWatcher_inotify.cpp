// The inotify watcher. One inotify instance and one thread per watcher; the thread sleeps in
// poll() on the inotify descriptor and an eventfd that FlushThread signals.
//
// The watched folders (the root and, for a tree, its sub-folders) are set up on the creating
// thread before the watcher thread starts; after that only the watcher thread touches them.
#include "platform/KeDirWatcher.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <unordered_map>

namespace kolm {
namespace {

// Everything that changes what a folder holds or when a file was last written. IN_ATTRIB
// covers a write time set without writing (touch).
constexpr uint32_t kEntryEvents = IN_CLOSE_WRITE | IN_MODIFY | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE |
                                  IN_DELETE | IN_ATTRIB;

struct WatchedDir {
    std::string path;
    int depth = 0;  // 0 for the watched folder itself
};

// A thread object: the thread runs InitThread and then Loop; FlushThread asks Loop to return.
// The thread starts with resume(), once the object is complete. A derived class calls kill()
// first thing in its destructor, while its overrides are still there to be called.
class ActiveObject {
public:
    virtual ~ActiveObject() = default;
    ActiveObject(const ActiveObject&) = delete;
    ActiveObject& operator=(const ActiveObject&) = delete;

protected:
    ActiveObject() = default;
    virtual void InitThread() = 0;
    virtual void Loop() = 0;
    virtual void FlushThread() = 0;

    // 0, or the errno with which the thread could not be made.
    int resume() {
        try {
            m_thread = std::thread([this] {
                InitThread();
                Loop();
            });
        } catch (const std::system_error& e) {
            return e.code().value() ? e.code().value() : EAGAIN;
        }
        return 0;
    }
    // Marks the object dying, wakes the thread and waits for it to end.
    void kill() {
        m_dying.fetch_add(1);
        if (!m_thread.joinable()) return;
        FlushThread();
        m_thread.join();
    }
    bool dying() const { return m_dying.load() != 0; }

private:
    std::thread m_thread;
    std::atomic<int> m_dying{0};
};

class CKeInotifyFolderWatcher final : public FolderWatcher, private ActiveObject {
public:
    CKeInotifyFolderWatcher(std::atomic<uint8_t>* changed, KeWatchScope scope) : m_changed(changed), m_scope(scope) {}

    ~CKeInotifyFolderWatcher() override {
        kill();
        if (m_inotifyFd >= 0) close(m_inotifyFd);
        if (m_stopFd >= 0) close(m_stopFd);
    }

    // Returns 0 or the errno that prevented watching the folder.
    int start(const char* folder) {
        m_inotifyFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_inotifyFd < 0) return errno;
        m_stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (m_stopFd < 0) return errno;
        // The root follows a symbolic link (the user named it); sub-folders do not.
        const int wd = inotify_add_watch(m_inotifyFd, folder, kEntryEvents | IN_ONLYDIR | IN_DELETE_SELF |
                                                                 IN_MOVE_SELF);
        if (wd < 0) return errno;
        m_rootWd = wd;
        m_dirs[wd] = WatchedDir{folder, 0};
        if (m_scope == KeWatchScope::Tree) addSubFolders(folder, 1);
        return resume();
    }

    int failure() const override { return m_failure.load(std::memory_order_acquire); }

private:
    void raise() { m_changed->store(1, std::memory_order_release); }

    // Watches every sub-folder of path, depth being that of path's children. A sub-folder
    // that cannot be watched (gone again, no permission, out of watches) is left out: the
    // rest of the tree still works.
    void addSubFolders(const std::string& path, int depth) {
        if (depth > KE_WATCH_MAX_TREE_DEPTH) return;
        DIR* dir = opendir(path.c_str());
        if (!dir) return;
        while (dirent* e = readdir(dir)) {
            if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
            std::string child = path;
            if (child.empty() || child.back() != '/') child += '/';
            child += e->d_name;
            bool isDir = e->d_type == DT_DIR;
            if (e->d_type == DT_UNKNOWN) {
                struct stat st;
                isDir = lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
            }
            if (isDir) addFolder(child, depth);
        }
        closedir(dir);
    }

    void addFolder(const std::string& path, int depth) {
        const int wd = inotify_add_watch(m_inotifyFd, path.c_str(), kEntryEvents | IN_ONLYDIR | IN_DONT_FOLLOW);
        if (wd < 0) return;
        m_dirs[wd] = WatchedDir{path, depth};
        addSubFolders(path, depth + 1);
    }

    void handle(const inotify_event& ev) {
        if (ev.mask & IN_Q_OVERFLOW) {
            // Events were dropped: something changed, and sub-folders made meanwhile may
            // have gone unnoticed. Watching a folder twice only renews its watch.
            if (m_scope == KeWatchScope::Tree) {
                auto root = m_dirs.find(m_rootWd);
                if (root != m_dirs.end()) addSubFolders(std::string(root->second.path), 1);
            }
            raise();
            return;
        }
        auto it = m_dirs.find(ev.wd);
        if (ev.wd == m_rootWd && (ev.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT))) {
            // The watched folder itself was removed, moved aside (a checkout that replaces it)
            // or unmounted: nothing at its path is watched any more. A change, and the end.
            raise();
            m_rootGone = true;
            return;
        }
        if (ev.mask & IN_IGNORED) {
            // A sub-folder went away (or was unmounted).
            if (it != m_dirs.end()) m_dirs.erase(it);
            return;
        }
        if (it == m_dirs.end()) return;
        if (m_scope == KeWatchScope::Tree && (ev.mask & IN_ISDIR) && (ev.mask & (IN_CREATE | IN_MOVED_TO)) &&
            ev.len > 0) {
            // A new sub-folder: follow it, and whatever was put into it before the watch was
            // in place is covered by the flag raised below.
            std::string child = it->second.path;
            const int depth = it->second.depth + 1;
            if (child.back() != '/') child += '/';
            child += ev.name;
            addFolder(child, depth);
        }
        raise();
    }

    void InitThread() override {}

    void FlushThread() override {
        const uint64_t one = 1;
        // An eventfd write of 1 cannot block or fail short of a bad descriptor.
        ssize_t written;
        do {
            written = write(m_stopFd, &one, sizeof one);
        } while (written < 0 && errno == EINTR);
    }

    void Loop() override {
        alignas(inotify_event) char buffer[16 * 1024];
        pollfd fds[2] = {{m_inotifyFd, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
        for (;;) {
            const int ready = poll(fds, 2, -1);
            if (ready < 0) {
                if (errno == EINTR) continue;
                m_failure.store(errno, std::memory_order_release);
                return;
            }
            if (fds[1].revents != 0 || dying()) return;
            if (fds[0].revents & (POLLERR | POLLNVAL)) {
                m_failure.store(EIO, std::memory_order_release);
                return;
            }
            if (!(fds[0].revents & POLLIN)) continue;
            for (;;) {
                const ssize_t got = read(m_inotifyFd, buffer, sizeof buffer);
                if (got < 0) {
                    if (errno == EINTR) continue;
                    if (errno == EAGAIN) break;
                    m_failure.store(errno, std::memory_order_release);
                    return;
                }
                if (got == 0) break;
                // Events are whole and aligned within one read; the name follows each one.
                for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
                    const auto* ev = reinterpret_cast<const inotify_event*>(buffer + at);
                    const ssize_t size = static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
                    if (at + size > got) break;
                    handle(*ev);
                    at += size;
                }
                if (m_rootGone) {
                    m_failure.store(ENOENT, std::memory_order_release);
                    return;
                }
            }
        }
    }

    std::atomic<uint8_t>* m_changed;
    KeWatchScope m_scope;
    int m_inotifyFd = -1;
    int m_stopFd = -1;
    int m_rootWd = -1;
    bool m_rootGone = false;  // watcher thread only
    std::unordered_map<int, WatchedDir> m_dirs;  // watcher thread only once started
    std::atomic<int> m_failure{0};
};

}  // namespace

std::unique_ptr<FolderWatcher> keCreateInotifyFolderWatcher(const char* folder, std::atomic<uint8_t>* changed,
                                                            KeWatchScope scope, int* error) {
    int err = (folder && *folder && changed) ? 0 : EINVAL;
    std::unique_ptr<CKeInotifyFolderWatcher> watcher;
    if (!err) {
        watcher = std::make_unique<CKeInotifyFolderWatcher>(changed, scope);
        err = watcher->start(folder);
    }
    if (error) *error = err;
    if (err) return nullptr;  // the destructor closes whatever start() had opened
    return watcher;
}

}  // namespace kolm
