// The pointer relative to a window, unclamped: the 3D library clamps its cursor position to
// the window, which hides a pointer that has left it.
#pragma once

namespace kolm {

// x11Display / window: the library's exposed video data (X11Display, X11Window). False when
// the pointer is on another screen or there is no display.
bool keWindowPointer(void* x11Display, unsigned long window, int* x, int* y);

}  // namespace kolm
