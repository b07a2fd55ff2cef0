#include "platform/KeSyncMessage.h"

#include "platform/KeX11.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstring>

namespace kolm {
namespace {

Window findByTitle(Display* dpy, Window w, const char* title, int depth) {
    char* name = nullptr;
    if (XFetchName(dpy, w, &name) && name) {
        const bool match = std::strcmp(name, title) == 0;
        XFree(name);
        if (match) return w;
    }
    if (depth > 3) return 0;  // top-level windows and their frames only
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(dpy, w, &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !found; ++i) found = findByTitle(dpy, children[i], title, depth + 1);
        if (children) XFree(children);
    }
    return found;
}

}  // namespace

int keSendSyncFrame(const char* windowTitle, int frame) {
    Display* dpy = keOpenX11Display();
    if (!dpy) return -1;
    const Window target = findByTitle(dpy, DefaultRootWindow(dpy), windowTitle, 0);
    if (!target) {
        XCloseDisplay(dpy);
        return -1;
    }
    XEvent ev;
    std::memset(&ev, 0, sizeof ev);
    ev.xclient.type = ClientMessage;
    ev.xclient.window = target;
    // The library compares only the first character of a client message's type with
    // WM_DELETE_WINDOW: a type whose name begins with "W" would close the window.
    ev.xclient.message_type = XInternAtom(dpy, "KOLM_SYNC_FRAME", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = 0x7000;
    ev.xclient.data.l[1] = frame;
    XSendEvent(dpy, target, False, NoEventMask, &ev);
    XFlush(dpy);
    XCloseDisplay(dpy);
    return 0;
}

}  // namespace kolm
