#include "platform/KeViewerWindow.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstring>

namespace kolm {
namespace {

bool titleMatches(const char* title, const char* const* words, int count, const char* excluded) {
    for (int i = 0; i < count; ++i)
        if (!words[i] || !std::strstr(title, words[i])) return false;
    return !(excluded && *excluded && std::strstr(title, excluded));
}

// Top-level windows are the root's children, or (under a reparenting window manager) their
// children: two levels are searched.
Window findTitled(Display* dpy, Window w, Window self, const char* const* words, int count, const char* excluded,
                  int depth) {
    if (w != self) {
        char* name = nullptr;
        if (XFetchName(dpy, w, &name) && name) {
            const bool match = titleMatches(name, words, count, excluded);
            XFree(name);
            if (match) return w;
        }
    }
    if (depth > 2) return 0;
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    Window found = 0;
    if (XQueryTree(dpy, w, &root, &parent, &children, &n)) {
        for (unsigned i = 0; i < n && !found; ++i)
            found = findTitled(dpy, children[i], self, words, count, excluded, depth + 1);
        if (children) XFree(children);
    }
    return found;
}

}  // namespace

bool keWindowOwnByTitle(void* x11Display, unsigned long window, const char* const* words, int count,
                        const char* excluded) {
    Display* dpy = static_cast<Display*>(x11Display);
    if (!dpy || !window || count <= 0) return false;
    const Window owner = findTitled(dpy, DefaultRootWindow(dpy), window, words, count, excluded, 0);
    if (!owner) return false;
    XSetTransientForHint(dpy, window, owner);
    XFlush(dpy);
    return true;
}

void keWindowKeepAbove(void* x11Display, unsigned long window) {
    Display* dpy = static_cast<Display*>(x11Display);
    if (!dpy || !window) return;
    const Atom state = XInternAtom(dpy, "_NET_WM_STATE", False);
    const Atom above = XInternAtom(dpy, "_NET_WM_STATE_ABOVE", False);
    // A mapped window asks the window manager; the property covers a window not mapped yet and
    // a display without a window manager.
    XEvent ev;
    std::memset(&ev, 0, sizeof ev);
    ev.xclient.type = ClientMessage;
    ev.xclient.window = window;
    ev.xclient.message_type = state;
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = 1;  // _NET_WM_STATE_ADD
    ev.xclient.data.l[1] = long(above);
    ev.xclient.data.l[3] = 1;  // a normal application
    XSendEvent(dpy, DefaultRootWindow(dpy), False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
    XChangeProperty(dpy, window, state, XA_ATOM, 32, PropModeAppend,
                    reinterpret_cast<const unsigned char*>(&above), 1);
    XFlush(dpy);
}

}  // namespace kolm
