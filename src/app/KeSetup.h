// The setup step: settles the screen and camera settings from built-in defaults, the setup
// file ("kolm-setup.ini", section "Setup"), the setup dialog and the command line (weakest
// first), then hands the resulting EngineSetup to the engine start-up.
#pragma once

#include "app/KeEngineSetup.h"
#include "app/KeRunOptions.h"

namespace kolm {

class IKeDisplayModes;
class IKeSetupDialog;

// Settles the settings and starts the engine. `baseDir` (may be null) becomes the file
// system's base directory before the setup file is looked for; `cmdline` (may be null) holds
// the command-line overrides; `mayAsk` allows the setup dialog when there is no setup file.
// 0 on success, -1 when the dialog was cancelled or the start-up failed.
int keSetup(const char* setupFile, const char* baseDir, const ScreenSetup* cmdline, bool mayAsk);

// keSetup without the start-up: fills `out`. 0, or -1 when the dialog was cancelled.
int keSettleSetup(const char* setupFile, const char* baseDir, const ScreenSetup* cmdline, bool mayAsk,
                  EngineSetup* out);

// The engine start-up that keSetup calls with the settled record; 0 on success. Null puts
// back the default, which reports that the start-up is not available and fails.
using KeEngineStartHook = int (*)(const EngineSetup& setup);
void keSetEngineStartHook(KeEngineStartHook hook);

// The setup dialog: fills `width`, `height`, `bpp` and `windowed` from the user's choice,
// `vsync` = 1, `fps`, `antialias`, `shaders`, `stereo` = -1 and `centered` = 0; `windowX` and
// `windowY` stay as they were. Start with no mode selected leaves width, height and bpp at -1
// (the start-up defaults). 0 when the user pressed Start (the record also becomes the last
// dialog result), -1 otherwise.
int keScreenModeDialog(ScreenSetup* setup);

// One value of the last dialog result by name, without regard to case: "width", "height",
// "windowed", "bpp", "vsync", "fps", "antialias", "shaders", "stereo", "centered". All zero
// before the first dialog; -1 for no name or any other name.
int keScreenModeOption(const char* name);

// The warning the dialog shows when the shader compiler cannot be loaded. The compiler is
// linked in, so nothing is ever missing: always null.
const char* keMissingLibraries();

// Where the dialog and the display modes come from. Null puts back the X11 ones (which never
// block an automated run). Tests choose the null twins.
void keSetSetupBackends(IKeSetupDialog* dialog, IKeDisplayModes* modes);

// The shell's setup entry (same contract as keSetup) and its installation into the shell.
int keSetupStep(const char* setupFile, const char* baseDir, const ScreenSetup& cmdline, bool mayAsk);
void keInstallSetup();

// Back to the initial state (tests): no last dialog result, default hook and back ends.
void keResetSetup();

}  // namespace kolm
