#include "platform/KeInputSynth.h"

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

// Runs `send` with a connection and the window; closes the connection after flushing.
template <class F>
int withWindow(const char* title, F send) {
    if (!title) return -1;
    Display* dpy = keOpenX11Display();
    if (!dpy) return -1;
    const Window target = findByTitle(dpy, DefaultRootWindow(dpy), title, 0);
    if (target) {
        send(dpy, target);
        XSync(dpy, False);
    }
    XCloseDisplay(dpy);
    return target ? 0 : -1;
}

}  // namespace

int keSynthKey(const char* windowTitle, unsigned long keysym, bool down) {
    return withWindow(windowTitle, [&](Display* dpy, Window target) {
        XEvent ev;
        std::memset(&ev, 0, sizeof ev);
        ev.xkey.type = down ? KeyPress : KeyRelease;
        ev.xkey.display = dpy;
        ev.xkey.window = target;
        ev.xkey.root = DefaultRootWindow(dpy);
        ev.xkey.time = CurrentTime;
        ev.xkey.same_screen = True;
        ev.xkey.keycode = XKeysymToKeycode(dpy, static_cast<KeySym>(keysym));
        XSendEvent(dpy, target, True, down ? KeyPressMask : KeyReleaseMask, &ev);
    });
}

int keSynthButton(const char* windowTitle, int button, bool down, int x, int y) {
    return withWindow(windowTitle, [&](Display* dpy, Window target) {
        XEvent ev;
        std::memset(&ev, 0, sizeof ev);
        ev.xbutton.type = down ? ButtonPress : ButtonRelease;
        ev.xbutton.display = dpy;
        ev.xbutton.window = target;
        ev.xbutton.root = DefaultRootWindow(dpy);
        ev.xbutton.time = CurrentTime;
        ev.xbutton.same_screen = True;
        ev.xbutton.button = static_cast<unsigned>(button);
        ev.xbutton.x = x;
        ev.xbutton.y = y;
        // The state lists the buttons down before this event.
        if (!down && button >= 1 && button <= 5) ev.xbutton.state = Button1Mask << (button - 1);
        XSendEvent(dpy, target, True, down ? ButtonPressMask : ButtonReleaseMask, &ev);
    });
}

int keSynthPointer(const char* windowTitle, int x, int y) {
    return withWindow(windowTitle, [&](Display* dpy, Window target) { XWarpPointer(dpy, None, target, 0, 0, 0, 0, x, y); });
}

}  // namespace kolm
