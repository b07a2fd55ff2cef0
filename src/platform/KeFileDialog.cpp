#include "platform/KeFileDialog.h"

#include "platform/KeProcess.h"

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace kolm {
namespace {

bool isRegularFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// "*.kscn;*.x" -> "*.kscn *.x"
std::string spacedPatterns(const char* pattern) {
    std::string out(pattern);
    for (char& c : out) {
        if (c == ';') c = ' ';
    }
    return out;
}

// Runs a program and returns its first line of standard output; false unless it exits 0 (or
// its exit status cannot be had) and printed a line.
bool runForLine(const std::vector<std::string>& argv, std::string* line) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(fds[1]);
    std::string out;
    char buf[512];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    pid_t waited;
    while ((waited = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    // waited < 0: the exit status is lost (ECHILD: SIGCHLD is ignored, so the system reaped
    // the program). The dialog programs print a path only on OK, so the output decides.
    if (waited == pid && (!WIFEXITED(status) || WEXITSTATUS(status) != 0)) return false;
    const size_t nl = out.find('\n');
    *line = out.substr(0, nl);
    return !line->empty();
}

bool chooseWithZenity(const char* title, const KeFileFilter* filters, int count, std::string* chosen) {
    std::vector<std::string> argv = {"zenity", "--file-selection", std::string("--title=") + title};
    for (int i = 0; i < count; ++i) {
        argv.push_back(std::string("--file-filter=") + filters[i].description + " | " +
                       spacedPatterns(filters[i].pattern));
    }
    return runForLine(argv, chosen);
}

bool chooseWithKdialog(const char* title, const KeFileFilter* filters, int count, std::string* chosen) {
    std::string filterText;
    for (int i = 0; i < count; ++i) {
        if (i) filterText += '\n';
        filterText += spacedPatterns(filters[i].pattern) + "|" + filters[i].description;
    }
    return runForLine({"kdialog", "--title", title, "--getopenfilename", ".", filterText}, chosen);
}

bool chooseOnTerminal(const char* title, const KeFileFilter* filters, int count, std::string* chosen) {
    std::fprintf(stderr, "%s\n", title);
    for (int i = 0; i < count; ++i) std::fprintf(stderr, "  %s: %s\n", filters[i].description, filters[i].pattern);
    for (;;) {
        std::fprintf(stderr, "File (empty to cancel): ");
        std::fflush(stderr);
        std::string line;
        if (!std::getline(std::cin, line) || line.empty()) return false;
        if (isRegularFile(line)) {
            *chosen = line;
            return true;
        }
        std::fprintf(stderr, "No such file: %s\n", line.c_str());
    }
}

}  // namespace

bool keChooseFile(const char* title, const KeFileFilter* filters, int filterCount, std::string* chosen) {
    if (keIsAutomatedRun() || !keHasDisplay()) return false;
    std::string path;
    bool ok = false;
    if (keHaveProgram("zenity")) {
        ok = chooseWithZenity(title, filters, filterCount, &path);
    } else if (keHaveProgram("kdialog")) {
        ok = chooseWithKdialog(title, filters, filterCount, &path);
    } else {
        ok = chooseOnTerminal(title, filters, filterCount, &path);
    }
    if (!ok || !isRegularFile(path)) return false;
    *chosen = path;
    return true;
}

}  // namespace kolm
