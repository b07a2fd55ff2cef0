// Engine commands of the object API that scripts reach: start-up with the script defaults,
// shut-down, the set-up flag and the renderer's debug switch.
#pragma once

namespace kolm {

// Starts the engine (a running one is shut down first, with every object and light) from
// width, height, bits per pixel and windowed (1 or 0); -1 leaves a value to the start-up's
// default (640 x 480, 32 bits, windowed). Camera planes 0.1 and 1000; no setup file, no
// dialog. Then the script defaults: camera at (0, 0, -5), light 0 directional along (0, 0, 0),
// ambient 0x050505, backdrop 0x001122. -1 with the start-up's recorded error on failure.
int keScriptSetup(int width, int height, int bpp, int windowed);
// Deletes every camera effect, effect, object and light, then shuts the engine down; nothing
// when it is not running.
int keTerm();
bool keIsSetup();
// Hands the mode to the current renderer's debug switch.
int keRenderSetDebug(int mode);

}  // namespace kolm
