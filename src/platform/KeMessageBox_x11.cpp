#include "platform/KeMessageBox.h"

#include "core/KeError.h"
#include "platform/KeProcess.h"

#include <X11/Xatom.h>
#include "platform/KeX11.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace kolm {
namespace {

Display* g_renderDisplay = nullptr;
Window g_renderWindow = 0;

// Splits the text at line breaks and wraps long lines at blanks to at most maxChars.
std::vector<std::string> wrapText(const char* text, size_t maxChars) {
    std::vector<std::string> lines;
    std::string current;
    auto flush = [&]() {
        while (current.size() > maxChars) {
            size_t cut = current.rfind(' ', maxChars);
            if (cut == std::string::npos || cut == 0) cut = maxChars;
            lines.push_back(current.substr(0, cut));
            current.erase(0, cut + (current[cut] == ' ' ? 1 : 0));
        }
        lines.push_back(current);
        current.clear();
    };
    for (const char* p = text; *p; ++p) {
        if (*p == '\n') {
            flush();
        } else if (*p != '\r') {
            current += *p;
        }
    }
    if (!current.empty() || lines.empty()) flush();
    return lines;
}

}  // namespace

void keSetMessageBoxRenderWindow(void* x11Display, unsigned long window) {
    g_renderDisplay = static_cast<Display*>(x11Display);
    g_renderWindow = static_cast<Window>(window);
}

bool keShowX11MessageBox(const char* text, const char* title) {
    Display* dpy = keOpenX11Display();
    if (!dpy) return false;

    const int screen = DefaultScreen(dpy);
    XFontStruct* font = XLoadQueryFont(dpy, "fixed");
    const int charW = font ? std::max<int>(1, XTextWidth(font, "M", 1)) : 6;
    const int lineH = font ? font->ascent + font->descent + 2 : 15;
    const int ascent = font ? font->ascent : 11;

    const std::vector<std::string> lines = wrapText(text, 90);
    size_t longest = 0;
    for (const auto& l : lines) longest = std::max(longest, l.size());
    const int margin = 16;
    const int buttonW = 80, buttonH = 26;
    const int width = std::max<int>(240, static_cast<int>(longest) * charW + 2 * margin);
    const int height = static_cast<int>(lines.size()) * lineH + 3 * margin + buttonH;
    const int buttonX = (width - buttonW) / 2, buttonY = height - margin - buttonH;

    const unsigned long white = WhitePixel(dpy, screen), black = BlackPixel(dpy, screen);
    Window win = XCreateSimpleWindow(dpy, RootWindow(dpy, screen),
                                     (DisplayWidth(dpy, screen) - width) / 2,
                                     (DisplayHeight(dpy, screen) - height) / 2, width, height, 1, black,
                                     0xE0E0E0);
    XStoreName(dpy, win, title ? title : "Kolm");
    XSizeHints* hints = XAllocSizeHints();
    hints->flags = PMinSize | PMaxSize;
    hints->min_width = hints->max_width = width;
    hints->min_height = hints->max_height = height;
    XSetWMNormalHints(dpy, win, hints);
    XFree(hints);

    // Above other windows.
    Atom wmState = XInternAtom(dpy, "_NET_WM_STATE", False);
    Atom above = XInternAtom(dpy, "_NET_WM_STATE_ABOVE", False);
    XChangeProperty(dpy, win, wmState, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&above), 1);
    Atom deleteWindow = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(dpy, win, &deleteWindow, 1);
    XSelectInput(dpy, win, ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask);

    if (g_renderDisplay && g_renderWindow) {
        XUnmapWindow(g_renderDisplay, g_renderWindow);
        XFlush(g_renderDisplay);
    }
    XMapRaised(dpy, win);
    GC gc = XCreateGC(dpy, win, 0, nullptr);
    if (font) XSetFont(dpy, gc, font->fid);

    bool done = false;
    bool pressed = false;
    while (!done) {
        XEvent ev;
        XNextEvent(dpy, &ev);
        switch (ev.type) {
        case Expose:
            if (ev.xexpose.count == 0) {
                XSetForeground(dpy, gc, black);
                for (size_t i = 0; i < lines.size(); ++i) {
                    XDrawString(dpy, win, gc, margin, margin + ascent + static_cast<int>(i) * lineH,
                                lines[i].data(), static_cast<int>(lines[i].size()));
                }
                XSetForeground(dpy, gc, pressed ? 0xB0B0B0 : white);
                XFillRectangle(dpy, win, gc, buttonX, buttonY, buttonW, buttonH);
                XSetForeground(dpy, gc, black);
                XDrawRectangle(dpy, win, gc, buttonX, buttonY, buttonW, buttonH);
                XDrawString(dpy, win, gc, buttonX + (buttonW - 2 * charW) / 2,
                            buttonY + (buttonH + ascent) / 2 - 1, "OK", 2);
            }
            break;
        case KeyPress: {
            const KeySym sym = XLookupKeysym(&ev.xkey, 0);
            if (sym == XK_Return || sym == XK_KP_Enter || sym == XK_Escape || sym == XK_space) done = true;
            break;
        }
        case ButtonPress:
        case ButtonRelease: {
            const bool inside = ev.xbutton.x >= buttonX && ev.xbutton.x < buttonX + buttonW &&
                                ev.xbutton.y >= buttonY && ev.xbutton.y < buttonY + buttonH;
            if (ev.type == ButtonPress) {
                pressed = inside;
            } else {
                if (pressed && inside) done = true;
                pressed = false;
            }
            XClearArea(dpy, win, 0, 0, 0, 0, True);
            break;
        }
        case ClientMessage:
            if (static_cast<Atom>(ev.xclient.data.l[0]) == deleteWindow) done = true;
            break;
        default:
            break;
        }
    }
    XFreeGC(dpy, gc);
    if (font) XFreeFont(dpy, font);
    XDestroyWindow(dpy, win);
    XCloseDisplay(dpy);

    if (g_renderDisplay && g_renderWindow) {
        XMapRaised(g_renderDisplay, g_renderWindow);
        XFlush(g_renderDisplay);
    }
    return true;
}

void keMessageBoxHandler(const char* text, void*) {
    const char* title = keMessageBoxTitle();
    if (!keIsAutomatedRun() && keShowX11MessageBox(text, title)) return;
    std::fprintf(stderr, "%s: %s\n", title, text);
    std::fflush(stderr);
}

void keInstallMessageBox() { keSetMessageBoxHandler(&keMessageBoxHandler, nullptr); }

}  // namespace kolm
