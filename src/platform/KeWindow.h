// Render-window chores the library does not offer on X11: position, icon, show and hide.
#pragma once

namespace kolm {

// x11Display / window: the library's exposed video data (X11Display, X11Window).
void keWindowMove(void* x11Display, unsigned long window, int x, int y);
// Sets a small generated icon through _NET_WM_ICON.
void keWindowSetIcon(void* x11Display, unsigned long window);
void keWindowShow(void* x11Display, unsigned long window, bool show);
// True when the window has the input focus.
bool keWindowIsActive(void* x11Display, unsigned long window);
// True when a window manager runs on the display's screen: it owns the "WM_S<screen>"
// selection, or names its check window through _NET_SUPPORTING_WM_CHECK. False for a null
// display.
bool keX11HasWindowManager(void* x11Display);

}  // namespace kolm

namespace kolm {

// Makes X protocol errors non-fatal for the rest of the run: they are logged (WARN) instead of
// ending the process, which is Xlib's default. Some GL extensions (swap control on a virtual
// X server, for one) answer with such errors although the window works.
void keInstallXErrorHandler();

}  // namespace kolm
