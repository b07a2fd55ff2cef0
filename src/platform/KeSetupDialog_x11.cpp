// The setup dialog as a small X11 window. Everything is drawn by hand with core Xlib: the two
// pictures are uploaded once as pixmaps, the rest is text and rectangles on black.
#include "platform/KeSetupDialog.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include "platform/KeX11.h"
#include <unistd.h>
#include <cstdlib>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace kolm {
namespace {



constexpr uint32_t kGrey = 0xAAAAAA;    // static texts
constexpr uint32_t kOrange = 0xFF8844;  // the warning
constexpr int kMargin = 8;
constexpr int kVisibleRows = 6;

int lowBit(unsigned long mask) {
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

int bitCount(unsigned long mask) {
    int n = 0;
    for (; mask; mask >>= 1) n += static_cast<int>(mask & 1);
    return n;
}

struct X11Dialog {
    Display* dpy = nullptr;
    int screen = 0;
    Visual* visual = nullptr;
    int depth = 0;
    Window win = 0;
    GC gc = nullptr;
    XFontStruct* font = nullptr;
    Pixmap banner = 0, buttonUp = 0, buttonDown = 0;
    Atom deleteWindow = 0;

    int charW = 6, rowH = 14, ascent = 11;
    int width = 0, height = 0;
    int listX = 0, listY = 0, listW = 0, listH = 0;
    int radioY = 0, fullX = 0, windowedX = 0;
    int buttonX = 0, buttonY = 0;
    int warningY = 0;

    const KeSetupDialogContent* content = nullptr;
    std::vector<std::string> warningLines;
    int selected = -1;
    int top = 0;  // first visible line of the list
    bool fullScreen = true;
    bool pressed = false;

    // Colour 0xRRGGBB as a pixel of the window's visual.
    unsigned long pixel(uint32_t rgb) const {
        if (visual->c_class == TrueColor || visual->c_class == DirectColor) {
            auto channel = [](uint32_t v, unsigned long mask) {
                const int bits = bitCount(mask);
                const unsigned long scaled = bits >= 8 ? (static_cast<unsigned long>(v) << (bits - 8))
                                                       : (static_cast<unsigned long>(v) >> (8 - bits));
                return (scaled << lowBit(mask)) & mask;
            };
            return channel((rgb >> 16) & 0xFF, visual->red_mask) | channel((rgb >> 8) & 0xFF, visual->green_mask) |
                   channel(rgb & 0xFF, visual->blue_mask);
        }
        XColor c;
        c.red = static_cast<unsigned short>(((rgb >> 16) & 0xFF) * 257);
        c.green = static_cast<unsigned short>(((rgb >> 8) & 0xFF) * 257);
        c.blue = static_cast<unsigned short>((rgb & 0xFF) * 257);
        c.flags = DoRed | DoGreen | DoBlue;
        if (XAllocColor(dpy, DefaultColormap(dpy, screen), &c)) return c.pixel;
        return rgb ? WhitePixel(dpy, screen) : BlackPixel(dpy, screen);
    }

    Pixmap picture(const std::vector<uint32_t>& px, int w, int h) {
        Pixmap pm = XCreatePixmap(dpy, win, static_cast<unsigned>(w), static_cast<unsigned>(h),
                                  static_cast<unsigned>(depth));
        XImage* img = XCreateImage(dpy, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                                   static_cast<unsigned>(w), static_cast<unsigned>(h), 32, 0);
        if (!img) return pm;
        img->data = static_cast<char*>(std::calloc(static_cast<size_t>(img->bytes_per_line) * h, 1));
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) XPutPixel(img, x, y, pixel(px[static_cast<size_t>(y) * w + x]));
        }
        XPutImage(dpy, pm, gc, img, 0, 0, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h));
        XDestroyImage(img);  // frees the pixel data too
        return pm;
    }

    void layout() {
        width = KE_SETUP_BANNER_WIDTH + 2 * kMargin;
        listX = kMargin;
        listY = kMargin + KE_SETUP_BANNER_HEIGHT + kMargin;
        listW = KE_SETUP_BANNER_WIDTH;
        listH = kVisibleRows * rowH + 4;
        radioY = listY + listH + kMargin;
        fullX = kMargin;
        windowedX = kMargin + KE_SETUP_BANNER_WIDTH / 2;
        buttonX = (width - KE_SETUP_BUTTON_WIDTH) / 2;
        buttonY = radioY + rowH + kMargin;
        warningY = buttonY + KE_SETUP_BUTTON_HEIGHT + kMargin;
        const int warningRows = std::max<int>(1, static_cast<int>(warningLines.size()));
        height = warningY + warningRows * rowH + kMargin;
    }

    void text(int x, int y, const std::string& s, uint32_t rgb) {
        XSetForeground(dpy, gc, pixel(rgb));
        XDrawString(dpy, win, gc, x, y + ascent, s.data(), static_cast<int>(s.size()));
    }

    int textWidth(const std::string& s) const {
        return font ? XTextWidth(font, s.data(), static_cast<int>(s.size())) : static_cast<int>(s.size()) * charW;
    }

    void keepSelectionVisible() {
        const int count = static_cast<int>(content->modeLines.size());
        if (selected >= 0) {
            if (selected < top) top = selected;
            if (selected >= top + kVisibleRows) top = selected - kVisibleRows + 1;
        }
        top = std::max(0, std::min(top, count - kVisibleRows));
    }

    void radio(int x, bool checked, const char* label) {
        const int d = std::min(10, rowH - 2);
        const int cy = radioY + (rowH - d) / 2;
        XSetForeground(dpy, gc, pixel(kGrey));
        XDrawArc(dpy, win, gc, x, cy, static_cast<unsigned>(d), static_cast<unsigned>(d), 0, 360 * 64);
        if (checked) XFillArc(dpy, win, gc, x + 3, cy + 3, static_cast<unsigned>(d - 5), static_cast<unsigned>(d - 5), 0, 360 * 64);
        text(x + d + 6, radioY, label, kGrey);
    }

    void draw() {
        XSetForeground(dpy, gc, pixel(0x000000));
        XFillRectangle(dpy, win, gc, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height));
        XCopyArea(dpy, banner, win, gc, 0, 0, KE_SETUP_BANNER_WIDTH, KE_SETUP_BANNER_HEIGHT, kMargin, kMargin);

        // Mode list.
        XSetForeground(dpy, gc, pixel(0x555555));
        XDrawRectangle(dpy, win, gc, listX, listY, static_cast<unsigned>(listW - 1), static_cast<unsigned>(listH - 1));
        const int count = static_cast<int>(content->modeLines.size());
        for (int row = 0; row < kVisibleRows && top + row < count; ++row) {
            const int line = top + row;
            const int y = listY + 2 + row * rowH;
            if (line == selected) {
                XSetForeground(dpy, gc, pixel(0x303C60));
                XFillRectangle(dpy, win, gc, listX + 2, y, static_cast<unsigned>(listW - 4), static_cast<unsigned>(rowH));
            }
            text(listX + 6, y + 1, content->modeLines[static_cast<size_t>(line)], line == selected ? 0xFFFFFF : kGrey);
        }
        if (count > kVisibleRows) {
            // Scroll bar: the visible part of the list.
            const int barH = std::max(6, (listH - 4) * kVisibleRows / count);
            const int barY = listY + 2 + (listH - 4 - barH) * top / std::max(1, count - kVisibleRows);
            XSetForeground(dpy, gc, pixel(0x555555));
            XFillRectangle(dpy, win, gc, listX + listW - 8, barY, 5, static_cast<unsigned>(barH));
        }

        radio(fullX, fullScreen, "Full screen");
        radio(windowedX, !fullScreen, "Windowed");

        XCopyArea(dpy, pressed ? buttonDown : buttonUp, win, gc, 0, 0, KE_SETUP_BUTTON_WIDTH, KE_SETUP_BUTTON_HEIGHT,
                  buttonX, buttonY);

        for (size_t i = 0; i < warningLines.size(); ++i) {
            const std::string& line = warningLines[i];
            text((width - textWidth(line)) / 2, warningY + static_cast<int>(i) * rowH, line, kOrange);
        }
        XFlush(dpy);
    }

    bool insideButton(int x, int y) const {
        return x >= buttonX && x < buttonX + KE_SETUP_BUTTON_WIDTH && y >= buttonY &&
               y < buttonY + KE_SETUP_BUTTON_HEIGHT;
    }

    void move(int delta) {
        const int count = static_cast<int>(content->modeLines.size());
        if (count == 0) return;
        if (selected < 0) {
            selected = delta > 0 ? 0 : count - 1;
        } else {
            selected = std::max(0, std::min(count - 1, selected + delta));
        }
        keepSelectionVisible();
    }

    // 1: Start, 0: cancel, -1: keep running.
    int handle(XEvent& ev) {
        switch (ev.type) {
        case Expose:
            if (ev.xexpose.count == 0) draw();
            return -1;
        case KeyPress: {
            const KeySym sym = XLookupKeysym(&ev.xkey, 0);
            switch (sym) {
            case XK_Return:
            case XK_KP_Enter:
                return 1;
            case XK_Escape:
                return 0;
            case XK_Up:
            case XK_KP_Up:
                move(-1);
                break;
            case XK_Down:
            case XK_KP_Down:
                move(1);
                break;
            case XK_Page_Up:
                move(-kVisibleRows);
                break;
            case XK_Page_Down:
                move(kVisibleRows);
                break;
            case XK_Home:
                move(-(1 << 20));
                break;
            case XK_End:
                move(1 << 20);
                break;
            case XK_Left:
            case XK_Right:
            case XK_Tab:
                fullScreen = !fullScreen;
                break;
            default:
                return -1;
            }
            draw();
            return -1;
        }
        case ButtonPress: {
            const int x = ev.xbutton.x, y = ev.xbutton.y;
            if (ev.xbutton.button == Button4 || ev.xbutton.button == Button5) {
                top += ev.xbutton.button == Button4 ? -1 : 1;
                keepSelectionVisible();
            } else if (ev.xbutton.button == Button1) {
                if (x >= listX && x < listX + listW && y >= listY + 2 && y < listY + listH - 2) {
                    const int line = top + (y - listY - 2) / rowH;
                    if (line < static_cast<int>(content->modeLines.size())) selected = line;
                } else if (y >= radioY && y < radioY + rowH) {
                    fullScreen = x < windowedX;
                } else if (insideButton(x, y)) {
                    pressed = true;
                }
            }
            draw();
            return -1;
        }
        case ButtonRelease:
            if (ev.xbutton.button == Button1 && pressed) {
                pressed = false;
                draw();
                if (insideButton(ev.xbutton.x, ev.xbutton.y)) return 1;
            }
            return -1;
        case MapNotify:
            // Only a viewable window may take the focus.
            XSetInputFocus(dpy, win, RevertToParent, CurrentTime);
            return -1;
        case ClientMessage:
            if (static_cast<Atom>(ev.xclient.data.l[0]) == deleteWindow) return 0;
            return -1;
        default:
            return -1;
        }
    }

    bool open(const KeSetupDialogContent& c) {
        content = &c;
        dpy = keOpenX11Display();
        if (!dpy) return false;
        screen = DefaultScreen(dpy);
        visual = DefaultVisual(dpy, screen);
        depth = DefaultDepth(dpy, screen);
        font = XLoadQueryFont(dpy, "fixed");
        if (font) {
            charW = std::max<int>(1, XTextWidth(font, "M", 1));
            ascent = font->ascent;
            rowH = font->ascent + font->descent + 2;
        }

        warningLines.clear();
        std::string line;
        for (char ch : c.warning) {
            if (ch == '\n') {
                warningLines.push_back(line);
                line.clear();
            } else if (ch != '\r') {
                line += ch;
            }
        }
        if (!line.empty()) warningLines.push_back(line);

        const int count = static_cast<int>(c.modeLines.size());
        selected = (c.selected >= 0 && c.selected < count) ? c.selected : -1;
        fullScreen = c.fullScreen;
        keepSelectionVisible();
        layout();

        win = XCreateSimpleWindow(dpy, RootWindow(dpy, screen), (DisplayWidth(dpy, screen) - width) / 2,
                                  (DisplayHeight(dpy, screen) - height) / 2, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height), 0, BlackPixel(dpy, screen), BlackPixel(dpy, screen));
        XStoreName(dpy, win, "Kolm");
        XClassHint* cls = XAllocClassHint();
        cls->res_name = const_cast<char*>("kolm-setup");
        cls->res_class = const_cast<char*>("Kolm");
        XSetClassHint(dpy, win, cls);
        XFree(cls);
        XSizeHints* hints = XAllocSizeHints();
        hints->flags = PMinSize | PMaxSize | PPosition;
        hints->x = (DisplayWidth(dpy, screen) - width) / 2;
        hints->y = (DisplayHeight(dpy, screen) - height) / 2;
        hints->min_width = hints->max_width = width;
        hints->min_height = hints->max_height = height;
        XSetWMNormalHints(dpy, win, hints);
        XFree(hints);
        deleteWindow = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(dpy, win, &deleteWindow, 1);
        XSelectInput(dpy, win, ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask);

        gc = XCreateGC(dpy, win, 0, nullptr);
        if (font) XSetFont(dpy, gc, font->fid);
        banner = picture(keDrawSetupBanner(), KE_SETUP_BANNER_WIDTH, KE_SETUP_BANNER_HEIGHT);
        buttonUp = picture(keDrawStartButton(false), KE_SETUP_BUTTON_WIDTH, KE_SETUP_BUTTON_HEIGHT);
        buttonDown = picture(keDrawStartButton(true), KE_SETUP_BUTTON_WIDTH, KE_SETUP_BUTTON_HEIGHT);
        XMapRaised(dpy, win);
        XFlush(dpy);
        return true;
    }

    void close() {
        if (!dpy) return;
        if (banner) XFreePixmap(dpy, banner);
        if (buttonUp) XFreePixmap(dpy, buttonUp);
        if (buttonDown) XFreePixmap(dpy, buttonDown);
        if (gc) XFreeGC(dpy, gc);
        if (font) XFreeFont(dpy, font);
        if (win) XDestroyWindow(dpy, win);
        XCloseDisplay(dpy);
        dpy = nullptr;
    }
};

