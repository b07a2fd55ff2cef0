// Writing files where a path may have been prepared by someone else (extracting an archive
// into the current folder): nothing here follows a symbolic link.
#pragma once

#include <cstddef>

namespace kolm {

// Makes the folder `path`, or accepts it when it is already a folder (not a link to one).
// 0 on success; -1 when it cannot be made or something else (a file, a link) has the name.
int keMakeFolderNoFollow(const char* path);

// Writes `size` bytes to the file `path`, created or emptied; refuses a path whose last
// component is a symbolic link. 0 on success; -1 on failure.
int keWriteFileNoFollow(const char* path, const void* data, size_t size);

}  // namespace kolm
