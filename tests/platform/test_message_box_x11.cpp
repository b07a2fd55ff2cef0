// The message box under a real X server: it appears titled "Kolm", shows text with "%" as is,
// and Enter, Escape and the window manager's close each dismiss it.
#include <gtest/gtest.h>  // before Xlib, whose macros (None, Bool) clash with it

#include "platform/KeMessageBox.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

using namespace kolm;

namespace {

Window findWindowNamed(Display* dpy, Window w, const char* name) {
    char* title = nullptr;
    if (XFetchName(dpy, w, &title) && title) {
        const bool match = std::strcmp(title, name) == 0;
        XFree(title);
        if (match) return w;
    }
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    Window found = 0;
    if (XQueryTree(dpy, w, &root, &parent, &children, &n)) {
        for (unsigned i = 0; i < n && !found; ++i) found = findWindowNamed(dpy, children[i], name);
        if (children) XFree(children);
    }
    return found;
}

enum class Dismiss { Enter, Escape, Close };

// Waits for the box and dismisses it the given way; returns false if it never appeared.
bool dismissBox(Dismiss how) {
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) return false;
    Window box = 0;
    for (int i = 0; i < 200 && !box; ++i) {
        box = findWindowNamed(dpy, DefaultRootWindow(dpy), "Kolm");
        if (!box) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (box) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        XEvent ev;
        std::memset(&ev, 0, sizeof ev);
        if (how == Dismiss::Close) {
            ev.xclient.type = ClientMessage;
            ev.xclient.window = box;
            ev.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
            ev.xclient.format = 32;
            ev.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
            XSendEvent(dpy, box, False, NoEventMask, &ev);
        } else {
            ev.xkey.type = KeyPress;
            ev.xkey.window = box;
            ev.xkey.root = DefaultRootWindow(dpy);
            ev.xkey.display = dpy;
            ev.xkey.keycode = XKeysymToKeycode(dpy, how == Dismiss::Enter ? XK_Return : XK_Escape);
            XSendEvent(dpy, box, True, KeyPressMask, &ev);
        }
        XFlush(dpy);
    }
    XCloseDisplay(dpy);
    return box != 0;
}

TEST(MessageBoxX11, DismissedByEnterEscapeAndClose) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
    XInitThreads();  // the box and the closer talk to the server from two threads
    for (Dismiss how : {Dismiss::Enter, Dismiss::Escape, Dismiss::Close}) {
        bool appeared = false;
        std::thread closer([&] { appeared = dismissBox(how); });
        const bool shown = keShowX11MessageBox("Progress 100% done\nsecond line");
        closer.join();
        EXPECT_TRUE(shown);
        EXPECT_TRUE(appeared);
    }
}

}  // namespace
