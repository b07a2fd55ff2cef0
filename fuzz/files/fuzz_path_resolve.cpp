// Paths as documents write them ("\", any case, "..", repeated separators) resolved against a
// small folder tree, through the tolerant plain open and the search.
#include "files/KeFileSystem.h"
#include "files/KePathResolve.h"
#include "kf/kfile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void makeTree() {
    char tmpl[] = "/tmp/kolm-fuzz-path-XXXXXX";
    if (!::mkdtemp(tmpl) || ::chdir(tmpl) != 0) std::abort();
    ::mkdir("Scenes", 0755);
    ::mkdir("Scenes/Part1", 0755);
    ::mkdir("shaders", 0755);
    for (const char* f : {"Scenes/Part1/Cube.x", "shaders/post.hlsl", "a.txt"}) {
        FILE* out = std::fopen(f, "wb");
        if (!out) std::abort();
        std::fputs("x", out);
        std::fclose(out);
    }
    kolm::keResetFilesystem();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = (makeTree(), true);
    (void)ready;
    const std::string path(reinterpret_cast<const char*>(data), size);
    if (path.find('\0') != std::string::npos) return 0;
    std::string resolved;
    if (kolm::keResolveDiskPath(path.c_str(), &resolved)) {
        struct stat st;
        if (::stat(resolved.c_str(), &st) != 0) std::abort();  // a resolved path exists
    }
    (void)kolm::keFindFile(path.c_str());
    kfile_fclose(kfile_fopen(path.c_str(), "rb"));
    return 0;
}
