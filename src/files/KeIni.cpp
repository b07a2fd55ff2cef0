#include "files/KeIni.h"

#include "files/KeFileSystem.h"
#include "files/KePathResolve.h"
#include "kf/kfile.h"

#include <iniparser.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace kolm {
namespace {

bool isRegularFile(const std::string& p) {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

dictionary* keIniLoad(const char* path) {
    if (!path || !*path) return nullptr;
    KFILE* probe = kfile_fopen(path, "rb");
    if (!probe) return nullptr;
    kfile_fclose(probe);

    // A plain file on disk is handed to iniparser as it is, so that its messages name it.
    std::string onDisk;
    if (!keIsPackaged() && keResolveDiskPath(kfile_fullpath(path), &onDisk) && isRegularFile(onDisk)) {
        return iniparser_load(onDisk.c_str());
    }

    // Anything else (an archive member) through a temporary copy: iniparser opens named files
    // only.
    size_t size = 0;
    char* data = kfile_read_all(path, &size);  // null for an empty file
    char tmpl[] = "/tmp/kolm-ini-XXXXXX";
    const int fd = ::mkstemp(tmpl);
    if (fd < 0) {
        std::free(data);
        return nullptr;
    }
    bool written = true;
    size_t done = 0;
    while (data && done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) {
            written = false;
            break;
        }
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    std::free(data);
    dictionary* d = written ? iniparser_load(tmpl) : nullptr;
    ::unlink(tmpl);
    return d;
}

}  // namespace kolm
