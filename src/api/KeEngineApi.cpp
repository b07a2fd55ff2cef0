#include "api/KeEngineApi.h"

#include "api/KeCameraApi.h"
#include "api/KeCameraEffectApi.h"
#include "api/KeDrawApi.h"
#include "api/KeEffectApi.h"
#include "api/KeFxEmitterApi.h"
#include "api/KeLightApi.h"
#include "api/KeObjectApi.h"
#include "render/IKeRenderer.h"
#include "runtime/EngineSetup.h"
#include "runtime/KeEngine.h"

namespace kolm {

int keScriptSetup(int width, int height, int bpp, int windowed) {
    keTerm();
    EngineSetup setup;
    setup.cameraNear = 0.1f;
    setup.cameraFar = 1000.0f;
    setup.stereo = 0;
    setup.width = width;
    setup.height = height;
    setup.bpp = bpp;
    setup.windowed = windowed;
    if (keStartEngine(setup) != 0) return -1;
    keResetRenderSettings();  // a fresh renderer starts with every post effect off
    kePositionCamera(0, 0, -5);
    keMakeLight(0);
    keSetDirectionalLight(0, 0, 0, 0);
    keColorAmbientLight(0x050505);
    keColorBackdrop(0x001122);
    return 0;
}

int keTerm() {
    if (!keIsStarted()) return 0;
    // Camera effects first: they empty the shown list before their effects go.
    keDeleteAllCameraEffects();
    keDeleteAllEffects();
    keDeleteAllFxEmitters();
    keDeleteAllObjects();
    keDeleteAllLights();
    keStopFade();
    keResetRenderSettings();
    return keStopEngine();
}

bool keIsSetup() { return keIsStarted(); }

int keRenderSetDebug(int mode) {
    IKeRenderer* renderer = keCurrentRenderer();
    if (!renderer) return -1;
    renderer->setDebug(mode);
    return 0;
}

}  // namespace kolm
