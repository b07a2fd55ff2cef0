#include "files/KeFilePaths.h"

#include "kf/kfile.h"

namespace kolm {
namespace {

const char* orEmpty(const char* s) { return s ? s : ""; }

}  // namespace

int keSetDir(const char* path) { return kfile_set_dir(orEmpty(path)) == 0 ? 0 : -1; }
const char* keGetDir() { return orEmpty(kfile_get_dir()); }
int keFileExist(const char* path) { return path && *path && kfile_exists(path) ? 1 : 0; }
const char* kePathFilename(const char* path, bool keepExtension) {
    return orEmpty(kfile_basename(orEmpty(path), keepExtension ? 1 : 0));
}
const char* kePathPath(const char* path) { return orEmpty(kfile_dirname(orEmpty(path))); }
const char* kePathFull(const char* path) { return orEmpty(kfile_fullpath(orEmpty(path))); }

}  // namespace kolm
