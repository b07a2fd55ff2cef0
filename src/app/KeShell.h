// The run modes the entry point dispatches to, as replaceable hooks. Each mode's module installs
// its own entry when it is linked in; a mode that is not available reports so and fails.
#pragma once

#include "app/KeRunOptions.h"

#include <string>

namespace kolm {

struct KeShellHooks {
    // Setup step: settle the screen settings and start the engine. 0 on success.
    int (*setup)(const char* setupFile, const char* baseDir, const ScreenSetup& cmdline, bool allowDialog);
    // Shows and restores the render window after a successful setup.
    void (*showRenderWindow)();
    void (*shutdownEngine)();

    int (*runDemo)(const char* file);
    int (*runDemoCapture)(const char* file, const char* captureBase, float fps);
    int (*runSceneViewer)(const char* file, const RunOptions& options);
    int (*runObjectViewer)(const char* file);
    int (*runScript)(const char* file);

    // Packaging. isPackaged: resource 500 or a side ".dat" file is present.
    bool (*isPackaged)();
    int (*runPackaged)();
    int (*extractPackage)();
    int (*packDemo)(const char* output, const char* source, bool sideFile);
    int (*packEngineResources)(const char* output);
};

// The hooks in use; modules overwrite their entries at start-up.
KeShellHooks& keShellHooks();

// Back to the built-in entries (tests).
void keResetShellHooks();

}  // namespace kolm
