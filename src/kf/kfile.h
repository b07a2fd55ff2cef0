// kfile: the small file layer through which the KF library reads documents.
//
// The library never opens files itself. Every open goes through kfile_fopen(), which asks the
// installed back end for a KFILE stream: a record of function pointers over the back end's own
// file object. Path and directory operations go through hooks as well, so that documents can
// come from plain directories or from a virtual file system (mounted archives).
//
// Plugging in a back end (for example one over the 3D library's IFileSystem):
//   1. Write an open function that allocates a KFILE, stores the back end's file object in
//      `handle` and fills every function pointer. `close` must release the file object and
//      free the KFILE itself (the caller never frees a stream).
//   2. Install it with kfile_set_open_hook(&hook). The hook record is copied; `user` is passed
//      back to every call.
//   3. Optionally install directory hooks (kfile_set_dir_hooks) and path hooks
//      (kfile_set_path_hooks); any function pointer left null in an installed group falls back
//      to the built-in behaviour for that one operation. Text results of hooks must stay valid
//      until the next call of the same operation (static buffers are fine).
//   Passing null to a setter clears that group; kfile_use_std() clears all three and installs
//   the plain operating-system open.
//
// Without any hooks (the initial state) every operation behaves as with kfile_use_std().
// Process-wide state, not reentrant: use from the main thread only. Path results live in fixed
// 4096-byte buffers and are overwritten by the next call of the same operation.
#pragma once

#include <cstddef>

struct KFILE {
    void* handle;  // the back end's file object
    // whence: 0 from the start, 1 from the current position, 2 from the end (size + offset).
    // 0 on success, non-zero on failure (also for any other whence).
    int (*seek)(KFILE* stream, long offset, int whence);
    // Reads up to size * count bytes; returns the number of whole elements read.
    size_t (*read)(void* buffer, size_t size, size_t count, KFILE* stream);
    // The next byte as 0..255, or -1 at the end.
    int (*getbyte)(KFILE* stream);
    // Bytes up to and including a line feed, at most length - 1 of them, then a zero byte;
    // null when nothing could be read.
    char* (*getline)(char* buffer, int length, KFILE* stream);
    long (*tell)(KFILE* stream);  // current position in bytes
    // Closes the file object and frees the stream record; returns 0.
    int (*close)(KFILE* stream);
};

// Open hook: returns a new stream or null.
struct KFILE_OPEN_HOOK {
    void* user;
    KFILE* (*open)(const char* path, const char* mode, void* user);
};

// Directory hooks. set_dir and enter_dir return 0 on success.
struct KFILE_DIR_HOOKS {
    void* user;
    int (*set_dir)(const char* path, void* user);
    int (*enter_dir)(const char* name, void* user);
    const char* (*get_dir)(void* user);
};

// Path hooks.
struct KFILE_PATH_HOOKS {
    void* user;
    const char* (*dirname)(const char* path, void* user);
    const char* (*basename)(const char* path, int keep_extension, void* user);
    const char* (*fullpath)(const char* path, void* user);
};

constexpr int KFILE_PATH_CAPACITY = 4096;  // bytes of every path buffer, zero included

void kfile_set_open_hook(const KFILE_OPEN_HOOK* hook);
void kfile_set_dir_hooks(const KFILE_DIR_HOOKS* hooks);
void kfile_set_path_hooks(const KFILE_PATH_HOOKS* hooks);

// The plain back end: open hook = kfile_std_open, no directory or path hooks.
void kfile_use_std();
// The plain open: resolves the path with kfile_fullpath() and opens a buffered stdio stream.
KFILE* kfile_std_open(const char* path, const char* mode, void* user);

KFILE* kfile_fopen(const char* path, const char* mode);
int kfile_fclose(KFILE* stream);  // null-safe; 0

// Without hooks: the path unchanged when the current directory is empty or the path is absolute
// (begins with "/"); else the directory, a "/" unless it already ends in "/", ":" or "\\",
// then the path.
const char* kfile_fullpath(const char* path);
int kfile_set_dir(const char* path);
// Appends "/" (unless the directory is empty or ends in "/", ":" or "\\") and the name.
int kfile_enter_dir(const char* name);
const char* kfile_get_dir();
// The text after the last "\\", "/" or ":"; without keep_extension cut at its last ".".
const char* kfile_basename(const char* path, int keep_extension);
// The path up to and including its last "\\", "/" or ":"; "" when it has none.
const char* kfile_dirname(const char* path);
// 1 when the path opens for reading, else 0.
int kfile_exists(const char* path);

// Reads a whole file: a malloc'd buffer of size + 1 bytes with a zero byte after the content,
// or null (missing file, empty file, read error, 2 GiB or more). Free with std::free.
char* kfile_read_all(const char* path, size_t* size);
