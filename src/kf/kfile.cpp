#include "kf/kfile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

struct KfileState {
    bool hasOpen = false;
    KFILE_OPEN_HOOK open = {};
    bool hasDir = false;
    KFILE_DIR_HOOKS dir = {};
    bool hasPath = false;
    KFILE_PATH_HOOKS path = {};
    char currentDir[KFILE_PATH_CAPACITY] = {};
    char fullBuf[KFILE_PATH_CAPACITY] = {};
    char baseBuf[KFILE_PATH_CAPACITY] = {};
    char dirBuf[KFILE_PATH_CAPACITY] = {};
};

KfileState g_kfile;

// Copies with truncation; always terminates.
void copyCut(char* dst, const char* src) {
    std::snprintf(dst, KFILE_PATH_CAPACITY, "%s", src ? src : "");
}

bool endsInSeparator(const char* s) {
    const size_t n = std::strlen(s);
    if (n == 0) return false;
    const char c = s[n - 1];
    return c == '/' || c == ':' || c == '\\';
}

// dst = dir + ("/" unless dir ends in a separator) + name, cut to the buffer.
void joinCut(char* dst, const char* dir, const char* name) {
    size_t n = 0;
    auto put = [&](const char* t) {
        while (*t && n + 1 < KFILE_PATH_CAPACITY) dst[n++] = *t++;
    };
    // An empty directory is the process's own: the name stays relative.
    const bool sep = dir[0] == '\0' || endsInSeparator(dir);
    put(dir);
    if (!sep) put("/");
    put(name ? name : "");
    dst[n] = '\0';
}

bool isSeparator(char c) { return c == '/' || c == ':' || c == '\\'; }

// ---- stdio stream -------------------------------------------------------------------------

FILE* fileOf(KFILE* s) { return static_cast<FILE*>(s->handle); }

int stdSeek(KFILE* s, long offset, int whence) {
    int w;
    switch (whence) {
    case 0: w = SEEK_SET; break;
    case 1: w = SEEK_CUR; break;
    case 2: w = SEEK_END; break;
    default: return 1;
    }
    return std::fseek(fileOf(s), offset, w) == 0 ? 0 : 1;
}

size_t stdRead(void* buffer, size_t size, size_t count, KFILE* s) {
    return std::fread(buffer, size, count, fileOf(s));
}

int stdGetbyte(KFILE* s) {
    const int c = std::fgetc(fileOf(s));
    return c == EOF ? -1 : c;
}

char* stdGetline(char* buffer, int length, KFILE* s) { return std::fgets(buffer, length, fileOf(s)); }

long stdTell(KFILE* s) { return std::ftell(fileOf(s)); }

int stdClose(KFILE* s) {
    std::fclose(fileOf(s));
    delete s;
    return 0;
}

}  // namespace

void kfile_set_open_hook(const KFILE_OPEN_HOOK* hook) {
    g_kfile.hasOpen = hook != nullptr;
    g_kfile.open = hook ? *hook : KFILE_OPEN_HOOK{};
}

void kfile_set_dir_hooks(const KFILE_DIR_HOOKS* hooks) {
    g_kfile.hasDir = hooks != nullptr;
    g_kfile.dir = hooks ? *hooks : KFILE_DIR_HOOKS{};
}

void kfile_set_path_hooks(const KFILE_PATH_HOOKS* hooks) {
    g_kfile.hasPath = hooks != nullptr;
    g_kfile.path = hooks ? *hooks : KFILE_PATH_HOOKS{};
}

KFILE* kfile_std_open(const char* path, const char* mode, void*) {
    if (!path || !mode) return nullptr;
    FILE* f = std::fopen(kfile_fullpath(path), mode);
    if (!f) return nullptr;
    KFILE* s = new (std::nothrow) KFILE{f, stdSeek, stdRead, stdGetbyte, stdGetline, stdTell, stdClose};
    if (!s) std::fclose(f);
    return s;
}

void kfile_use_std() {
    const KFILE_OPEN_HOOK hook = {nullptr, kfile_std_open};
    kfile_set_open_hook(&hook);
    kfile_set_dir_hooks(nullptr);
    kfile_set_path_hooks(nullptr);
}

