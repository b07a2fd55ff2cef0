// A private X server for runs that render without a display (frame capture on a headless
// machine): Xvfb started on a display number of its own choosing, made the process's DISPLAY,
// and stopped again when the process ends.
#pragma once

#include <string>

namespace kolm {

// Starts "Xvfb" (when it is on PATH) with a screen of at least width x height, waits until it
// answers and sets DISPLAY to it. True when a display is now usable; the display name goes to
// `display` when given. The server is stopped at process exit (or by keStopPrivateXvfb).
bool keStartPrivateXvfb(int width, int height, std::string* display = nullptr);
void keStopPrivateXvfb();

}  // namespace kolm
