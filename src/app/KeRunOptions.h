// Records the command line fills: options for the scene viewer, screen overrides and the
// capture settings of the demo player.
#pragma once

#include <cstdint>
#include <string>

namespace kolm {

// Bits of RunOptions::flags.
enum KeRunFlags : uint32_t {
    KE_RUN_STARTED = 0x01,          // started from the command line
    KE_RUN_CONVERT_BINARY = 0x02,   // "-binary": load the scene document and end
    KE_RUN_PAUSED = 0x04,
    KE_RUN_FRAME_START = 0x08,      // frameStart is valid
    KE_RUN_RIDE = 0x10,
    KE_RUN_MUSIC = 0x20,
    KE_RUN_SYNC_UPDATE = 0x40,
    KE_RUN_NO_IDLE_INACTIVE = 0x80,
};

struct RunOptions {
    uint32_t flags = KE_RUN_STARTED | KE_RUN_MUSIC;  // 0x21
    int32_t frameStart = 0;  // frames
    int32_t rideSpeed = 0;   // 0: the viewer's default
    int32_t rideOpts = 0;
};

// Twelve screen settings; -1 means "not given" and leaves the setup file's value in place.
struct ScreenSetup {
    int32_t width = -1;
    int32_t height = -1;
    int32_t windowed = -1;
    int32_t windowX = -1;
    int32_t windowY = -1;
    int32_t bpp = -1;
    int32_t vsync = -1;
    int32_t fps = -1;
    int32_t antialias = -1;
    int32_t shaders = -1;
    int32_t stereo = -1;
    int32_t centered = -1;
};

}  // namespace kolm
