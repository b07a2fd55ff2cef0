#include "platform/KeX11.h"

#include <cstdlib>
#include <unistd.h>

namespace kolm {

Display* keOpenX11Display() {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return nullptr;
    for (int attempt = 0; attempt < 8; ++attempt) {
        if (Display* dpy = XOpenDisplay(nullptr)) return dpy;
        usleep(20000);
    }
    return nullptr;
}

}  // namespace kolm
