#include "platform/KeWindow.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <vector>

namespace kolm {

void keWindowMove(void* x11Display, unsigned long window, int x, int y) {
    Display* dpy = static_cast<Display*>(x11Display);
    if (!dpy || !window) return;
    XMoveWindow(dpy, window, x, y);
    XFlush(dpy);
}

void keWindowSetIcon(void* x11Display, unsigned long window) {
    Display* dpy = static_cast<Display*>(x11Display);
    if (!dpy || !window) return;
    // 16 x 16: a blue square with a white "K"-like stroke pattern, 0xAARRGGBB per pixel.
    const int size = 16;
    std::vector<long> data(2 + size * size);
    data[0] = size;
    data[1] = size;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const bool stem = x >= 3 && x <= 5 && y >= 2 && y <= 13;
            const int d = y < 8 ? 8 - y : y - 7;  // arms of the K
            const bool arm = x >= 5 + d && x <= 7 + d && y >= 2 && y <= 13;
            data[2 + y * size + x] = (stem || arm) ? 0xFFFFFFFFL : 0xFF2060C0L;
        }
    }
    Atom icon = XInternAtom(dpy, "_NET_WM_ICON", False);
    XChangeProperty(dpy, window, icon, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(data.data()), static_cast<int>(data.size()));
    XFlush(dpy);
}

void keWindowShow(void* x11Display, unsigned long window, bool show) {
    Display* dpy = static_cast<Display*>(x11Display);
    if (!dpy || !window) return;
    if (show) {
        XMapRaised(dpy, window);
    } else {
        XUnmapWindow(dpy, window);
    }
    XFlush(dpy);
}

bool keWindowIsActive(void* x11Display, unsigned long window) {
    Display* dpy = static_cast<Display*>(x11Display);
    if (!dpy || !window) return false;
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(dpy, &focus, &revert);
    return focus == window;
}

}  // namespace kolm

#include "core/KeError.h"

namespace kolm {
namespace {

int nonFatalXError(Display* dpy, XErrorEvent* e) {
    char text[256] = {};
    XGetErrorText(dpy, e->error_code, text, sizeof text - 1);
    printMessage(KE_WARN, "X error ignored: %s (request %d.%d)", text, e->request_code, e->minor_code);
    return 0;
}

}  // namespace

void keInstallXErrorHandler() { XSetErrorHandler(&nonFatalXError); }

}  // namespace kolm
