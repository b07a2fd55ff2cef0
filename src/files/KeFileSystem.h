// The file system of a run: plain directories in development, a zip archive (in memory or a
// side ".dat" file) in a packaged demo. Chooses and mounts the source, keeps the engine's base
// directory and finds named files among the engine's shader and texture folders.
//
// All files go through the kfile layer (kf/kfile.h); this module installs its back end.
// Process-wide state; main thread only.
#pragma once

#include <cstddef>

namespace irr {
class IrrlichtDevice;
}

namespace kolm {

enum KeFilesystemMode : int {
    KE_FS_PLAIN = 0,
    KE_FS_ARCHIVE_FILE = 2,
    KE_FS_ARCHIVE_MEMORY = 3,
};

// Mount a zip archive file (the side ".dat" file) / a zip archive held in memory. Without a
// device only the mode and the source are recorded (the block stays the caller's and must
// outlive every device); the archive is mounted when the device's file system is set up.
// 0 on success, -1 on failure (reported with a box).
int keUseArchiveFile(const char* path);
int keUseArchiveMemory(const void* block, size_t size);

// Mounts an archive into the current device's file system: source is the path (archive
// file) or the block (archive in memory, `size` bytes). 0 on success; on failure the mode is
// left as it was and -1 comes back.
int keSetupFilesystem(const void* source, int mode, size_t size);

// (Re)installs the file layer for the current mode; the engine start-up calls it once the
// device exists. Plain: the library back end over the device's file system. Archive: mounts
// the archive again into this device's file system; -1 when that fails, and the run must
// stop. With a null device: the plain stdio back end, and the mode goes back to plain.
int keInitFilesystem(irr::IrrlichtDevice* device);

// The device is about to go: back to the stdio back end. The mode and the source are kept,
// so that the next device mounts the archive again.
void keReleaseFilesystem();

bool keIsPackaged();
int keGetFilesystemMode();

// The engine's base directory, with its trailing separator ("/" in packaged runs).
void keSetBaseDir(const char* path);
const char* keGetBaseDir();

// Search directories below the current directory and the base directory, in probe order.
constexpr int KE_SEARCH_DIR_COUNT = 6;
extern const char* const kKeSearchDirs[KE_SEARCH_DIR_COUNT];

// The path under which `name` opens, probing in this order: the name; "<dir>/<name>" for each
// search directory; "<base><name>"; "<base><dir>/<name>" for each search directory. The name
// unchanged when none opens. The result lives in one buffer that the next search overwrites.
const char* keFindFile(const char* name);

// Back to the initial state (tests): plain, no base directory, stdio back end.
void keResetFilesystem();

}  // namespace kolm
