// kfile streams and hooks over the library's IFileSystem, and the tolerant plain open.
//
//   - streams: KFILE over IReadFile, KFILE over FILE*
//   - opening: archives, then disk with Windows-path tolerance
//   - packaged runs: the archive as the root of the file tree
//   - directory and path hooks
#include "files/KeKfileIrr.h"

#include "files/KePathResolve.h"
#include "kf/kfile.h"

#include <irrlicht.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

namespace kolm {
namespace {

using irr::io::IFileSystem;
using irr::io::IReadFile;

IFileSystem* g_fs = nullptr;
// Packaged runs: the mounted archive is the root "/" of the file tree and the working directory
// is a path in it ("/", "/scenes"), kept here rather than in the library, which neither checks
// a virtual directory nor joins it with the names it is asked for.
bool g_archiveRoot = false;
std::string g_virtualWd = "/";
char g_dirBuf[KFILE_PATH_CAPACITY];
char g_baseBuf[KFILE_PATH_CAPACITY];
char g_fullBuf[KFILE_PATH_CAPACITY];
char g_wdBuf[KFILE_PATH_CAPACITY];

const char* keep(char* buffer, const std::string& text) {
    std::snprintf(buffer, KFILE_PATH_CAPACITY, "%s", text.c_str());
    return buffer;
}

// ---- KFILE over IReadFile -------------------------------------------------------------------

IReadFile* readFileOf(KFILE* s) { return static_cast<IReadFile*>(s->handle); }

int irrSeek(KFILE* s, long offset, int whence) {
    IReadFile* f = readFileOf(s);
    bool ok;
    switch (whence) {
    case 0: ok = f->seek(offset, false); break;
    case 1: ok = f->seek(offset, true); break;
    case 2: ok = f->seek(f->getSize() + offset, false); break;
    default:
        std::fputs("kfile_irr_fseek: unsupported whence\n", stdout);
        std::fflush(stdout);
        return 1;
    }
    return ok ? 0 : 1;
}

size_t irrRead(void* buffer, size_t size, size_t count, KFILE* s) {
    if (size == 0 || count == 0) return 0;
    size_t total = size * count;
    if (total / size != count || total > static_cast<size_t>(INT_MAX)) total = (INT_MAX / size) * size;
    const irr::s32 got = readFileOf(s)->read(buffer, static_cast<irr::u32>(total));
    return got > 0 ? static_cast<size_t>(got) / size : 0;
}

int irrGetbyte(KFILE* s) {
    unsigned char c;
    return readFileOf(s)->read(&c, 1) == 1 ? c : -1;
}

char* irrGetline(char* buffer, int length, KFILE* s) {
    if (!buffer || length <= 0) return nullptr;
    int n = 0;
    while (n < length - 1) {
        const int c = irrGetbyte(s);
        if (c < 0) break;
        buffer[n++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    buffer[n] = '\0';
    return n > 0 ? buffer : nullptr;
}

long irrTell(KFILE* s) { return readFileOf(s)->getPos(); }

int irrClose(KFILE* s) {
    readFileOf(s)->drop();
    delete s;
    return 0;
}

KFILE* wrap(IReadFile* f) {
    if (!f) return nullptr;
    KFILE* s = new (std::nothrow) KFILE{f, irrSeek, irrRead, irrGetbyte, irrGetline, irrTell, irrClose};
    if (!s) f->drop();
    return s;
}

// ---- KFILE over FILE* -----------------------------------------------------------------------

FILE* stdioOf(KFILE* s) { return static_cast<FILE*>(s->handle); }

int stdioSeek(KFILE* s, long offset, int whence) {
    if (whence < 0 || whence > 2) return 1;
    const int w = whence == 0 ? SEEK_SET : (whence == 1 ? SEEK_CUR : SEEK_END);
    return std::fseek(stdioOf(s), offset, w) == 0 ? 0 : 1;
}
size_t stdioRead(void* b, size_t size, size_t count, KFILE* s) { return std::fread(b, size, count, stdioOf(s)); }
int stdioGetbyte(KFILE* s) {
    const int c = std::fgetc(stdioOf(s));
    return c == EOF ? -1 : c;
}
char* stdioGetline(char* b, int length, KFILE* s) { return std::fgets(b, length, stdioOf(s)); }
long stdioTell(KFILE* s) { return std::ftell(stdioOf(s)); }
int stdioClose(KFILE* s) {
    std::fclose(stdioOf(s));
    delete s;
    return 0;
}

// ---- helpers ----------------------------------------------------------------------------------

bool isReadMode(const char* mode) {
    return mode && mode[0] == 'r' && !std::strchr(mode, '+');
}

bool isDirectory(const std::string& p) {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string nativeCwd() {
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

// Collapses "." and ".." and repeated "/" without asking the disk.
std::string lexicalFlatten(const std::string& path) {
    const bool absolute = !path.empty() && path[0] == '/';
    std::string out;
    size_t kept = 0;  // components that ".." may remove
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t end = path.find('/', pos);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(pos, end - pos);
        if (part == "..") {
            if (kept > 0) {
                const size_t cut = out.find_last_of('/', out.size() >= 2 ? out.size() - 2 : 0);
                out.erase(cut == std::string::npos ? 0 : cut + 1);
                --kept;
            } else if (!absolute) {
                out += "../";
            }
        } else if (!part.empty() && part != ".") {
            out += part + "/";
            ++kept;
        }
        pos = end + 1;
    }
    if (!out.empty() && (path.empty() || path.back() != '/')) out.pop_back();
    return absolute ? "/" + out : out;
}

IReadFile* openInArchives(const std::string& name) {
    if (name.empty()) return nullptr;
    for (irr::u32 i = 0; i < g_fs->getFileArchiveCount(); ++i) {
        if (IReadFile* f = g_fs->getFileArchive(i)->createAndOpenFile(name.c_str())) return f;
    }
    return nullptr;
}

// ---- packaged runs: the archive as the root ------------------------------------------------

// `name` as a path of the packaged file tree: rooted, flattened, relative names below the
// working directory.
std::string virtualPath(const std::string& name) {
    if (!name.empty() && name[0] == '/') return lexicalFlatten(name);
    return lexicalFlatten(g_virtualWd + "/" + name);
}

// A folder of a mounted archive: the root, a folder entry, or the folder of some member.
bool archiveHasFolder(const std::string& rooted) {
    if (rooted == "/") return true;
    irr::io::path folder = rooted.c_str();
    while (!folder.empty() && folder[0] == '/') folder = folder.subString(1, folder.size() - 1);
    folder.make_lower();
    const irr::io::path prefix = folder + "/";
    for (irr::u32 a = 0; a < g_fs->getFileArchiveCount(); ++a) {
        const irr::io::IFileList* list = g_fs->getFileArchive(a)->getFileList();
        for (irr::u32 i = 0; i < list->getFileCount(); ++i) {
            irr::io::path entry = list->getFullFileName(i);
            entry.make_lower();
            if (entry == folder || entry == prefix || entry.equalsn(prefix, prefix.size())) return true;
        }
    }
    return false;
}

bool archiveHasFile(const std::string& rooted) {
    for (irr::u32 a = 0; a < g_fs->getFileArchiveCount(); ++a) {
        const irr::io::IFileList* list = g_fs->getFileArchive(a)->getFileList();
        const irr::s32 i = list->findFile(rooted.c_str());
        if (i >= 0 && !list->isDirectory(static_cast<irr::u32>(i))) return true;
    }
    return false;
}

// The rooted path of the archive member that `name` stands for, as the opening finds it: below
// the working directory; a relative name also from the root (the engine's folders are named
// from the root whatever the working directory); an absolute name below the native current
// directory also relative to it. `folder`: a folder of the archive counts too. Empty when
// the archive holds nothing of that name.
std::string locateInArchive(const std::string& name, bool folder) {
    std::string candidates[3] = {virtualPath(name)};
    int n = 1;
    if (name[0] != '/') {
        candidates[n++] = lexicalFlatten("/" + name);
    } else {
        const std::string cwd = nativeCwd();
        if (!cwd.empty() && name.size() > cwd.size() + 1 && name.compare(0, cwd.size(), cwd) == 0 &&
            name[cwd.size()] == '/') {
            candidates[n++] = lexicalFlatten(name.substr(cwd.size()));
        }
    }
    for (int i = 0; i < n; ++i) {
        if (archiveHasFile(candidates[i]) || (folder && archiveHasFolder(candidates[i]))) return candidates[i];
    }
    return {};
}

// The disk file or folder that a name of the packaged tree stands for when the archive does
// not hold it: the rooted name (the working directory may be a folder on disk), and while the
// working directory is the root, a relative name below the current directory.
bool resolveOnDisk(const std::string& name, std::string* onDisk) {
    if (keResolveDiskPath(virtualPath(name).c_str(), onDisk)) return true;
    return name[0] != '/' && g_virtualWd == "/" && keResolveDiskPath(name.c_str(), onDisk);
}

// ---- opening ----------------------------------------------------------------------------------

KFILE* irrOpen(const char* path, const char* mode, void*) {
    if (!g_fs || !path || !*path || !isReadMode(mode)) return nullptr;
    const std::string name = keForwardSlashes(path);
    const std::string cwd = nativeCwd();

    // Inside the archives. A relative name is also tried under the virtual working directory
    // (kfile_set_dir / kfile_enter_dir), and an absolute name below the native current
    // directory is tried relative to it: full paths of archive members are not real paths.
    if (g_archiveRoot) {
        // The member that the full path names too (kfile_fullpath).
        const std::string member = locateInArchive(name, false);
        if (!member.empty()) {
            if (IReadFile* f = openInArchives(member)) return wrap(f);
        }
    } else {
        const std::string wd = g_fs->getWorkingDirectory().c_str();
        if (name[0] != '/' && !wd.empty() && wd != cwd && wd != "/") {
            if (IReadFile* f = openInArchives(lexicalFlatten(wd + "/" + name))) return wrap(f);
        }
        if (IReadFile* f = openInArchives(lexicalFlatten(name))) return wrap(f);
        if (!cwd.empty() && name.size() > cwd.size() + 1 && name.compare(0, cwd.size(), cwd) == 0 &&
            name[cwd.size()] == '/') {
            if (IReadFile* f = openInArchives(lexicalFlatten(name.substr(cwd.size() + 1)))) return wrap(f);
        }
    }

    // On disk, never a directory.
    std::string onDisk;
    const bool found = g_archiveRoot ? resolveOnDisk(name, &onDisk) : keResolveDiskPath(name.c_str(), &onDisk);
    if (!found || isDirectory(onDisk)) return nullptr;
    return wrap(g_fs->createAndOpenFile(g_fs->getAbsolutePath(onDisk.c_str())));
}

KFILE* stdOpen(const char* path, const char* mode, void* user) {
    if (!path || !mode) return nullptr;
    // fopen opens folders for reading on this system; a folder is never a file here.
    if (isDirectory(kfile_fullpath(path))) return nullptr;
    if (KFILE* s = kfile_std_open(path, mode, user)) return s;
    std::string onDisk;
    if (!keResolveDiskPath(kfile_fullpath(path), &onDisk) || isDirectory(onDisk)) return nullptr;
    FILE* f = std::fopen(onDisk.c_str(), mode);
    if (!f) return nullptr;
    KFILE* s = new (std::nothrow) KFILE{f, stdioSeek, stdioRead, stdioGetbyte, stdioGetline, stdioTell, stdioClose};
    if (!s) std::fclose(f);
    return s;
}

// ---- directory and path hooks ---------------------------------------------------------------

int irrSetDir(const char* path, void*) {
    if (!g_fs || !path) return -1;
    std::string dir = keForwardSlashes(path);
    if (g_archiveRoot) {
        // A folder of the archive, else a folder on disk; anything else leaves the working
        // directory as it was.
        const std::string rooted = virtualPath(dir);
        if (archiveHasFolder(rooted)) {
            g_virtualWd = rooted;
            return 0;
        }
        std::string onDisk;
        if (dir.empty() || !resolveOnDisk(dir, &onDisk) || !isDirectory(onDisk)) return -1;
        g_virtualWd = lexicalFlatten(g_fs->getAbsolutePath(onDisk.c_str()).c_str());
        return 0;
    }
    std::string onDisk;
    if (!isDirectory(dir) && keResolveDiskPath(dir.c_str(), &onDisk) && isDirectory(onDisk)) dir = onDisk;
    return g_fs->changeWorkingDirectoryTo(dir.c_str()) ? 0 : -1;
}

int irrEnterDir(const char* name, void* user) {
    if (!g_fs || !name) return -1;
    const std::string wd = g_archiveRoot ? g_virtualWd : std::string(g_fs->getWorkingDirectory().c_str());
    const std::string sub = keForwardSlashes(name);
    if (sub.empty()) return 0;
    if (sub[0] == '/') return irrSetDir(sub.c_str(), user);
    std::string joined = wd;
    if (!joined.empty() && joined.back() != '/') joined += '/';
    joined += sub;
    return irrSetDir(joined.c_str(), user);
}

const char* irrGetDir(void*) {
    if (!g_fs) return "";
    return keep(g_wdBuf, g_archiveRoot ? g_virtualWd : std::string(g_fs->getWorkingDirectory().c_str()));
}

const char* irrDirname(const char* path, void*) {
    if (!g_fs) return "";
    const std::string p = path ? path : "";
    // The library answers "" for a file in the root ("/kolm.demo.ini"): its folder is "/".
    std::string dir = g_fs->getFileDir(p.c_str()).c_str();
    if (dir.empty() && !p.empty() && (p[0] == '/' || p[0] == '\\')) dir = "/";
    return keep(g_dirBuf, dir);
}

const char* irrBasename(const char* path, int keepExtension, void*) {
    return g_fs ? keep(g_baseBuf, g_fs->getFileBasename(path ? path : "", keepExtension != 0).c_str()) : "";
}

const char* irrFullpath(const char* path, void*) {
    if (!g_fs || !path || !*path) return keep(g_fullBuf, path ? path : "");
    const std::string name = keForwardSlashes(path);
    std::string onDisk;
    if (g_archiveRoot) {
        // The path of the packaged tree when the archive holds it; a file or folder only on
        // disk gets its real path; anything else the path it would have in the tree.
        const std::string member = locateInArchive(name, true);
        if (!member.empty()) return keep(g_fullBuf, member);
        if (resolveOnDisk(name, &onDisk)) return keep(g_fullBuf, g_fs->getAbsolutePath(onDisk.c_str()).c_str());
        return keep(g_fullBuf, virtualPath(name));
    }
    if (keResolveDiskPath(name.c_str(), &onDisk)) {
        // Exists: the library's answer (symbolic links resolved).
        return keep(g_fullBuf, g_fs->getAbsolutePath(onDisk.c_str()).c_str());
    }
    // Not on disk (a member of an archive, or nothing yet): the working directory and the
    // name, flattened without asking the disk, so that no half-resolved prefix comes back.
    if (name[0] == '/') return keep(g_fullBuf, lexicalFlatten(name));
    const std::string wd = g_fs->getWorkingDirectory().c_str();
    if (wd.empty()) return keep(g_fullBuf, lexicalFlatten(name));
    return keep(g_fullBuf, lexicalFlatten(wd + "/" + name));
}

}  // namespace

void kfile_use_irr(IFileSystem* fileSystem, bool archiveRoot) {
    g_fs = fileSystem;
    g_archiveRoot = fileSystem && archiveRoot;
    g_virtualWd = "/";
    if (!fileSystem) {
        keKfileUseStd();
        return;
    }
    const KFILE_OPEN_HOOK open = {nullptr, irrOpen};
    const KFILE_DIR_HOOKS dirs = {nullptr, irrSetDir, irrEnterDir, irrGetDir};
    const KFILE_PATH_HOOKS paths = {nullptr, irrDirname, irrBasename, irrFullpath};
    kfile_set_open_hook(&open);
    kfile_set_dir_hooks(&dirs);
    kfile_set_path_hooks(&paths);
}

void keKfileUseStd() {
    g_fs = nullptr;
    g_archiveRoot = false;
    g_virtualWd = "/";
    kfile_use_std();
    const KFILE_OPEN_HOOK open = {nullptr, stdOpen};
    kfile_set_open_hook(&open);
}

}  // namespace kolm
