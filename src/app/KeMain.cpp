#include "app/KeMain.h"

#include "app/KeCommandLine.h"
#include "app/KeRunModes.h"
#include "app/KeShell.h"
#include "app/KeSysInit.h"
#include "core/KeError.h"
#include "package/KePackage.h"
#include "platform/KeFileDialog.h"
#include "platform/KeMessageBox.h"

#include <cstdio>
#include <string>
#include <vector>

namespace kolm {
namespace {

const KeFileFilter kOpenFilters[] = {
    {"All supported", "*.kscn;*.x;*.demo.ini;*.lua;*.klua"},
    {"Kolm Scene (.kscn)", "*.kscn"},
    {"Kolm Demo (demo.ini)", "*.demo.ini"},
    {"DirectX Object(.x)", "*.x"},
    {"Lua script(.lua)", "*.lua;*.klua"},
    {"All", "*.*"},
};

// A dispatched mode that failed exits with 1 so that scripts and CI can see it; the
// entry's own failures (no file, unsupported type, setup) exit with -1 (255).
int modeResult(int result) { return result == 0 ? 0 : 1; }

int runPackagedMode() {
    KeShellHooks& h = keShellHooks();
    return modeResult(h.runPackaged());
}

}  // namespace

int keMain(int argc, char** argv) {
    if (keSysInit(argc, argv) != 0) {
        std::fputs("keSysInit Failed\n", stdout);
        std::fflush(stdout);
        return -1;
    }
    keInstallMessageBox();
    keInstallRunModes();
    KeShellHooks& hooks = keShellHooks();

    const std::vector<std::string> args(argv + 1, argv + argc);
    const KeCommandLine cl = keParseCommandLine(args);

    switch (cl.tool) {
    case KeToolMode::Binary:
        // The viewer asks with its own dialog when no file was given.
        return modeResult(hooks.runSceneViewer(cl.file.c_str(), cl.options));
    case KeToolMode::DemoExe:
    case KeToolMode::DemoDat:
        return modeResult(hooks.packDemo(cl.toolOutput.c_str(), cl.toolSource.c_str(),
                                         cl.tool == KeToolMode::DemoDat));
    case KeToolMode::ExeRsc:
        return modeResult(hooks.packEngineResources(cl.toolOutput.c_str()));
    case KeToolMode::PackageInfo:
        return modeResult(kePackageInfo(cl.toolSource.c_str()));
    case KeToolMode::None:
        break;
    }

    if (hooks.isPackaged()) {
        if (keIsExtractCommand(args)) return modeResult(hooks.extractPackage());
        return runPackagedMode();
    }

    if (cl.userLog) {
        setLogThreshold(KE_WARN);
        disableMessageBoxes();
    }

    std::string file = cl.file;
    if (file.empty()) {
        if (!keChooseFile("Open Kolm file", kOpenFilters, static_cast<int>(std::size(kOpenFilters)), &file)) {
            return -1;
        }
    }

    const KeRunMode mode = keRunModeFromFileName(file);
    if (mode == KeRunMode::Unsupported) {
        reportError("File format of '%s' is not supported", file.c_str());
        return -1;
    }

    if (mode != KeRunMode::Script) {
        if (hooks.setup("kolm-setup.ini", keGetExeDirectory(), cl.screen, mode == KeRunMode::Demo) != 0) {
            return -1;
        }
        hooks.showRenderWindow();
    }

    int result = 0;
    switch (mode) {
    case KeRunMode::Demo:
        if (!cl.captureBase.empty()) {
            result = hooks.runDemoCapture(file.c_str(), cl.captureBase.c_str(), keEffectiveCaptureFps(cl.captureFps));
        } else {
            result = hooks.runDemo(file.c_str());
        }
        break;
    case KeRunMode::SceneViewer:
        result = hooks.runSceneViewer(file.c_str(), cl.options);
        break;
    case KeRunMode::ObjectViewer:
        result = hooks.runObjectViewer(file.c_str());
        break;
    case KeRunMode::Script:
        // The script starts the engine with its Setup command and the host stops it.
        return modeResult(hooks.runScript(file.c_str()));
    case KeRunMode::Unsupported:
        break;
    }
    hooks.shutdownEngine();
    return modeResult(result);
}

}  // namespace kolm
