#include "platform/KePointer.h"

#include <X11/Xlib.h>

namespace kolm {

bool keWindowPointer(void* x11Display, unsigned long window, int* x, int* y) {
    auto* dpy = static_cast<Display*>(x11Display);
    if (!dpy || !window) return false;
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, winX = 0, winY = 0;
    unsigned mask = 0;
    if (!XQueryPointer(dpy, static_cast<Window>(window), &root, &child, &rootX, &rootY, &winX, &winY, &mask)) return false;
    if (x) *x = winX;
    if (y) *y = winY;
    return true;
}

}  // namespace kolm
