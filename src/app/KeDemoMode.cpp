#include "app/KeDemoMode.h"

#include "app/KeCommandLine.h"
#include "app/KeShell.h"
#include "app/KeSysInit.h"
#include "core/KeError.h"
#include "demo/KeDemoPlayer.h"
#include "platform/KePrivateXvfb.h"
#include "platform/KeProcess.h"

#include <string>
#include <vector>

namespace kolm {
namespace {

using SetupHook = int (*)(const char*, const char*, const ScreenSetup&, bool);
SetupHook g_setup = nullptr;

KeCommandLine commandLine() {
    std::vector<std::string> args;
    char** argv = keGetArgv();
    for (int i = 1; argv && i < keGetArgc(); ++i) args.emplace_back(argv[i] ? argv[i] : "");
    return keParseCommandLine(args);
}

// A capture needs a window to render into, not a screen to show it on: without a display
// the engine starts on a private X server when Xvfb is installed.
int setupWithDisplay(const char* setupFile, const char* baseDir, const ScreenSetup& cmdline, bool allowDialog) {
    const KeCommandLine cl = commandLine();
    if (!cl.captureBase.empty() && keRunModeFromFileName(cl.file) == KeRunMode::Demo && !keHasDisplay()) {
        std::string display;
        if (keStartPrivateXvfb(cmdline.width > 0 ? cmdline.width : 1280, cmdline.height > 0 ? cmdline.height : 1024,
                               &display)) {
            logLine("No display: capturing on a private X server (Xvfb %s)", display.c_str());
        } else {
            printMessage(KE_WARN, "No display, and no X server could be started (is Xvfb installed?)");
        }
    }
    return g_setup ? g_setup(setupFile, baseDir, cmdline, allowDialog) : -1;
}

int runDemo(const char* file) { return kePlayDemo(file); }

int runDemoCapture(const char* file, const char* captureBase, float fps) {
    const KeCommandLine cl = commandLine();
    DemoCaptureOptions o;
    o.base = captureBase;
    o.fps = fps;
    o.from = cl.captureFrom;
    o.to = cl.captureTo;
    const std::string wav = std::string(captureBase) + ".wav";
    if (cl.captureWav) o.wavPath = wav.c_str();
    o.progress = true;
    return keCaptureDemo(file, o);
}

}  // namespace

void keInstallDemoMode() {
    KeShellHooks& h = keShellHooks();
    if (h.setup != &setupWithDisplay) {
        g_setup = h.setup;
        h.setup = &setupWithDisplay;
    }
    h.runDemo = &runDemo;
    h.runDemoCapture = &runDemoCapture;
}

}  // namespace kolm
