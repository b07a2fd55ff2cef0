#include "files/KePathResolve.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

namespace kolm {
namespace {

bool exists(const std::string& p) {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0;
}

std::string onDisk(const std::string& root, const std::string& rel) {
    if (rel.empty() || rel[0] == '/' || root.empty() || root == ".") return rel.empty() ? "." : rel;
    return root.back() == '/' ? root + rel : root + "/" + rel;
}

// The entry of `dir` (as reached from the current directory) that equals `name` without
// regard to case; empty when none.
std::string matchInDirectory(const std::string& dir, const std::string& name) {
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return {};
    std::string best;
    while (const dirent* e = ::readdir(d)) {
        if (::strcasecmp(e->d_name, name.c_str()) == 0 && (best.empty() || best > e->d_name)) best = e->d_name;
    }
    ::closedir(d);
    return best;
}

}  // namespace

std::string keForwardSlashes(const char* path) {
    std::string out = path ? path : "";
    for (char& c : out) {
        if (c == '\\') c = '/';
    }
    return out;
}

bool keResolveDiskPath(const char* path, std::string* resolved, const char* root) {
    const std::string rootDir = root ? root : "";
    const std::string written = keForwardSlashes(path);
    if (written.empty()) return false;
    if (exists(onDisk(rootDir, written))) {
        *resolved = written;
        return true;
    }

    // Component by component; "." and ".." and repeated separators pass unchanged.
    std::string result = written[0] == '/' ? "/" : "";
    size_t pos = written[0] == '/' ? 1 : 0;
    while (pos <= written.size()) {
        size_t end = written.find('/', pos);
        if (end == std::string::npos) end = written.size();
        const std::string part = written.substr(pos, end - pos);
        const bool last = end == written.size();
        if (!part.empty()) {
            std::string candidate = result + part;
            if (part != "." && part != ".." && !exists(onDisk(rootDir, candidate))) {
                const std::string dir = onDisk(rootDir, result.empty() ? "." : result);
                const std::string match = matchInDirectory(dir, part);
                if (match.empty()) return false;
                candidate = result + match;
            }
            result = candidate;
            if (!last) result += '/';
        } else if (!last && !result.empty() && result.back() != '/') {
            result += '/';
        }
        pos = end + 1;
    }
    if (!exists(onDisk(rootDir, result))) return false;
    *resolved = result;
    return true;
}

}  // namespace kolm
