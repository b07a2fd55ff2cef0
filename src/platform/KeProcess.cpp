#include "platform/KeProcess.h"

#include "platform/KeX11.h"

#include <X11/Xlib.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace kolm {

std::string keReadExecutablePath() {
    // The link can be longer than PATH_MAX (a deep tree entered step by step): grow until the
    // whole of it fits.
    std::string buffer(PATH_MAX, '\0');
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n <= 0) return {};
        if (static_cast<size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<size_t>(n));
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool keIsAutomatedRun() {
    const char* ci = std::getenv("CI");
    return ci && *ci && std::strcmp(ci, "false") != 0 && std::strcmp(ci, "0") != 0;
}

bool keHasDisplay() {
    Display* d = keOpenX11Display();
    if (!d) return false;
    XCloseDisplay(d);
    return true;
}

bool keHaveProgram(const char* name) {
    const char* path = std::getenv("PATH");
    if (!path) return false;
    std::string all(path);
    size_t start = 0;
    while (start <= all.size()) {
        size_t end = all.find(':', start);
        if (end == std::string::npos) end = all.size();
        std::string candidate = all.substr(start, end - start);
        if (candidate.empty()) candidate = ".";
        candidate += '/';
        candidate += name;
        if (access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

}  // namespace kolm
