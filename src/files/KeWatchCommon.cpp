#include "files/KeWatchCommon.h"

#include "core/KeError.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kolm {

bool keWatchFullPath(const char* path, char (&out)[KE_WATCH_PATH_CAPACITY], int* error) {
    if (!path || !*path) {
        if (error) *error = EINVAL;
        return false;
    }
    std::string joined;
    if (path[0] != '/') {
        std::vector<char> cwd(4096);
        if (!getcwd(cwd.data(), cwd.size())) {
            if (error) *error = errno;
            return false;
        }
        joined = cwd.data();
        joined += '/';
    }
    joined += path;

    std::vector<std::string> parts;
    size_t at = 0;
    while (at <= joined.size()) {
        size_t end = joined.find('/', at);
        if (end == std::string::npos) end = joined.size();
        std::string part = joined.substr(at, end - at);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        at = end + 1;
    }
    std::string full;
    for (const std::string& p : parts) full += "/" + p;
    if (full.empty()) full = "/";
    if (full.size() >= KE_WATCH_PATH_CAPACITY) {
        if (error) *error = ENAMETOOLONG;
        return false;
    }
    std::memcpy(out, full.c_str(), full.size() + 1);
    if (error) *error = 0;
    return true;
}

void keWatchFolderOf(const char* fullPath, char (&out)[KE_WATCH_PATH_CAPACITY]) {
    const char* slash = std::strrchr(fullPath, '/');
    size_t n = slash ? static_cast<size_t>(slash - fullPath) : 0;
    if (n == 0) {
        std::strcpy(out, slash ? "/" : ".");
        return;
    }
    if (n >= KE_WATCH_PATH_CAPACITY) n = KE_WATCH_PATH_CAPACITY - 1;
    std::memcpy(out, fullPath, n);
    out[n] = '\0';
}

void keWatchFileOperationMessage(const char* problem, const char* path, int error) {
    showTitledMessageBox("File Operation Problem", "%s\nFile: '%s'\nSystem reports: %s", problem, path ? path : "",
                         std::strerror(error));
}

bool keWatchFolderExists(const char* path) {
    struct stat st;
    return path && stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace kolm
