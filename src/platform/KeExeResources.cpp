#include "platform/KeExeResources.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kolm {
namespace {

const char kMagic[8] = {'K', 'O', 'L', 'M', 'R', 'S', 'C', '1'};

uint64_t readU64(const unsigned char* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}
uint32_t readU32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
void putU64(unsigned char* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}
void putU32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

std::string systemError(const char* what, const char* path) {
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

struct Memory {
    const unsigned char* data;
    size_t size;
};
bool readMemory(void* user, uint64_t offset, void* out, size_t size) {
    const Memory* m = static_cast<const Memory*>(user);
    if (offset > m->size || size > m->size - offset) return false;
    std::memcpy(out, m->data + offset, size);
    return true;
}

bool readFd(void* user, uint64_t offset, void* out, size_t size) {
    const int fd = *static_cast<int*>(user);
    auto* p = static_cast<unsigned char*>(out);
    while (size > 0) {
        const ssize_t n = ::pread(fd, p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        offset += static_cast<uint64_t>(n);
        size -= static_cast<size_t>(n);
    }
    return true;
}

// An open file, closed when it goes.
struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

KeResourceStatus openForReading(const char* path, Fd* f, uint64_t* size, std::string* error) {
    f->fd = ::open(path, O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (f->fd < 0 || ::fstat(f->fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (error) *error = systemError("Cannot read", path);
        return KeResourceStatus::Unreadable;
    }
    *size = static_cast<uint64_t>(st.st_size);
    return KeResourceStatus::Ok;
}

bool writeAll(int fd, const void* data, size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

KeResourceStatus keParseExeResources(KeReadAt readAt, void* user, uint64_t fileSize,
                                     std::vector<KeExeResource>* list, std::string* error) {
    std::vector<KeExeResource> found;
    uint64_t end = fileSize;
    // Each step consumes at least one footer, so the walk ends.
    while (end >= KE_RESOURCE_FOOTER_SIZE) {
        unsigned char footer[KE_RESOURCE_FOOTER_SIZE];
        if (!readAt(user, end - KE_RESOURCE_FOOTER_SIZE, footer, sizeof footer)) {
            if (error) *error = "Resource trailer cannot be read";
            return KeResourceStatus::Unreadable;
        }
        if (std::memcmp(footer + 16, kMagic, sizeof kMagic) != 0) break;
        const uint64_t size = readU64(footer);
        const uint64_t room = end - KE_RESOURCE_FOOTER_SIZE;
        if (size > room) {
            if (error) {
                *error = "Resource trailer is damaged: resource " + std::to_string(readU32(footer + 8)) +
                         " claims " + std::to_string(size) + " bytes, the file has " + std::to_string(room);
            }
            return KeResourceStatus::Damaged;
        }
        if (readU32(footer + 12) != 0) {
            if (error) *error = "Resource trailer is damaged: unknown footer version";
            return KeResourceStatus::Damaged;
        }
        KeExeResource r;
        r.id = readU32(footer + 8);
        r.size = size;
        r.offset = room - size;
        found.push_back(r);
        end = r.offset;
    }
    if (list) list->assign(found.rbegin(), found.rend());
    return found.empty() ? KeResourceStatus::Missing : KeResourceStatus::Ok;
}

KeResourceStatus keParseExeResources(const void* data, size_t size, std::vector<KeExeResource>* list,
                                     std::string* error) {
    Memory m{static_cast<const unsigned char*>(data), size};
    return keParseExeResources(&readMemory, &m, size, list, error);
}

KeResourceStatus keListExeResources(const char* path, std::vector<KeExeResource>* list, std::string* error) {
    Fd f;
    uint64_t size = 0;
    const KeResourceStatus s = openForReading(path, &f, &size, error);
    if (s != KeResourceStatus::Ok) return s;
    return keParseExeResources(&readFd, &f.fd, size, list, error);
}

KeResourceStatus keReadExeResource(const char* path, uint32_t id, std::string* payload, std::string* error) {
    Fd f;
    uint64_t size = 0;
    KeResourceStatus s = openForReading(path, &f, &size, error);
    if (s != KeResourceStatus::Ok) return s;
    std::vector<KeExeResource> list;
    s = keParseExeResources(&readFd, &f.fd, size, &list, error);
    if (s != KeResourceStatus::Ok) return s;
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        if (it->id != id) continue;
        // The size was checked against the file, so the block is no larger than the file.
        std::string bytes(static_cast<size_t>(it->size), '\0');
        if (!readFd(&f.fd, it->offset, bytes.data(), bytes.size())) {
            if (error) *error = systemError("Cannot read", path);
            return KeResourceStatus::Unreadable;
        }
        if (payload) payload->swap(bytes);
        return KeResourceStatus::Ok;
    }
    return KeResourceStatus::Missing;
}

KeResourceStatus keReadOwnResource(uint32_t id, std::string* payload, std::string* error) {
    return keReadExeResource("/proc/self/exe", id, payload, error);
}

int keAppendExeResource(const char* path, uint32_t id, const void* data, size_t size, std::string* error) {
    Fd f;
    f.fd = ::open(path, O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
    if (f.fd < 0) {
        if (error) *error = systemError("Cannot open", path);
        return -1;
    }
    unsigned char footer[KE_RESOURCE_FOOTER_SIZE];
    putU64(footer, size);
    putU32(footer + 8, id);
    putU32(footer + 12, 0);
    std::memcpy(footer + 16, kMagic, sizeof kMagic);
    if (!writeAll(f.fd, data, size) || !writeAll(f.fd, footer, sizeof footer) || ::fsync(f.fd) != 0) {
        if (error) *error = systemError("Cannot write", path);
        return -1;
    }
    return 0;
}

int keCopyExecutableImage(const char* from, const char* to, std::string* error) {
    Fd in;
    uint64_t size = 0;
    if (openForReading(from, &in, &size, error) != KeResourceStatus::Ok) return -1;
    struct stat st {};
    ::fstat(in.fd, &st);
    // A source that is itself a package passes on its program, not its resources.
    std::vector<KeExeResource> list;
    if (keParseExeResources(&readFd, &in.fd, size, &list, nullptr) == KeResourceStatus::Ok) size = list.front().offset;

    Fd out;
    out.fd = ::open(to, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (out.fd < 0) {
        if (error) *error = systemError("Cannot create", to);
        return -1;
    }
    std::vector<unsigned char> buffer(1 << 16);
    uint64_t done = 0;
    bool ok = true;
    while (ok && done < size) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(buffer.size(), size - done));
        ok = readFd(&in.fd, done, buffer.data(), n) && writeAll(out.fd, buffer.data(), n);
        done += n;
    }
    // The permission bits of the source (an executable stays executable), set after the
    // file is made so that the process's umask does not narrow them.
    ok = ok && ::fchmod(out.fd, st.st_mode & 07777) == 0 && ::fsync(out.fd) == 0;
    if (!ok) {
        if (error) *error = systemError("Cannot copy to", to);
        ::unlink(to);
        return -1;
    }
    return 0;
}

}  // namespace kolm
