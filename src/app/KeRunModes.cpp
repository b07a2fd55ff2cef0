#include "app/KeRunModes.h"

#include "api/KeEngine.h"
#include "app/KeSetup.h"
#include "app/KeShell.h"
#include "platform/KeWindow.h"

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

}  // namespace

void keInstallRunModes() {
    keInstallSetup();
    keSetEngineStartHook(&keStartEngine);
    KeShellHooks& h = keShellHooks();
    h.showRenderWindow = &showRenderWindow;
    h.shutdownEngine = &shutdownEngine;
}

}  // namespace kolm
