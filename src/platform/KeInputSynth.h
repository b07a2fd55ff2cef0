// Synthetic input for automated runs and tests: key and button events sent to the top-level
// window with a given title on the default display, and the pointer moved within it, as a user
// would. Each opens its own connection, so another thread than the window's may call them.
// 0 when done, -1 without a display or such a window.
#pragma once

namespace kolm {

// A key press or release of an X11 keysym (XK_Escape is 0xff1b).
int keSynthKey(const char* windowTitle, unsigned long keysym, bool down);
// A button press or release at (x, y) in the window: 1 left, 2 middle, 3 right, 4 and 5 the
// wheel up and down (a wheel step is a press).
int keSynthButton(const char* windowTitle, int button, bool down, int x, int y);
// Moves the pointer to (x, y) in the window's coordinates (may lie outside it).
int keSynthPointer(const char* windowTitle, int x, int y);

}  // namespace kolm
