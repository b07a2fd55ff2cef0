// Window rules of the scene viewer beside a modelling application ("-syncupdate"): its render
// window is owned by the application's main window when one is found, else kept above others.
#pragma once

namespace kolm {

// Finds a top-level window whose title contains every one of the `count` words and does not
// contain `excluded` (null: nothing excluded), and makes it the owner of `window`
// (WM_TRANSIENT_FOR: the window stays above its owner and follows it). True when one was found.
// x11Display / window: the library's exposed video data.
bool keWindowOwnByTitle(void* x11Display, unsigned long window, const char* const* words, int count,
                        const char* excluded);
// Asks the window manager to keep the window above all others (_NET_WM_STATE_ABOVE), without
// moving or sizing it.
void keWindowKeepAbove(void* x11Display, unsigned long window);

}  // namespace kolm
