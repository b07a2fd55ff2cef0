// Reading the command line: tool modes by argument count, options left to right, and the run
// mode chosen from the file name.
#pragma once

#include "app/KeRunOptions.h"

#include <string>
#include <vector>

namespace kolm {

// Tool modes, tested on the argument count before anything else.
enum class KeToolMode {
    None,     // interactive: options and a file
    Binary,   // "-binary [file]": scene viewer, convert only
    DemoExe,  // "-demoexe OUT SOURCE": pack into a copy of the executable
    DemoDat,  // "-demodat OUT SOURCE": pack into the copy's side file
    ExeRsc,   // "-exersc OUT": pack the engine's shader folders and textures
    PackageInfo,  // "--package-info FILE": list and verify a package
};

// Run modes chosen from the file name.
enum class KeRunMode {
    Unsupported,
    Demo,
    SceneViewer,
    ObjectViewer,
    Script,
};

constexpr float KE_DEFAULT_CAPTURE_FPS = 30.0f;

struct KeCommandLine {
    KeToolMode tool = KeToolMode::None;
    std::string toolOutput;  // DemoExe, DemoDat, ExeRsc
    std::string toolSource;  // DemoExe, DemoDat, PackageInfo
    std::string file;        // the file to open; empty when none was named
    RunOptions options;
    ScreenSetup screen;
    bool userLog = false;
    std::string captureBase;  // empty: no capture
    float captureFps = KE_DEFAULT_CAPTURE_FPS;
    // Capture range in frames: "-capfrom N" is the first frame written, "-capto N" the frame the
    // capture stops before (-1: the demo's end). "-capwav": the range's music as "<base>.wav".
    int captureFrom = 0;
    int captureTo = -1;
    bool captureWav = false;
};

// args: the arguments after the program name.
KeCommandLine keParseCommandLine(const std::vector<std::string>& args);

// "-extract" alone: the only command a packaged executable honours.
bool keIsExtractCommand(const std::vector<std::string>& args);

KeRunMode keRunModeFromFileName(const std::string& name);

// Capture rate as the demo player uses it: anything not finite and positive (0 included) means 30.
float keEffectiveCaptureFps(float fps);

}  // namespace kolm
