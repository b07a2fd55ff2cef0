// The 2D layer of the object API: full-screen colour fades.
#pragma once

#include <cstdint>

namespace kolm {

// Removes any fader, then fades the picture in from the colour (keFadeIn) or out to it
// (keFadeOut) over `timeMs` milliseconds through one full-screen fader of the GUI environment.
// The colour is 0xRRGGBB (its alpha is ignored: the fader runs from opaque to clear). The
// fader follows the device timer, so a frame rendered at a set time shows the fade at that
// time. A negative time counts as 0. -1 without an engine.
int keFadeIn(int timeMs, uint32_t colour);
int keFadeOut(int timeMs, uint32_t colour);
// Removes the fader and its overlay if there is one (a fader of an engine since shut down is
// only forgotten).
int keStopFade();

}  // namespace kolm
