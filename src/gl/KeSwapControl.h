// Vertical sync for the current GL context, asked for only where it cannot raise an X error.
#pragma once

namespace kolm {

// Sets the swap interval of the current context's drawable (1: wait for vertical sync, 0: do
// not) through GLX_EXT_swap_control or GLX_MESA_swap_control, and only for a direct context,
// where the setting stays on the client. An indirect context would send the request to the X
// server, and virtual servers (Xvfb) reject it with an X error although everything else
// works. False when the interval could not be set (the driver's default then holds).
bool keGlSetSwapInterval(int interval);

}  // namespace kolm
