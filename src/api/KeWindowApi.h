// Window and screen commands of the object API, on the render window of the device. None
// records an error; without an engine they do nothing and answer false or 0.
#pragma once

namespace kolm {

int keHideWindow();
int keShowWindow();
int keMaximizeWindow();
int keMinimizeWindow();
int keRestoreWindow();
// The render window has the input focus.
bool keIsWindowActive();
// True when the display is full screen.
bool keWindowMode();
// The driver's screen size in pixels.
int keScreenWidth();
int keScreenHeight();
// The colour depth of the screen's colour format: 16 (A1R5G5B5, R5G6B5), 24 (R8G8B8), 32 for
// the 32-bit formats and every other format.
int keScreenDepth();
// The same for a colour format of the 3D library (irr::video::ECOLOR_FORMAT).
int keColourFormatDepth(int format);

}  // namespace kolm
