#include "platform/KePrivateXvfb.h"

#include "platform/KeProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kolm {
namespace {

pid_t g_server = -1;

void stopAtExit() { keStopPrivateXvfb(); }

}  // namespace

bool keStartPrivateXvfb(int width, int height, std::string* display) {
    if (g_server > 0) return keHasDisplay();
    if (!keHaveProgram("Xvfb")) return false;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    char screen[64];
    std::snprintf(screen, sizeof screen, "%dx%dx24", std::max(width, 640), std::max(height, 480));
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    if (pid == 0) {
        // Xvfb picks a free display number and writes it to the descriptor it is given.
        const int out = ::dup(fds[1]);  // without close-on-exec
        const int devnull = ::open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            ::dup2(devnull, 1);
            ::dup2(devnull, 2);
        }
        const std::string fd = std::to_string(out);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen, "-nolisten", "tcp", "-noreset",
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    std::string number;
    struct pollfd p = {fds[0], POLLIN, 0};
    // The server answers within a few seconds, or not at all.
    for (int waited = 0; waited < 100; ++waited) {
        if (::poll(&p, 1, 100) <= 0) continue;
        char c = 0;
        const ssize_t n = ::read(fds[0], &c, 1);
        if (n <= 0 || c == '\n') break;
        number += c;
    }
    ::close(fds[0]);
    if (number.empty()) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
        return false;
    }
    g_server = pid;
    std::atexit(&stopAtExit);
    const std::string name = ":" + number;
    ::setenv("DISPLAY", name.c_str(), 1);
    if (display) *display = name;
    return keHasDisplay();
}

void keStopPrivateXvfb() {
    if (g_server <= 0) return;
    ::kill(g_server, SIGTERM);
    ::waitpid(g_server, nullptr, 0);
    g_server = -1;
}

}  // namespace kolm
