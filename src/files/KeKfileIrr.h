// kfile back ends installed by the file-system set-up.
#pragma once

namespace irr {
namespace io {
class IFileSystem;
}
}  // namespace irr

namespace kolm {

// Every kfile operation goes to the library's file system, so that files inside mounted
// archives are found. Opening: first the name inside the mounted archives (relative to the
// virtual working directory when the file lists are virtual), then on disk, where "\" counts
// as "/" and a name that does not exist as written is matched per component without regard
// to case. Directory hooks: changeWorkingDirectoryTo / getWorkingDirectory; path hooks:
// getFileDir, getFileBasename and a full path that never comes back half resolved.
// The file system is borrowed: call kfile_use_std() or kfile_use_irr(nullptr) before it goes.
//
// With `archiveRoot` (packaged runs) the mounted archive is the root "/" of the file tree: the
// working directory starts at "/" and may be any folder of the archive, names are looked up
// below it in the archive first and on disk after it, and full paths of members are rooted
// paths of the tree ("/scenes/gem.x"), which the library opens too (see CKeArchiveRoot.h).
void kfile_use_irr(irr::io::IFileSystem* fileSystem, bool archiveRoot = false);

// The plain back end with the same Windows-path tolerance: kfile_use_std() whose open falls
// back to a case-insensitive match when the name does not exist as written.
void keKfileUseStd();

}  // namespace kolm
