#include "platform/KeWindow.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
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

bool keX11HasWindowManager(void* x11Display) {
    Display* dpy = static_cast<Display*>(x11Display);
    if (!dpy) return false;
    const int screen = DefaultScreen(dpy);
    char selection[32];
    std::snprintf(selection, sizeof selection, "WM_S%d", screen);
    if (XGetSelectionOwner(dpy, XInternAtom(dpy, selection, False)) != None) return true;
    // EWMH: the root names a check window that names itself.
    const Atom check = XInternAtom(dpy, "_NET_SUPPORTING_WM_CHECK", False);
    auto checkWindowOf = [&](Window w) -> Window {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        Window found = None;
        if (XGetWindowProperty(dpy, w, check, 0, 1, False, XA_WINDOW, &type, &format, &count, &after, &data) ==
                Success &&
            type == XA_WINDOW && format == 32 && count == 1 && data)
            found = static_cast<Window>(*reinterpret_cast<unsigned long*>(data));
        if (data) XFree(data);
        return found;
    };
    const Window named = checkWindowOf(RootWindow(dpy, screen));
    if (named == None) return false;
    // A stale name (a window manager that ended) points at a window that is gone: asking it
    // raises BadWindow, which must not reach the handler that ends the process.
    XSync(dpy, False);
    XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    const bool alive = checkWindowOf(named) == named;
    XSync(dpy, False);
    XSetErrorHandler(previous);
    return alive;
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