// CI runs never wait for a person. Standard input is not asked: a packaged demo started from
// a file manager has no terminal, and it must still offer its dialog.
bool automatedRun() {
    const char* ci = std::getenv("CI");
    return ci && *ci && std::strcmp(ci, "false") != 0 && std::strcmp(ci, "0") != 0;
}

}  // namespace

bool CKeSetupDialogX11::run(const KeSetupDialogContent& content, KeSetupDialogAnswer* answer) {
    if (!m_alwaysShow && automatedRun()) {
        answer->selected = content.selected;
        answer->fullScreen = content.fullScreen;
        return true;
    }
    // A refused request (focus taken by a window manager in between, say) must not end the
    // process, which is what Xlib's default error handler does.
    XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    X11Dialog dialog;
    if (!dialog.open(content)) {
        XSetErrorHandler(previous);
        // No display to ask on: take the preselection, as an automated run does.
        dialog.close();
        answer->selected = content.selected;
        answer->fullScreen = content.fullScreen;
        return true;
    }
    int result = -1;
    while (result < 0) {
        XEvent ev;
        XNextEvent(dialog.dpy, &ev);
        result = dialog.handle(ev);
    }
    answer->selected = dialog.selected;
    answer->fullScreen = dialog.fullScreen;
    dialog.close();
    XSetErrorHandler(previous);
    return result == 1;
}

IKeSetupDialog* keX11SetupDialog() {
    static CKeSetupDialogX11 instance(false);
    return &instance;
}

}  // namespace kolm
