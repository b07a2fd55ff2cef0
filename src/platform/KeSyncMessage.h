// The "follow this frame" message: another program posts (0x7000, frame) to the render window,
// which the library turns into a user event for the engine's event receiver.
#pragma once

namespace kolm {

// Finds the top-level window with the given title on the default display and posts the
// message to it. Returns 0 when sent, -1 when there is no display or no such window.
int keSendSyncFrame(const char* windowTitle, int frame);

}  // namespace kolm
