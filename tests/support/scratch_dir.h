// A fresh temporary folder that a test works in: created and entered by enter(), left and
// removed by leave().
#pragma once

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

struct ScratchDir {
    std::string path;      // the folder, without a trailing "/"
    std::string previous;  // the working directory before enter()

    // prefix: e.g. "/tmp/kolm-files-". False when the folder cannot be made or entered.
    bool enter(const std::string& prefix) {
        std::string tmpl = prefix + "XXXXXX";
        if (!::mkdtemp(tmpl.data())) return false;
        path = tmpl;
        char cwd[PATH_MAX];
        if (!::getcwd(cwd, sizeof cwd)) return false;
        previous = cwd;
        return ::chdir(path.c_str()) == 0;
    }
    // Back to the previous working directory; the folder and everything in it go.
    bool leave() {
        const bool back = previous.empty() || ::chdir(previous.c_str()) == 0;
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
        return back;
    }
};
