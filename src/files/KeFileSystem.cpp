#include "files/KeFileSystem.h"

#include "core/KeError.h"
#include "files/CKeArchiveRoot.h"
#include "files/KeKfileIrr.h"
#include "kf/kfile.h"

#include <irrlicht.h>

#include <climits>
#include <string>

namespace kolm {

const char* const kKeSearchDirs[KE_SEARCH_DIR_COUNT] = {
    "shaders", "shadersPP", "shadersSURF", "shadersSURF2", "shadersHV", "textures",
};

namespace {

struct FilesystemState {
    int mode = KE_FS_PLAIN;
    std::string archivePath;            // archive file
    const void* block = nullptr;        // archive in memory, owned by the caller
    size_t blockSize = 0;
    irr::io::IFileSystem* fs = nullptr; // the current device's, borrowed
    std::string baseDir;
    std::string found;                  // keFindFile's result
};

FilesystemState g_state;

void useStdio() {
    printMessage(KE_INFO, "setup filesystem stdio");
    keKfileUseStd();
}

bool opens(const std::string& path) {
    KFILE* f = kfile_fopen(path.c_str(), "rb");
    if (!f) return false;
    kfile_fclose(f);
    return true;
}

// The library's zip reader just added to `fs` is replaced by the same archive seen as the
// root of the file tree, so that rooted names ("/scenes/gem.x") find its members wherever the
// library is asked directly. An archive already mounted (the same name) is kept as it is.
bool mountAsRoot(irr::io::IFileSystem* fs, irr::io::IFileArchive* archive) {
    if (!archive) return false;
    if (CKeArchiveRoot::isRoot(archive)) return true;
    archive->grab();
    fs->removeFileArchive(archive);
    auto* root = new CKeArchiveRoot(archive);
    archive->drop();
    // Our library build takes over the reference of an archive added this way (it does not
    // grab it; the file system drops it when it goes); a build that grabs gets ours back.
    const irr::s32 before = root->getReferenceCount();
    const bool added = fs->addFileArchive(root);
    if (!added || root->getReferenceCount() > before) root->drop();
    return added;
}

// Mounts into g_state.fs; does not touch the recorded mode.
int mount(const void* source, int mode, size_t size) {
    irr::io::IFileSystem* fs = g_state.fs;
    if (mode == KE_FS_ARCHIVE_MEMORY) {
        irr::io::IReadFile* file = nullptr;
        if (source && size <= static_cast<size_t>(INT_MAX)) {
            file = fs->createMemoryReadFile(const_cast<void*>(source), static_cast<irr::s32>(size), "MyRscFile",
                                            false);
        }
        if (!file) {
            reportError("keSetupFilesystem: Failed to create file from memory");
            return -1;
        }
        irr::io::IFileArchive* archive = nullptr;
        const bool added = fs->addFileArchive(file, true, false, irr::io::EFAT_ZIP, "", &archive);
        file->drop();  // the archive keeps its own reference
        if (!added || !mountAsRoot(fs, archive)) {
            reportError("keSetupFilesystem: Failed addFileArchive from memory");
            return -1;
        }
    } else if (mode == KE_FS_ARCHIVE_FILE) {
        const char* path = static_cast<const char*>(source);
        irr::io::IFileArchive* archive = nullptr;
        if (!path || !fs->addFileArchive(path, true, false, irr::io::EFAT_ZIP, "", &archive) ||
            !mountAsRoot(fs, archive)) {
            reportError("keSetupFilesystem: Failed addFileArchive '%s'", path ? path : "");
            return -1;
        }
    } else {
        return -1;
    }
    fs->setFileListSystem(irr::io::FILESYSTEM_VIRTUAL);
    return 0;
}

void record(const void* source, int mode, size_t size) {
    g_state.mode = mode;
    if (mode == KE_FS_ARCHIVE_FILE) {
        g_state.archivePath = static_cast<const char*>(source);
        g_state.block = nullptr;
        g_state.blockSize = 0;
    } else {
        g_state.archivePath.clear();
        g_state.block = source;
        g_state.blockSize = size;
    }
}

int useArchive(const void* source, int mode, size_t size) {
    if (!g_state.fs) {
        useStdio();
        record(source, mode, size);
        return 0;
    }
    return keSetupFilesystem(source, mode, size);
}

}  // namespace

int keUseArchiveFile(const char* path) {
    if (!path || !*path) {
        reportError("keSetupFilesystem: Failed addFileArchive '%s'", path ? path : "");
        return -1;
    }
    return useArchive(path, KE_FS_ARCHIVE_FILE, 0);
}

int keUseArchiveMemory(const void* block, size_t size) {
    if (!block) {
        reportError("keSetupFilesystem: Failed to create file from memory");
        return -1;
    }
    return useArchive(block, KE_FS_ARCHIVE_MEMORY, size);
}

int keSetupFilesystem(const void* source, int mode, size_t size) {
    if (!g_state.fs || (mode != KE_FS_ARCHIVE_FILE && mode != KE_FS_ARCHIVE_MEMORY)) return -1;
    printMessage(KE_INFO, "setup filesystem irrzip");
    kfile_use_irr(g_state.fs, true);
    if (mount(source, mode, size) != 0) return -1;
    record(source, mode, size);
    return 0;
}

int keInitFilesystem(irr::IrrlichtDevice* device) {
    g_state.fs = device ? device->getFileSystem() : nullptr;
    if (!g_state.fs) {
        useStdio();
        g_state.mode = KE_FS_PLAIN;
        return 0;
    }
    if (g_state.mode == KE_FS_PLAIN) {
        printMessage(KE_INFO, "setup filesystem irrstd");
        kfile_use_irr(g_state.fs);
        return 0;
    }
    // Copy the source first: keSetupFilesystem records it again.
    const std::string path = g_state.archivePath;
    const void* source = g_state.mode == KE_FS_ARCHIVE_FILE ? static_cast<const void*>(path.c_str()) : g_state.block;
    return keSetupFilesystem(source, g_state.mode, g_state.blockSize);
}

void keReleaseFilesystem() {
    g_state.fs = nullptr;
    keKfileUseStd();
}

bool keIsPackaged() { return g_state.mode == KE_FS_ARCHIVE_FILE || g_state.mode == KE_FS_ARCHIVE_MEMORY; }

int keGetFilesystemMode() { return g_state.mode; }

void keSetBaseDir(const char* path) { g_state.baseDir = path ? path : ""; }

const char* keGetBaseDir() { return g_state.baseDir.c_str(); }

const char* keFindFile(const char* name) {
    const std::string n = name ? name : "";
    std::string candidate;
    auto found = [&](const std::string& c) {
        if (!opens(c)) return false;
        g_state.found = c;
        return true;
    };
    if (!n.empty()) {
        if (found(n)) return g_state.found.c_str();
        for (const char* dir : kKeSearchDirs) {
            if (found(std::string(dir) + "/" + n)) return g_state.found.c_str();
        }
        const std::string& base = g_state.baseDir;
        if (found(base + n)) return g_state.found.c_str();
        for (const char* dir : kKeSearchDirs) {
            if (found(base + dir + "/" + n)) return g_state.found.c_str();
        }
    }
    g_state.found = n;
    return g_state.found.c_str();
}

void keResetFilesystem() {
    g_state = FilesystemState();
    keKfileUseStd();
}

}  // namespace kolm
