// The object viewer: one mesh file (".x", ".obj", ".lwo") in front of the camera under one
// directional light, turned with the mouse or the arrow keys, the camera moved with the wheel or
// the arrow keys, its animation played in a loop at 30 frames per second ("kolm ship.x").
//
// Mouse: drag with the left button alone to turn (half a degree per pixel); wheel: camera
// distance (radius / 20 per step). Keys: Left/Right turn by a degree per frame, Up/Down move the
// camera by radius / 40 per frame, Escape quits. It works on object ID 1 and light ID 1 through
// the object API only.
#pragma once

#include <cstdint>

namespace kolm {

// Shows the object at `path` until Escape or the window closes. 0, or -1 when the object does
// not load ("Failed to load object %s\n").
int keViewObject(const char* path);

// What the viewer keeps between frames. Angles in degrees; distances in the object's units.
struct KeObjectViewerState {
    float radius = 20.0f;    // the object's radius, 20 when it reports 0
    float distance = -30.0f; // camera z (starts at -1.5 radius)
    float pitch = 0.0f;
    float yaw = 0.0f;
    int mouseX = 0, mouseY = 0, wheel = 0;  // last values read
    bool dragging = false;
    int frames = 1;          // the object's frame count
    int64_t t0 = 0;          // engine clock at start, ms
};

// One frame's input: the mouse and keys as the input commands read them.
struct KeObjectViewerInput {
    int click = 0;  // left button + 2 x right button
    int mouseX = 0, mouseY = 0, wheel = 0;
    bool left = false, right = false, up = false, down = false;
    int64_t clock = 0;  // engine clock, ms
};

// What the frame asks of the object and the camera.
struct KeObjectViewerStep {
    bool rotate = false;      // keRotateObject (1, pitch, yaw, 0)
    bool moveCamera = false;  // kePositionCamera (0, 0, distance)
    bool setFrame = false;    // keSetObjectFrame (1, frame)
    float frame = 0.0f;
};

// The state the viewer starts from for an object of `radius` (0: 20) and `frames`.
KeObjectViewerState keObjectViewerStart(float radius, int frames, int mouseX, int mouseY, int wheel, int64_t clock);
// One frame: mouse drag, keys, wheel and animation applied to the state.
KeObjectViewerStep keObjectViewerFrame(KeObjectViewerState& state, const KeObjectViewerInput& input);

// Ends the viewer by itself, for automated runs: after `frames` rendered frames (0: never) or
// `ms` of engine clock (0: never), writing the last frame to `screenshot` when given. `onFrame`
// (when set) sees the state after every rendered frame and ends the viewer by answering false.
// Without limits set here the environment gives them: KOLM_VIEWER_FRAMES, KOLM_VIEWER_MS,
// KOLM_VIEWER_SCREENSHOT.
struct KeObjectViewerLimits {
    int frames = 0;
    int64_t ms = 0;
    const char* screenshot = nullptr;
    bool (*onFrame)(const KeObjectViewerState& state, void* user) = nullptr;
    void* user = nullptr;
};
void keObjectViewerSetLimits(const KeObjectViewerLimits& limits);
// Back to the limits of the environment.
void keObjectViewerClearLimits();

}  // namespace kolm
