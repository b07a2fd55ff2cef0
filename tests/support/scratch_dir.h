// A fresh temporary folder for a test: made by create() (or made and entered by enter()), and
// removed with everything in it by leave() or, at the latest, when the object goes.
#pragma once

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

struct ScratchDir {
    std::string path;      // the folder, without a trailing "/"
    std::string previous;  // the working directory before enter(); empty when not entered

    ScratchDir() = default;
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    ~ScratchDir() { leave(); }

    // prefix: e.g. "/tmp/kolm-files-". False when the folder cannot be made.
    bool create(const std::string& prefix) {
        std::string tmpl = prefix + "XXXXXX";
        if (!::mkdtemp(tmpl.data())) return false;
        path = tmpl;
        return true;
    }
    // Makes the folder and makes it the working directory.
    bool enter(const std::string& prefix) {
        if (!create(prefix)) return false;
        char cwd[PATH_MAX];
        if (!::getcwd(cwd, sizeof cwd)) return false;
        previous = cwd;
        return ::chdir(path.c_str()) == 0;
    }
    // Back to the previous working directory (if entered); the folder and everything in it go.
    bool leave() {
        const bool back = previous.empty() || ::chdir(previous.c_str()) == 0;
        previous.clear();
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
        path.clear();
        return back;
    }
    // A path inside the folder.
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};
