// The message box under a real X server: it appears titled "Kolm", shows text with "%" as is,
// and Enter, Escape and the window manager's close each dismiss it.
#include <gtest/gtest.h>  // before Xlib, whose macros (None, Bool) clash with it

#include "core/KeError.h"
#include "platform/KeMessageBox.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <string>
#include <unistd.h>
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

// Watches the display for a window of that title until `stop` is set or 4 s pass; dismisses it
// with Enter. True when one appeared.
bool dismissWhenShown(const std::string& display, const char* title, const std::atomic<bool>& stop) {
    Display* dpy = XOpenDisplay(display.c_str());
    if (!dpy) return false;
    Window box = 0;
    for (int i = 0; i < 200 && !box && !stop; ++i) {
        box = findWindowNamed(dpy, DefaultRootWindow(dpy), title);
        if (!box) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (box) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        XEvent ev;
        std::memset(&ev, 0, sizeof ev);
        ev.xkey.type = KeyPress;
        ev.xkey.window = box;
        ev.xkey.root = DefaultRootWindow(dpy);
        ev.xkey.display = dpy;
        ev.xkey.keycode = XKeysymToKeycode(dpy, XK_Return);
        XSendEvent(dpy, box, True, KeyPressMask, &ev);
        XFlush(dpy);
    }
    XCloseDisplay(dpy);
    return box != 0;
}

// Standard input from /dev/null (as when kolm is started from a file manager) and CI and
// DISPLAY as a case wants them, all put back afterwards.
class SessionScope {
public:
    SessionScope(const char* ci, bool display) {
        if (const char* c = std::getenv("CI")) m_ci = c, m_hadCi = true;
        m_display = std::getenv("DISPLAY");
        m_stdin = dup(STDIN_FILENO);
        const int nul = open("/dev/null", O_RDONLY);
        dup2(nul, STDIN_FILENO);
        close(nul);
        if (ci) {
            setenv("CI", ci, 1);
        } else {
            unsetenv("CI");
        }
        if (!display) unsetenv("DISPLAY");
    }
    ~SessionScope() {
        dup2(m_stdin, STDIN_FILENO);
        close(m_stdin);
        if (m_hadCi) {
            setenv("CI", m_ci.c_str(), 1);
        } else {
            unsetenv("CI");
        }
        setenv("DISPLAY", m_display.c_str(), 1);
    }

private:
    std::string m_ci, m_display;
    bool m_hadCi = false;
    int m_stdin = -1;
};

// The application's box handler shows a box whenever a display answers and the run is not
// automated, with no terminal too; with CI set or without a display the text goes to standard
// error and nothing waits. The box carries the title the reporter hands it.
TEST(MessageBoxX11, HandlerShowsBoxesUnlessAutomatedOrWithoutDisplay) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
    XInitThreads();
    const std::string display = std::getenv("DISPLAY");
    const struct {
        const char* name;
        const char* ci;  // nullptr: unset
        bool display;
        const char* title;
        bool box;
    } cases[] = {
        {"no terminal", nullptr, true, "Kolm", true},
        {"CI empty", "", true, "Kolm", true},
        {"CI false", "false", true, "Kolm", true},
        {"file-operation box", nullptr, true, "File Operation Problem", true},
        {"CI true", "true", true, "Kolm", false},
        {"no display", nullptr, false, "Kolm", false},
    };
    keResetErrorReporter();
    keInstallMessageBox();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<bool> stop{false};
        bool appeared = false;
        std::thread closer([&] { appeared = dismissWhenShown(display, c.title, stop); });
        {
            SessionScope session(c.ci, c.display);
            if (std::strcmp(c.title, "Kolm") == 0) {
                showMessageBox("rule %s", c.name);
            } else {
                showTitledMessageBox(c.title, "rule %s", c.name);
            }
        }
        stop = true;
        closer.join();
        EXPECT_EQ(appeared, c.box);
    }
    keResetErrorReporter();
}

}  // namespace
