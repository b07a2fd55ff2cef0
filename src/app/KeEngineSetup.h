// The record with which the engine starts. Every integer field uses -1 for "not given"; the
// start-up then applies its own default (640 x 480 x 32, windowed, vsync, anti-aliasing and
// the light pre-pass renderer on, stereo off, mouse shown).
#pragma once

#include <string>

namespace kolm {

struct EngineSetup {
    std::string baseDir;         // the engine's base directory, with its trailing "/"; "" when none
    float cameraNear = 0.1f;     // world units
    float cameraFar = 1000.0f;   // world units
    int width = -1;              // pixels
    int height = -1;             // pixels
    int bpp = -1;                // bits per pixel
    int windowed = -1;           // 0: full screen, anything else windowed
    int windowX = -1;            // pixels
    int windowY = -1;
    int vsync = -1;
    int fps = -1;                // carried, not used by the start-up
    int antialias = -1;
    int lightPrePass = -1;
    int hideMouse = -1;
    int shaders = -1;            // carried, not used by the start-up
    int stereo = -1;             // stereo mode number
};

}  // namespace kolm
