#include "app/KeRunModes.h"

#include "runtime/KeEngine.h"
#include "runtime/KeLoadingScreen.h"
#include "core/KeError.h"
#include "app/KeSetup.h"
#include "app/KeShell.h"
#include "platform/KeWindow.h"
#include "script/KeCommandTable.h"
#include "script/KeScriptHost.h"

#include <cstdio>

namespace kolm {
namespace {

void showRenderWindow() {
    EngineContext& c = keEngineContext();
    if (!c.device || !c.driver) return;
    if (c.driver->getDriverType() == irr::video::EDT_OPENGL) {
        const irr::video::SExposedVideoData& v = c.driver->getExposedVideoData();
        keWindowShow(v.OpenGLLinux.X11Display, static_cast<unsigned long>(v.OpenGLLinux.X11Window), true);
    }
    c.device->restoreWindow();
}

void shutdownEngine() { keStopEngine(); }

// Until the demo player is part of this build, a demo goes as far as the engine allows: its
// first loading frame is shown (and captured as frame 0), then the mode reports that playback
// is missing.
int demoUntilPlayback(const char* captureBase) {
    keLoadingPrepare();
    if (captureBase) {
        char path[512];
        std::snprintf(path, sizeof path, "%s_%06d.bmp", captureBase, 0);
        keLoadingFrame(0, path);
    } else {
        keLoadingFrame(0);
    }
    keLoadingRelease();
    reportError("%s is not available in this build", captureBase ? "Demo capture" : "Demo playback");
    return -1;
}

int runDemo(const char*) { return demoUntilPlayback(nullptr); }
int runDemoCapture(const char*, const char* captureBase, float) { return demoUntilPlayback(captureBase); }

// The entry point reads the script from the disk (packaged scripts are not looked for).
int runScript(const char* file) { return keRunScript(file, false); }

bool scriptScreenModeDialog() {
    ScreenSetup setup;
    return keScreenModeDialog(&setup) == 0;
}

}  // namespace

void keInstallRunModes() {
    keInstallSetup();
    keSetEngineStartHook(&keStartEngine);
    KeShellHooks& h = keShellHooks();
    h.showRenderWindow = &showRenderWindow;
    h.shutdownEngine = &shutdownEngine;
    h.runDemo = &runDemo;
    h.runDemoCapture = &runDemoCapture;
    h.runScript = &runScript;
    KeScriptDialogs dialogs;
    dialogs.screenModeDialog = &scriptScreenModeDialog;
    dialogs.screenModeOption = &keScreenModeOption;
    keSetScriptDialogs(dialogs);
}

}  // namespace kolm
