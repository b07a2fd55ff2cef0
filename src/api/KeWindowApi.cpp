#include "api/KeWindowApi.h"

#include "platform/KeWindow.h"
#include "runtime/KeEngine.h"

namespace kolm {

using namespace irr;

namespace {

IrrlichtDevice* device() {
    const EngineContext& engine = keEngineContext();
    return engine.started ? engine.device : nullptr;
}

// Shows or hides the render window (only an X11 window can be).
int showWindow(bool show) {
    const EngineContext& engine = keEngineContext();
    if (!engine.started || !engine.driver || engine.driver->getDriverType() != video::EDT_OPENGL) return 0;
    const video::SExposedVideoData& data = engine.driver->getExposedVideoData();
    keWindowShow(data.OpenGLLinux.X11Display, static_cast<unsigned long>(data.OpenGLLinux.X11Window), show);
    return 0;
}

}  // namespace

int keHideWindow() { return showWindow(false); }
int keShowWindow() { return showWindow(true); }

int keMaximizeWindow() {
    if (IrrlichtDevice* d = device()) d->maximizeWindow();
    return 0;
}

int keMinimizeWindow() {
    if (IrrlichtDevice* d = device()) d->minimizeWindow();
    return 0;
}

int keRestoreWindow() {
    if (IrrlichtDevice* d = device()) d->restoreWindow();
    return 0;
}

bool keIsWindowActive() {
    IrrlichtDevice* d = device();
    return d && d->isWindowActive();
}

bool keWindowMode() {
    IrrlichtDevice* d = device();
    return d && d->isFullscreen();
}

int keScreenWidth() {
    IrrlichtDevice* d = device();
    return d ? static_cast<int>(d->getVideoDriver()->getScreenSize().Width) : 0;
}

int keScreenHeight() {
    IrrlichtDevice* d = device();
    return d ? static_cast<int>(d->getVideoDriver()->getScreenSize().Height) : 0;
}

int keColourFormatDepth(int format) {
    switch (format) {
    case video::ECF_A1R5G5B5:
    case video::ECF_R5G6B5:
        return 16;
    case video::ECF_R8G8B8:
        return 24;
    default:
        // 32-bit formats, and the floating-point ones, which a screen does not have.
        return 32;
    }
}

int keScreenDepth() {
    IrrlichtDevice* d = device();
    return d ? keColourFormatDepth(d->getVideoDriver()->getColorFormat()) : 0;
}

}  // namespace kolm
