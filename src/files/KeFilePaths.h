// Path and directory operations as scripts see them (SetDir, GetDir, FileExist, PathFilename,
// PathPath, PathFull), over the installed kfile back end. SetDir changes the file layer's
// working directory, not the engine's base directory. Text results live in the back end's
// buffers until the next call of the same operation.
#pragma once

namespace kolm {

int keSetDir(const char* path);     // 0 on success
const char* keGetDir();
int keFileExist(const char* path);  // 1 when the file opens for reading, else 0
const char* kePathFilename(const char* path, bool keepExtension = true);
const char* kePathPath(const char* path);
const char* kePathFull(const char* path);

}  // namespace kolm
