// Whole-file reads through the engine's file layer: the current kfile back end (plain files,
// or members of the mounted archive in a packaged run) or a given library file system.
#pragma once

#include <string>

namespace irr {
namespace io {
class IFileSystem;
class IReadFile;
}  // namespace io
}  // namespace irr

namespace kolm {

// Reads `path` whole into `out` through the kfile layer. False (and `out` empty) when the file
// does not open or cannot be read to its end; an empty file gives true with `out` empty.
bool keReadWholeFile(const char* path, std::string& out);

// Reads `path` whole through the library's file system (archives included). False when `fs` is
// null, the file does not open or a read comes up short.
bool keReadWholeFile(irr::io::IFileSystem* fs, const char* path, std::string& out);

// Reads an open library file from its start to its end. False on a short read.
bool keReadWholeFile(irr::io::IReadFile* file, std::string& out);

}  // namespace kolm