KFILE* kfile_fopen(const char* path, const char* mode) {
    if (g_kfile.hasOpen && g_kfile.open.open) return g_kfile.open.open(path, mode, g_kfile.open.user);
    return kfile_std_open(path, mode, nullptr);
}

int kfile_fclose(KFILE* stream) {
    if (stream && stream->close) stream->close(stream);
    return 0;
}

const char* kfile_fullpath(const char* path) {
    if (g_kfile.hasPath && g_kfile.path.fullpath) return g_kfile.path.fullpath(path, g_kfile.path.user);
    if (!path) path = "";
    // An absolute path names its file whatever the current directory is.
    if (g_kfile.currentDir[0] == '\0' || path[0] == '/') {
        copyCut(g_kfile.fullBuf, path);
    } else {
        joinCut(g_kfile.fullBuf, g_kfile.currentDir, path);
    }
    return g_kfile.fullBuf;
}

int kfile_set_dir(const char* path) {
    if (g_kfile.hasDir && g_kfile.dir.set_dir) return g_kfile.dir.set_dir(path, g_kfile.dir.user);
    copyCut(g_kfile.currentDir, path);
    return 0;
}

int kfile_enter_dir(const char* name) {
    if (g_kfile.hasDir && g_kfile.dir.enter_dir) return g_kfile.dir.enter_dir(name, g_kfile.dir.user);
    char joined[KFILE_PATH_CAPACITY];
    joinCut(joined, g_kfile.currentDir, name);
    copyCut(g_kfile.currentDir, joined);
    return 0;
}

const char* kfile_get_dir() {
    if (g_kfile.hasDir && g_kfile.dir.get_dir) return g_kfile.dir.get_dir(g_kfile.dir.user);
    return g_kfile.currentDir;
}

const char* kfile_basename(const char* path, int keep_extension) {
    if (g_kfile.hasPath && g_kfile.path.basename)
        return g_kfile.path.basename(path, keep_extension, g_kfile.path.user);
    if (!path) path = "";
    const char* start = path;
    for (const char* p = path; *p; ++p)
        if (isSeparator(*p)) start = p + 1;
    copyCut(g_kfile.baseBuf, start);
    if (!keep_extension) {
        char* dot = std::strrchr(g_kfile.baseBuf, '.');
        if (dot) *dot = '\0';
    }
    return g_kfile.baseBuf;
}

const char* kfile_dirname(const char* path) {
    if (g_kfile.hasPath && g_kfile.path.dirname) return g_kfile.path.dirname(path, g_kfile.path.user);
    if (!path) path = "";
    size_t end = 0;
    for (size_t i = 0; path[i]; ++i)
        if (isSeparator(path[i])) end = i + 1;
    if (end >= sizeof g_kfile.dirBuf) end = sizeof g_kfile.dirBuf - 1;
    std::memcpy(g_kfile.dirBuf, path, end);
    g_kfile.dirBuf[end] = '\0';
    return g_kfile.dirBuf;
}

int kfile_exists(const char* path) {
    KFILE* s = kfile_fopen(path, "rb");
    if (!s) return 0;
    kfile_fclose(s);
    return 1;
}

char* kfile_read_all(const char* path, size_t* size) {
    if (size) *size = 0;
    KFILE* s = kfile_fopen(path, "rb");
    if (!s) return nullptr;
    char* buffer = nullptr;
    long n = -1;
    if (s->seek(s, 0, 2) == 0) n = s->tell(s);
    // Counts inside a document are 32-bit: anything of 2 GiB or more is refused, as is a
    // stream that reports no size (directories report nonsense here).
    if (n > 0 && n < INT32_MAX && s->seek(s, 0, 0) == 0) {
        buffer = static_cast<char*>(std::malloc(static_cast<size_t>(n) + 1));
        if (buffer) {
            if (s->read(buffer, 1, static_cast<size_t>(n), s) == static_cast<size_t>(n)) {
                buffer[n] = '\0';
                if (size) *size = static_cast<size_t>(n);
            } else {
                std::free(buffer);
                buffer = nullptr;
            }
        }
    }
    kfile_fclose(s);
    return buffer;
}
