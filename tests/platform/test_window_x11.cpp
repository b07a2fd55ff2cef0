// Telling whether a window manager runs, under a real X server: none on a bare Xvfb; one that
// owns the "WM_S<screen>" selection or names a live check window through
// _NET_SUPPORTING_WM_CHECK; a stale check window name does not count.
#include <gtest/gtest.h>  // before Xlib, whose macros (None, Bool) clash with it

#include "platform/KeWindow.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

using namespace kolm;

namespace {

void nameCheckWindow(Display* dpy, Window on, Window named) {
    const Atom check = XInternAtom(dpy, "_NET_SUPPORTING_WM_CHECK", False);
    XChangeProperty(dpy, on, check, XA_WINDOW, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&named), 1);
}

TEST(WindowX11, WindowManagerIsToldFromTheSelectionOrTheCheckWindow) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
    Display* dpy = XOpenDisplay(nullptr);
    ASSERT_NE(dpy, nullptr);
    Display* other = XOpenDisplay(nullptr);  // plays the window manager
    ASSERT_NE(other, nullptr);
    const Window root = DefaultRootWindow(other);
    const Atom check = XInternAtom(other, "_NET_SUPPORTING_WM_CHECK", False);
    char selection[32];
    std::snprintf(selection, sizeof selection, "WM_S%d", DefaultScreen(other));
    const Atom wmSelection = XInternAtom(other, selection, False);
    if (XGetSelectionOwner(other, wmSelection) != None) GTEST_SKIP() << "a window manager runs here";
    XDeleteProperty(other, root, check);
    XSync(other, False);

    EXPECT_FALSE(keX11HasWindowManager(nullptr));
    EXPECT_FALSE(keX11HasWindowManager(dpy));

    // EWMH check window, alive and naming itself.
    const Window checkWindow = XCreateSimpleWindow(other, root, 0, 0, 1, 1, 0, 0, 0);
    nameCheckWindow(other, checkWindow, checkWindow);
    nameCheckWindow(other, root, checkWindow);
    XSync(other, False);
    EXPECT_TRUE(keX11HasWindowManager(dpy));
    // The manager ended and left its name behind.
    XDestroyWindow(other, checkWindow);
    XSync(other, False);
    EXPECT_FALSE(keX11HasWindowManager(dpy));
    XDeleteProperty(other, root, check);

    // The ICCCM selection.
    const Window owner = XCreateSimpleWindow(other, root, 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(other, wmSelection, owner, CurrentTime);
    XSync(other, False);
    EXPECT_TRUE(keX11HasWindowManager(dpy));
    XDestroyWindow(other, owner);
    XCloseDisplay(other);
    XSync(dpy, False);
    EXPECT_FALSE(keX11HasWindowManager(dpy));
    XCloseDisplay(dpy);
}

}  // namespace
