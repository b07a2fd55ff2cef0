// Paths written on Windows (scene documents, demo files) opened on a case-sensitive system.
#pragma once

#include <string>

namespace kolm {

// The path with every "\" turned into "/".
std::string keForwardSlashes(const char* path);

// Finds an existing file or directory for a path that may use "\" and a different case: the
// path as written (with "/") when it exists, else a match of each component without regard to
// case (where several names match, the smallest in byte order wins). Relative paths are taken
// from `root` ("" or "." for the current directory); the result keeps the caller's form (a
// relative path stays relative to root). False when nothing matches.
bool keResolveDiskPath(const char* path, std::string* resolved, const char* root = "");

}  // namespace kolm
