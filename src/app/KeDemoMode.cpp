#include "app/KeDemoMode.h"

#include "app/KeCommandLine.h"
#include "app/KeShell.h"
#include "app/KeSysInit.h"
#include "core/KeError.h"
#include "demo/KeDemoPlayer.h"
#include "platform/KePrivateXvfb.h"
#include "files/KeFileSystem.h"
#include "kf/kfile.h"
#include "package/KePackage.h"
#include "platform/KeProcess.h"

#include <sys/stat.h>

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
    const bool demo = keRunModeFromFileName(cl.file) == KeRunMode::Demo || keShellHooks().isPackaged();
    if (!cl.captureBase.empty() && demo && !keHasDisplay()) {
        std::string display;
        if (keStartPrivateXvfb(cmdline.width > 0 ? cmdline.width : 1280, cmdline.height > 0 ? cmdline.height : 1024,
                               &display)) {
            printMessage(KE_INFO, "No display: capturing on a private X server (Xvfb %s)", display.c_str());
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

// The archive of a packaged run: the file system reads it in place while the engine runs.
std::string g_archive;

// A packaged executable: its archive (resource 500, else the side ".dat" file) becomes the
// file system, and "kolm.demo.ini" plays, or else "kolm.kscn" is viewed. Beyond the plain
// packaged run, "-cap BASE" (with "-capfps", "-capfrom", "-capto", "-capwav") captures the
// packaged demo as it would the unpacked one.
int runPackaged() {
    const std::string exe = keGetExePath();
    if (!keIsPackagedExecutable(exe.c_str())) {
        reportError("Resources don't exist");
        return -1;
    }
    const std::string side = keSideFilePath(exe);
    struct stat st;
    const bool hasSide = ::stat(side.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    g_archive.clear();
    if (keLoadPackage(exe.c_str(), &g_archive) == 0) {
        if (keUseArchiveMemory(g_archive.data(), g_archive.size()) != 0) return -1;
    } else if (hasSide) {
        if (keUseArchiveFile(side.c_str()) != 0) return -1;
    } else {
        reportError("Failed to load resources from executable");
        return -1;
    }
    KeShellHooks& h = keShellHooks();
    const KeCommandLine cl = commandLine();
    int result = 0;
    // As the unpacked demo: the setup dialog may be asked (it answers its default in automated
    // runs), so that a capture of the package has the unpacked capture's screen.
    if (h.setup("kolm-setup.ini", "/", ScreenSetup(), true) != 0) {
        result = -1;
    } else {
        h.showRenderWindow();
        if (kfile_exists("kolm.demo.ini")) {
            result = cl.captureBase.empty() ? h.runDemo("kolm.demo.ini")
                                            : h.runDemoCapture("kolm.demo.ini", cl.captureBase.c_str(),
                                                               keEffectiveCaptureFps(cl.captureFps));
        } else if (kfile_exists("kolm.kscn")) {
            RunOptions none;
            none.flags = 0;
            result = h.runSceneViewer("kolm.kscn", none);
        }
        h.shutdownEngine();
    }
    g_archive.clear();
    g_archive.shrink_to_fit();
    return result;
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
    h.runPackaged = &runPackaged;
}

}  // namespace kolm
