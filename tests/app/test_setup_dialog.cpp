// The X11 setup dialog, driven by synthetic key events from a second connection, and the
// XRandR mode source. Needs a display (Xvfb in CI); skipped without one.
#include "platform/KeDisplayModes.h"
#include "platform/KeSetupDialog.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace kolm {
namespace {

// The server refuses a connection now and then on a busy machine: retry a few times.
Display* openDisplay() {
    for (int attempt = 0; attempt < 8; ++attempt) {
        if (Display* d = XOpenDisplay(nullptr)) return d;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return nullptr;
}

bool haveDisplay() {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return false;
    Display* d = openDisplay();
    if (!d) return false;
    XCloseDisplay(d);
    return true;
}

Window findWindow(Display* dpy, Window parent, const char* title) {
    Window root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(dpy, parent, &root, &up, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        char* name = nullptr;
        XWindowAttributes attrs;
        if (XFetchName(dpy, children[i], &name) && name) {
            if (std::strcmp(name, title) == 0 && XGetWindowAttributes(dpy, children[i], &attrs) &&
                attrs.map_state == IsViewable) {
                found = children[i];
            }
            XFree(name);
        }
        if (!found) found = findWindow(dpy, children[i], title);
    }
    if (children) XFree(children);
    return found;
}

uint32_t rgbAt(XImage* img, int x, int y) {
    const unsigned long p = XGetPixel(img, x, y);
    return static_cast<uint32_t>(p & 0xFFFFFF);  // 24-bit TrueColor under Xvfb
}

// What the robot saw of the dialog before it pressed its keys.
struct Seen {
    bool found = false;
    int width = 0, height = 0;
    uint32_t corner = 0xFFFFFFFF;
    bool bannerDrawn = false;
    bool orangeText = false;
};

// Waits for the dialog, looks at it, then presses the keys.
void robot(const std::vector<KeySym>& keys, Seen* seen) {
    Display* dpy = openDisplay();
    if (!dpy) return;
    Window win = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        win = findWindow(dpy, DefaultRootWindow(dpy), "Kolm");
        if (win) {
            XWindowAttributes attrs;
            XGetWindowAttributes(dpy, win, &attrs);
            XImage* img = XGetImage(dpy, win, 0, 0, static_cast<unsigned>(attrs.width),
                                    static_cast<unsigned>(attrs.height), AllPlanes, ZPixmap);
            if (img) {
                seen->width = attrs.width;
                seen->height = attrs.height;
                seen->corner = rgbAt(img, 0, attrs.height - 1);
                seen->bannerDrawn = rgbAt(img, 8 + 156, 8 + 2) != 0;  // the banner's sky
                for (int y = attrs.height / 2; y < attrs.height && !seen->orangeText; ++y) {
                    for (int x = 0; x < attrs.width; ++x) {
                        if (rgbAt(img, x, y) == 0xFF8844) {
                            seen->orangeText = true;
                            break;
                        }
                    }
                }
                XDestroyImage(img);
                if (seen->bannerDrawn && seen->orangeText) break;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    seen->found = win != 0;
    for (KeySym sym : keys) {
        if (!win) break;
        XEvent ev;
        std::memset(&ev, 0, sizeof ev);
        ev.xkey.type = KeyPress;
        ev.xkey.display = dpy;
        ev.xkey.window = win;
        ev.xkey.root = DefaultRootWindow(dpy);
        ev.xkey.same_screen = True;
        ev.xkey.keycode = XKeysymToKeycode(dpy, sym);
        XSendEvent(dpy, win, True, KeyPressMask, &ev);
        XFlush(dpy);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    XCloseDisplay(dpy);
}

TEST(SetupDialogX11, KeysChooseStartAndCancel) {
    if (!haveDisplay()) GTEST_SKIP() << "no display";
    KeSetupDialogContent content;
    content.modeLines = {" 640 x  480", "1024 x  768", "1280 x  720 (recommended)", "1920 x 1080"};
    content.selected = 2;
    content.warning = "Missing libexample.so. Please install this library.\n";

    const struct {
        const char* what;
        std::vector<KeySym> keys;
        bool started;
        int selected;
        bool fullScreen;
    } cases[] = {
        {"Enter starts with the preselection", {XK_Return}, true, 2, true},
        {"Down then Enter", {XK_Down, XK_Return}, true, 3, true},
        {"Up twice, windowed", {XK_Up, XK_Up, XK_Right, XK_KP_Enter}, true, 0, false},
        {"Down past the end stays on the last", {XK_Down, XK_Down, XK_Down, XK_Return}, true, 3, true},
        {"Escape cancels", {XK_Down, XK_Escape}, false, -1, true},
    };
    for (const auto& c : cases) {
        Seen seen;
        std::thread t(robot, c.keys, &seen);
        CKeSetupDialogX11 dialog(true);
        KeSetupDialogAnswer answer;
        const bool started = dialog.run(content, &answer);
        t.join();
        ASSERT_TRUE(seen.found) << c.what;
        EXPECT_EQ(started, c.started) << c.what;
        if (c.started) {
            EXPECT_EQ(answer.selected, c.selected) << c.what;
            EXPECT_EQ(answer.fullScreen, c.fullScreen) << c.what;
        }
        EXPECT_GE(seen.width, KE_SETUP_BANNER_WIDTH) << c.what;
        EXPECT_EQ(seen.corner, 0x000000u) << "black background";
        EXPECT_TRUE(seen.bannerDrawn) << c.what;
        EXPECT_TRUE(seen.orangeText) << "warning in orange";
    }
}

TEST(SetupDialogX11, ArtworkHasTheDialogSizes) {
    EXPECT_EQ(keDrawSetupBanner().size(), static_cast<size_t>(313 * 116));
    const auto up = keDrawStartButton(false), down = keDrawStartButton(true);
    EXPECT_EQ(up.size(), static_cast<size_t>(240 * 19));
    EXPECT_NE(up, down) << "pressed and released pictures differ";
}

TEST(DisplayModesX11, ReportsTheScreenAtThirtyTwoBits) {
    if (!haveDisplay()) GTEST_SKIP() << "no display";
    KeDisplayModeQuery q;
    ASSERT_TRUE(keX11DisplayModes()->query(&q));
    ASSERT_FALSE(q.modes.empty());
    ASSERT_TRUE(q.hasDesktop);
    Display* dpy = openDisplay();
    ASSERT_NE(dpy, nullptr);
    const int depth = DefaultDepth(dpy, DefaultScreen(dpy));
    XCloseDisplay(dpy);
    for (const KeDisplayMode& m : q.modes) {
        EXPECT_EQ(m.bpp, depth == 24 ? 32 : depth);
        EXPECT_GT(m.width, 0);
        EXPECT_GT(m.height, 0);
    }
}

}  // namespace
}  // namespace kolm
