// The scene viewer: one scene document played as an animation with its music, with pause,
// scrub, loop, ride, read-outs and live reload ("kolm scene.kscn", "-binary").
//
// Keys: Space pause/play, Return loop on/off, Right/Left (not while riding) and Plus/Minus
// step (Shift: ten times), right mouse button ride on/off, 1/2 ride speed down/up, F12 the
// renderer's debug display, Escape quit.
#pragma once

#include "app/KeRunOptions.h"

#include <cstdint>

namespace kolm {

// Plays the scene at `path` (none: with ConvertBinary, asks with the open-file dialog). 0, or
// -1 when no file was chosen or the scene failed to load. The "-binary" run needs no engine: it
// loads and checks the document only.
int keViewScene(const char* path, const RunOptions& options);

// Ends the viewer by itself, for automated runs: after `frames` rendered frames (0: never) or
// `ms` of engine clock (0: never), writing the last frame to `screenshot` when given. The
// environment sets them too: KOLM_VIEWER_FRAMES, KOLM_VIEWER_MS, KOLM_VIEWER_SCREENSHOT.
struct KeSceneViewerLimits {
    int frames = 0;
    int64_t ms = 0;
    const char* screenshot = nullptr;
};
void keSceneViewerSetLimits(const KeSceneViewerLimits& limits);

}  // namespace kolm
