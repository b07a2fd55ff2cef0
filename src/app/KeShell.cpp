#include "app/KeShell.h"

#include "core/KeError.h"
#include "scene/KeScene.h"

namespace kolm {
namespace {

// Until the engine start-up is linked in, the setup step settles nothing and starts nothing:
// the modes behind it report that they are unavailable.
int setupUnavailable(const char*, const char*, const ScreenSetup&, bool) { return 0; }
void nothing() {}

int unavailable(const char* what) {
    reportError("%s is not available in this build", what);
    return -1;
}

int demoUnavailable(const char*) { return unavailable("Demo playback"); }
int captureUnavailable(const char*, const char*, float) { return unavailable("Demo capture"); }
// The "-binary" run needs no engine: it loads and checks the scene document only.
int viewerUnavailable(const char* file, const RunOptions& options) {
    if ((options.flags & KE_RUN_CONVERT_BINARY) && file && *file) {
        if (keSceneCheck(file) == 0) return 0;
        reportError("Failed to load scene");
        return -1;
    }
    return unavailable("The scene viewer");
}
int objectViewerUnavailable(const char*) { return unavailable("The object viewer"); }
int scriptUnavailable(const char*) { return unavailable("The script host"); }
bool notPackaged() { return false; }
int packagedUnavailable() { return unavailable("Packaged playback"); }
int extractUnavailable() { return unavailable("Package extraction"); }
int packUnavailable(const char*, const char*, bool) { return unavailable("Packaging"); }
int packRscUnavailable(const char*) { return unavailable("Packaging"); }

KeShellHooks builtIn() {
    KeShellHooks h;
    h.setup = &setupUnavailable;
    h.showRenderWindow = &nothing;
    h.shutdownEngine = &nothing;
    h.runDemo = &demoUnavailable;
    h.runDemoCapture = &captureUnavailable;
    h.runSceneViewer = &viewerUnavailable;
    h.runObjectViewer = &objectViewerUnavailable;
    h.runScript = &scriptUnavailable;
    h.isPackaged = &notPackaged;
    h.runPackaged = &packagedUnavailable;
    h.extractPackage = &extractUnavailable;
    h.packDemo = &packUnavailable;
    h.packEngineResources = &packRscUnavailable;
    return h;
}

KeShellHooks g_hooks = builtIn();

}  // namespace

KeShellHooks& keShellHooks() { return g_hooks; }
void keResetShellHooks() { g_hooks = builtIn(); }

}  // namespace kolm
