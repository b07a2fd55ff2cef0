// main() of every GL test program: without an X display the whole program is skipped, and says
// so through CTest's skip code, instead of passing without having drawn anything.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

constexpr int kSkipReturnCode = 77;  // SKIP_RETURN_CODE of GL tests (cmake/KolmHelpers.cmake)

bool displayOpens() {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return false;
    // A virtual X server that was just started or released may refuse a connection briefly.
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (Display* d = XOpenDisplay(nullptr)) {
            XCloseDisplay(d);
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    // Before any other Xlib call: some tests talk to the server from a second thread.
    XInitThreads();
    testing::InitGoogleTest(&argc, argv);
    if (!displayOpens()) {
        std::printf("no X display (DISPLAY=%s): GL test skipped\n", std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "");
        return kSkipReturnCode;
    }
    return RUN_ALL_TESTS();
}
