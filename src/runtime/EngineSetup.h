// The record the engine starts with: settled by the setup step from the built-in defaults,
// "kolm-setup.ini", the setup dialog and the command line. Every integer field uses -1 for
// "not given"; the start-up then applies its own default.
#pragma once

#include <cstdint>
#include <string>

namespace kolm {

struct EngineSetup {
    std::string baseDir;  // the engine's base directory, with its trailing "/"; "" when none
    float cameraNear = 0.1f;
    float cameraFar = 1000.0f;
    int32_t width = -1;   // pixels; default 640
    int32_t height = -1;  // pixels; default 480
    int32_t bpp = -1;     // bits; default 32
    int32_t windowed = -1;  // full screen only when exactly 0
    int32_t windowX = -1;
    int32_t windowY = -1;
    int32_t vsync = -1;         // on when -1 or non-zero
    int32_t fps = -1;           // carried, not used by the start-up
    int32_t antialias = -1;     // on when -1 or non-zero
    int32_t lightPrePass = -1;  // on when -1 or non-zero
    int32_t hideMouse = -1;     // hidden only when set and non-zero
    int32_t shaders = -1;       // carried, not used by the start-up
    int32_t stereo = -1;        // -1 counts as 0
};

}  // namespace kolm
