// Helpers shared by file and folder watches: full paths and the file-operation message.
#pragma once

namespace kolm {

// Watched paths and listed file names: at most 259 characters and the terminating zero.
constexpr int KE_WATCH_PATH_CAPACITY = 260;

// Makes path absolute (against the current directory) and folds ".", ".." and repeated
// slashes, without touching the disk. False with errno-style code in *error (EINVAL for an
// empty path, ENAMETOOLONG when the result does not fit) and out untouched.
bool keWatchFullPath(const char* path, char (&out)[KE_WATCH_PATH_CAPACITY], int* error);

// The folder part of a full path ("/a/b.txt" -> "/a", "/b.txt" -> "/").
void keWatchFolderOf(const char* fullPath, char (&out)[KE_WATCH_PATH_CAPACITY]);

// The box shown when a watch cannot be made or stops working:
// "<problem>\nFile: '<path>'\nSystem reports: <text of the error code>".
void keWatchFileOperationMessage(const char* problem, const char* path, int error);

}  // namespace kolm
