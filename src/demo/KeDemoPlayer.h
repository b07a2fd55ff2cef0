// Demo playback: loading a demo definition (scenes, timing rules, musics, camera shaders),
// playing it frame by frame in real time or capturing it at a fixed frame rate into numbered
// BMP files, and freeing it again.
//
// The player works through an IKeDemoBackend, so its schedule runs the same against the engine
// (kePlayDemo, keCaptureDemo) and against a recording twin in tests.
//
// Demo time b (ms): in real time the engine clock minus the origin, or, while a music plays and
// its heard position is known, the music's base plus that position (the base is the start of
// the part that started the music, moved along when a later part resets the time); in capture
// the frame's time k x 1000 / fps (truncated) minus the origin, so nothing but the frame index
// decides what a captured frame shows.
#pragma once

#include "demo/IKeDemoBackend.h"
#include "demo/KeDemoDefinition.h"

#include <cstdint>

namespace kolm {

struct DemoPlayState {
    int32_t origin = 0;     // clock ms of demo time 0; moved by parts with timeReset
    int32_t musicRef = 0;   // demo time (ms) at which the playing music's position 0 lies
    int32_t partIndex = -1;
    int32_t musicId = -1;
    int32_t paletteId = -1;
    int32_t sceneSlot = -1;
    int32_t finished = 0;
    // The fader whose fade overlay is on screen (part and fader index), -1 for none: only it
    // removes the overlay when its window ends.
    int32_t faderPart = -1, faderIndex = -1;
    int32_t lastTime = 0;  // demo time of the last frame (ms)
};

// Loads everything the demo at `path` needs, in this order: read, palettes,
// scenes with their extras, timing rules, musics, camera shaders), with loading frames. 0, or -1
// on failure or user abort; what was loaded stays in `def` for keDemoFree.
int keDemoLoad(DemoDefinition& def, const char* path, DemoIdAllocator& ids, IKeDemoBackend& backend);
// Releases the musics, the scenes of parts and extras, and the camera shaders.
void keDemoFree(DemoDefinition& def, IKeDemoBackend& backend);
// One frame at clock time `time` (ms), or -1 for the engine clock. 0, or non-zero on failure.
// Without `render` the frame does everything but draw (a capture runs the frames before its
// range so).
int keDemoFrame(DemoDefinition& def, DemoPlayState& state, int32_t time, IKeDemoBackend& backend, bool render = true);

struct DemoCaptureOptions {
    const char* base = nullptr;  // frames go to "<base>_%06d.bmp"; made absolute at start
    float fps = 30.0f;           // anything not finite and positive means 30
    int32_t from = 0;            // first frame written; the ones before are run but not drawn,
                                 // except the last one (the first written frame sees the same
                                 // last frame as in a whole capture)
    int32_t to = -1;             // frames from `to` on are not captured; -1: to the end
    const char* wavPath = nullptr;  // the music of the captured frames as a WAV file, or none
    bool progress = false;          // one progress line on the terminal, updated in place
};

// The frame time of capture frame k at `fps` (ms, truncated).
int32_t keDemoCaptureTime(int64_t frame, double fps);
// The clock time (ms) at which the demo ends: the last part's time, counted after the times of
// the parts that reset the time line.
int64_t keDemoEndClock(const DemoDefinition& def);

// Loads, prepares and plays the demo in real time. 0, or -1 when loading or a frame failed.
int keDemoPlayWith(const char* path, IKeDemoBackend& backend);
// Loads, prepares and captures the demo. 0, or -1 (loading, a frame or a file failed).
int keDemoCaptureWith(const char* path, const DemoCaptureOptions& options, IKeDemoBackend& backend);

// The same through the running engine.
int kePlayDemo(const char* path);
int keCaptureDemo(const char* path, const DemoCaptureOptions& options);

}  // namespace kolm
