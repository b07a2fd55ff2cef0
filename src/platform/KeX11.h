// Shared X11 helpers of the platform layer (not for use outside src/platform).
#pragma once

#include <X11/Xlib.h>

namespace kolm {

// Opens the default display. A connection now and then fails at the handshake on a busy
// machine (or while a virtual X server resets), so a few quick retries tell that apart from a
// display that is really not there. Null when DISPLAY is unset or no connection can be made.
Display* keOpenX11Display();

}  // namespace kolm
