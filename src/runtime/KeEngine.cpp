// Contents: state; device creation; system initialisation; start and stop; frames; clock;
// screenshots.
#include "runtime/KeEngine.h"

#include "runtime/KeLoadingScreen.h"
#include "music/KeMusicSystem.h"
#include "core/KeBmp.h"
#include "core/KeError.h"
#include "runtime/CKeManager.h"
#include "fx/IKeEffectManager.h"
#include "fx/KeEffectBindContext.h"
#include "render/CKeLastFrameInfo.h"
#include "render/IKeRendererManager.h"
#include "engine/IKeResourceManager.h"
#include "files/KeFileSystem.h"
#include "fx/IKeGPUProgrammingServices.h"
#include "platform/KeMessageBox.h"
#include "gl/KeFrameCopy.h"
#include "gl/KeScreenGrab.h"
#include "gl/KeSwapControl.h"
#include "platform/KeWindow.h"
#include "render/IKeRenderer.h"
#include "render/IKeRendererLpp.h"
#include "render/KeLppSettings.h"
#include "engine/CKeSceneNodeAnimatorCamera.h"

#include <cstring>
#include <strings.h>
#include <string>
#include <vector>

namespace kolm {

using namespace irr;

// ---------------------------------------------------------------------------------------------
// State

namespace {

EngineContext g_ctx;
MyEventReceiver g_receiver;
bool g_engineStarted = false;  // the whole start-up, music included, succeeded
uint32_t g_backdrop = 0;       // 0xRRGGBB
bool g_inRendering = false;
bool g_deviceWasReset = false;      // never set on OpenGL; kept so the rule lives in one place
bool g_renderedOffscreen = false;
bool g_renderWithUsed = false;
video::ITexture* g_dummyTarget = nullptr;
IKeRenderer* g_renderer = nullptr;
IKeManager* g_manager = nullptr;
KeFrameCopy g_frameCopy;  // the frame last presented, for screenshots and capture
bool g_clockStarted = false;   // the clock was read since the device was made
uint32_t g_clockOrigin = 0;    // device timer at that first reading, ms
KeEngineTimerSource g_timerSource = nullptr;  // test seam; nullptr: the device timer
void* g_timerUser = nullptr;
uint32_t g_frameIndex = 0;         // frames rendered by keSync since start-up
bool g_hasFixedFrameTime = false;  // keSetFrameTime chose the frame time
int64_t g_fixedFrameTimeMs = 0;
video::E_DRIVER_TYPE g_driverType = video::EDT_OPENGL;
IKeEffect* const* g_shownCameraEffects = nullptr;  // borrowed from the camera effect commands
u32 g_shownCameraEffectCount = 0;
Ke2DLayerHook g_2dLayer = nullptr;  // installed by the object API's 2D layer

void run2DLayer(Ke2DStep step) {
    if (g_2dLayer) g_2dLayer(step);
}

ELOG_LEVEL libraryLogLevel(int threshold) {
    switch (threshold) {
    case KE_DEBUG: return ELL_DEBUG;
    case KE_INFO: return ELL_INFORMATION;
    case KE_WARN: return ELL_WARNING;
    case KE_ERROR: return ELL_ERROR;
    default: return ELL_NONE;
    }
}

video::SColor backdropColor() { return video::SColor(0xFF000000u | (g_backdrop & 0xFFFFFFu)); }
// The colour the renderer clears its scene with: the backdrop with alpha 0, since the light
// pre-pass renderer's scene alpha is the glow mask (surfaces write their glow value) and the
// backdrop does not glow. Frames to the screen and cube maps clear with it.
video::SColor sceneClearColor() { return video::SColor(g_backdrop & 0xFFFFFFu); }

void* x11Display() {
    if (!g_ctx.driver || g_ctx.driver->getDriverType() != video::EDT_OPENGL) return nullptr;
    return g_ctx.driver->getExposedVideoData().OpenGLLinux.X11Display;
}

unsigned long x11Window() {
    if (!g_ctx.driver || g_ctx.driver->getDriverType() != video::EDT_OPENGL) return 0;
    return static_cast<unsigned long>(g_ctx.driver->getExposedVideoData().OpenGLLinux.X11Window);
}

// Releases what system initialisation and device creation made, newest first.
void releaseDevice() {
    // Fonts, faders and images of the 2D layer belong to this device's GUI and driver.
    if (g_ctx.device) run2DLayer(Ke2DStep::Shutdown);
    keLoadingRelease();
    g_frameCopy.release();
    if (g_renderer) {
        g_renderer->drop();
        g_renderer = nullptr;
    }
    if (g_manager) {
        g_manager->drop();
        g_manager = nullptr;
    }
    g_dummyTarget = nullptr;  // owned by the driver
    keSetMessageBoxRenderWindow(nullptr, 0);
    if (g_ctx.device) {
        keReleaseFilesystem();
        g_ctx.device->closeDevice();
        g_ctx.device->run();
        g_ctx.device->drop();
    }
    keFreeEngineIdTables(g_ctx.idLists);
    g_ctx = EngineContext{};
    g_inRendering = false;
    g_clockStarted = false;  // the next device's clock starts at 0 again
    g_receiver.setRecording(false);
    g_shownCameraEffects = nullptr;
    g_shownCameraEffectCount = 0;
}

// ---------------------------------------------------------------------------------------------
// System initialisation: the engine layer on top of the device.

// The base directory joined with a folder name: "/" between them unless the base directory is
// empty or already ends with one.
std::string underBaseDir(const char* folder) {
    std::string path = keGetBaseDir() ? keGetBaseDir() : "";
    if (!path.empty() && path.back() != '/') path += '/';
    return path + folder;
}

const char* initCurlNoise() {
    IKeResourceManager* resources = g_manager->getResourceManager();
    if (!resources) return nullptr;
    const std::string cache = underBaseDir("curlNoise3D.cache");
    irr::io::IFileSystem* fs = g_ctx.device->getFileSystem();
    if (fs->existFile(cache.c_str())) {
        return resources->loadNoiseVolume(cache.c_str()) ? nullptr : "fails to init curl noise from file cache";
    }
    const char* volume = keFindFile("NoiseVolume.dds");
    if (fs->existFile(volume)) {
        if (!resources->buildNoiseVolume(volume)) return "fails to init curl noise";
    } else {
        // Without the noise picture the volume is computed; the cache keeps later starts quick.
        if (!resources->generateNoiseVolume()) return "fails to init curl noise";
    }
    if (!keIsPackaged() && !resources->saveNoiseVolume(cache.c_str())) {
        printMessage(KE_ERROR, "failed to save %s", cache.c_str());
    }
    return nullptr;
}

const char* initSystem(const EngineSetup& setup) {
    (void)setup;
    // The shader compiler is linked in: there are no libraries to load.
    g_manager = createKeManager(g_ctx.device);
    if (!g_manager) return "fails to createKeManager";

    if (IKeGPUProgrammingServices* gpu = g_manager->getGPUProgrammingServices()) {
        const std::string cache = underBaseDir("shadersCache");
        gpu->setShaderCache(cache.c_str(), keIsPackaged() ? KE_SHADER_CACHE_READ
                                                          : KE_SHADER_CACHE_READ | KE_SHADER_CACHE_CHECK | KE_SHADER_CACHE_WRITE);
    }
    // OpenGL never loses its device: there are no reset callbacks to register.

    video::IVideoDriver* driver = g_ctx.driver;
    g_dummyTarget = driver->addRenderTargetTexture(core::dimension2d<u32>(32, 32), "DummyRenderTarget", video::ECF_A8R8G8B8);
    // The light pre-pass renderer when it is asked for and the driver can run it (OpenGL with
    // framebuffer objects, two targets at once and GLSL); the simple renderer otherwise. A light
    // pre-pass renderer that fails to start fails the start-up: there is no fallback.
    if (IKeRendererManager* renderers = g_manager->getRendererManager()) {
        if (g_ctx.lightPrePass && keSupportsLightPrePass(driver)) {
            RendererLppParams params;
            params.colorFormat = video::ECF_A16B16G16R16F;
            params.smaa = g_ctx.antialias != 0;
            for (u32 i = 0; i < RendererLppParams::kFileCount; ++i) {
                core::stringc* file = params.file(i);
                *file = keFindFile(file->c_str());
            }
            g_renderer = renderers->createLppRenderer(&params);
        } else {
            g_renderer = renderers->createSimpleRenderer();
        }
    }
    if (!g_renderer) return "fails to init render";

    return initCurlNoise();
}

// ---------------------------------------------------------------------------------------------
// Device creation

const char* createDevice(const EngineSetup& s) {
    g_ctx = EngineContext{};
    g_ctx.screenWidth = s.width > 0 ? s.width : 640;
    g_ctx.screenHeight = s.height > 0 ? s.height : 480;
    g_ctx.bpp = s.bpp > 0 ? s.bpp : 32;
    g_ctx.antialias = (s.antialias == -1 || s.antialias != 0) ? 1 : 0;
    g_ctx.stereo = s.stereo == -1 ? 0 : s.stereo;
    g_ctx.lightPrePass = (s.lightPrePass == -1 || s.lightPrePass != 0) ? 1 : 0;

    SIrrlichtCreationParameters p;
    p.DeviceType = EIDT_BEST;
    p.DriverType = g_driverType;
    p.WindowSize = core::dimension2d<u32>(static_cast<u32>(g_ctx.screenWidth), static_cast<u32>(g_ctx.screenHeight));
    p.Bits = static_cast<u8>(g_ctx.bpp);
    p.ZBufferBits = 16;
    p.Fullscreen = s.windowed == 0;
    p.Stencilbuffer = true;
    // Vertical sync is set once the context exists (below), not by the library: on X servers
    // whose GLX lacks client-side swap control (Xvfb) the library's request raises an X error.
    const bool vsync = s.vsync == -1 || s.vsync != 0;
    p.Vsync = g_driverType == video::EDT_OPENGL ? false : vsync;
    p.AntiAlias = (g_ctx.antialias && !g_ctx.lightPrePass) ? 4 : 0;
    p.Doublebuffer = true;
    p.UsePerformanceTimer = true;
    p.EventReceiver = &g_receiver;
    p.LoggingLevel = libraryLogLevel(getLogThreshold());

    g_receiver.reset();
    g_receiver.setRecording(false);
    if (g_driverType == video::EDT_OPENGL) keInstallXErrorHandler();
    g_ctx.device = createDeviceEx(p);
    if (!g_ctx.device) return "fails to createDevice";
    g_ctx.device->setWindowCaption(L"Kolm");
    if (g_driverType == video::EDT_OPENGL) keGlSetSwapInterval(vsync ? 1 : 0);

    g_ctx.driver = g_ctx.device->getVideoDriver();
    if (!g_ctx.driver) return "fails to getVideoDriver";
    // A packaged run whose archive does not mount again must stop here (the file layer has
    // reported why), not carry on with no files.
    if (keInitFilesystem(g_ctx.device) != 0) return "fails to setup the file system";
    if (void* dpy = x11Display()) {
        keWindowSetIcon(dpy, x11Window());
        if (s.windowed != 0 && s.windowX != -1 && s.windowY != -1) keWindowMove(dpy, x11Window(), s.windowX, s.windowY);
        keSetMessageBoxRenderWindow(dpy, x11Window());
    }
    g_ctx.driver->setTextureCreationFlag(video::ETCF_ALWAYS_32_BIT, true);

    g_ctx.sceneManager = g_ctx.device->getSceneManager();
    if (!g_ctx.sceneManager) return "fails to getSceneManager";
    g_ctx.gui = g_ctx.device->getGUIEnvironment();
    if (!g_ctx.gui) return "fails to getGUIEnvironment";
    g_ctx.defaultFont = g_ctx.gui->getBuiltInFont();

    g_ctx.camera = g_ctx.sceneManager->addCameraSceneNode(nullptr, core::vector3df(0, 0, 0), core::vector3df(0, 0, 100), -1, true);
    if (!g_ctx.camera) return "fails to create camera";
    {
        // Mode 2: the camera follows the positions and rotations it is given.
        auto* fly = new CKeSceneNodeAnimatorCamera(g_ctx.device, g_ctx.device->getCursorControl(), 100.0f, 0.01f);
        g_ctx.camera->addAnimator(fly);
        fly->setMode(2);
        g_ctx.cameraAnimator = fly;  // the camera holds the reference
        fly->drop();
    }

    g_ctx.sceneManager->getParameters()->setAttribute(scene::ALLOW_ZWRITE_ON_TRANSPARENT, true);
    run2DLayer(Ke2DStep::Discard);

    if (const char* reason = initSystem(s)) return reason;

    if (const char* reason = keCreateEngineIdTables(g_ctx.idLists)) return reason;

    g_ctx.started = 1;
    g_receiver.setRecording(true);
    return nullptr;
}

}  // namespace

EngineContext& keEngineContext() { return g_ctx; }
MyEventReceiver& keEventReceiver() { return g_receiver; }
IKeRenderer* keCurrentRenderer() { return g_renderer; }
IKeManager* keEngineManager() { return g_manager; }
void keSetEngineDriverType(video::E_DRIVER_TYPE type) { g_driverType = type; }
void keSet2DLayerHook(Ke2DLayerHook hook) { g_2dLayer = hook; }
void keSetBackdropColor(uint32_t rgb) { g_backdrop = rgb & 0xFFFFFFu; }
uint32_t keGetBackdropColor() { return g_backdrop; }
bool keIsStarted() { return g_engineStarted; }

// ---------------------------------------------------------------------------------------------
// Start and stop

int keStartEngine(const EngineSetup& setup) {
    if (g_engineStarted) keStopEngine();
    if (!setup.baseDir.empty()) keSetBaseDir(setup.baseDir.c_str());

    if (const char* reason = createDevice(setup)) {
        releaseDevice();
        recordErrorBox(-1, "Setup failed: %s", reason);
        return -1;
    }
    g_backdrop = 0;
    g_frameIndex = 0;
    g_hasFixedFrameTime = false;
    if (setup.hideMouse != -1 && setup.hideMouse != 0) g_ctx.device->getCursorControl()->setVisible(false);
    keSetCameraRange(setup.cameraNear, setup.cameraFar);

    if (keMusicSystemStart() != 0) {
        // Roll everything back so that a second start does not find a device left over.
        releaseDevice();
        recordErrorBox(-1, "Failed to setup music replay");
        return -1;
    }
    g_engineStarted = true;
    return 0;
}

int keStopEngine() {
    if (!g_engineStarted) return 0;
    keMusicSystemStop();
    releaseDevice();
    g_engineStarted = false;
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Frames

bool keRun() { return g_ctx.device && g_ctx.device->run(); }

namespace {

// Begins the frame unless it is begun, then binds the target (null: the back buffer stays),
// cleared with the backdrop colour when asked, also inside a frame that keRenderWith began.
bool beginScene(bool clear, video::ITexture* target) {
    if (!g_inRendering) {
        if (!g_ctx.driver->beginScene(false, false, backdropColor())) return false;
        g_inRendering = true;
    }
    return !target || g_ctx.driver->setRenderTarget(target, clear, clear, backdropColor());
}

// What the next frame's motion binds read of this one: the renderer manager's last-frame
// information (the frame's view and projection, the rate over the last frames), handed on to the
// effects' bind context.
void recordLastFrame() {
    IKeRendererManager* renderers = g_manager ? g_manager->getRendererManager() : nullptr;
    CKeLastFrameInfo* info = renderers ? renderers->getLastFrameInfo() : nullptr;
    if (!info) return;
    // The frame was drawn with the engine camera: its matrices are the driver's view and
    // projection of the frame on OpenGL, and still there on drivers that keep no transforms.
    if (g_ctx.camera && g_ctx.device)
        info->record(g_ctx.device->getTimer()->getTime(), g_ctx.camera->getViewMatrix(),
                     g_ctx.camera->getProjectionMatrix());
    else
        info->update();
    IKeEffectManager* effects = g_manager->getEffectManager();
    if (!effects) return;
    KeLastFrameInfo& last = effects->getBindContext().lastFrame;
    last.view = *info->getView();
    last.projection = *info->getProjection();
    last.fps = info->getFps();
}

// The frame the renderer is handed: the engine camera at the frame time, into `target`.
KeFrameContext frameContext(video::ITexture* target) {
    KeFrameContext frame;
    // Without a chosen time the frame shows the library's own clock, which its animators
    // started from (reading the engine clock here would take its first reading).
    frame.timeMs = g_hasFixedFrameTime ? static_cast<u32>(g_fixedFrameTimeMs) : g_ctx.device->getTimer()->getTime();
    frame.frameIndex = g_frameIndex;
    frame.camera = g_ctx.camera;
    frame.target = target;
    if (!target) {
        frame.cameraEffects = g_shownCameraEffects;
        frame.cameraEffectCount = g_shownCameraEffectCount;
    }
    return frame;
}

void renderFrame() {
    if (g_renderer) {
        g_renderer->setClearColor(sceneClearColor());
        g_renderer->render(frameContext(nullptr));
    }
    ++g_frameIndex;
    g_ctx.gui->drawAll();
    run2DLayer(Ke2DStep::Draw);
}

}  // namespace

int keSync() {
    if (!g_ctx.device) return -1;
    if (g_ctx.device->isWindowMinimized()) {
        run2DLayer(Ke2DStep::Discard);
        g_ctx.device->yield();
        return 0;
    }
    if (g_deviceWasReset && g_renderedOffscreen) {
        recordErrorBox(-1, "Graphic Device lost, cannot re-create rendered textures, exiting");
        std::exit(0);
    }
    if (!beginScene(false, nullptr)) {
        printMessage(KE_WARN, "beginScene failed");
        run2DLayer(Ke2DStep::Discard);
        return -1;
    }
    renderFrame();
    if (!g_inRendering) {
        printMessage(KE_WARN, "endRendering called while not in Rendering");
    } else {
        g_inRendering = false;
        if (!kePresentFrame()) printMessage(KE_WARN, "endScene failed");
        recordLastFrame();
    }
    return 0;
}

bool kePresentFrame() {
    if (!g_ctx.driver) return false;
    if (g_ctx.driver->getDriverType() == video::EDT_OPENGL) {
        // The library's end of scene swaps the buffers: copy the frame on the GPU first.
        const core::dimension2d<u32> size = g_ctx.driver->getScreenSize();
        if (!g_frameCopy.capture(static_cast<int>(size.Width), static_cast<int>(size.Height))) g_frameCopy.release();
    }
    return g_ctx.driver->endScene();
}

int keRenderDummy() { return g_dummyTarget ? keRenderToTexture(g_dummyTarget, true) : -1; }

int keRenderToTexture(video::ITexture* target, bool clear) {
    if (!g_ctx.device || !target) return -1;
    if (g_ctx.device->isWindowMinimized()) {
        run2DLayer(Ke2DStep::Discard);
        g_ctx.device->yield();
        return 0;
    }
    const bool frameBegun = g_inRendering;
    if (!beginScene(clear, target)) {
        g_ctx.driver->setRenderTarget(nullptr, false, false);
        g_inRendering = frameBegun;
        printMessage(KE_WARN, "beginScene failed");
        run2DLayer(Ke2DStep::Discard);
        return -1;
    }
    if (g_renderer) {
        // Images keep an opaque backdrop.
        g_renderer->setClearColor(backdropColor());
        g_renderer->render(frameContext(target));
    }
    g_ctx.gui->drawAll();
    run2DLayer(Ke2DStep::Draw);
    g_ctx.driver->setRenderTarget(nullptr, false, false);
    // Not presented: the library's end of scene would swap the buffers and show an undrawn
    // back buffer. A frame that keRenderWith began stays begun for keSync to end.
    g_inRendering = frameBegun;
    return 0;
}

int keRenderWith(IKeRenderWithDrawer* drawer) {
    if (!g_renderWithUsed) {
        g_deviceWasReset = false;
        g_renderWithUsed = true;
    }
    if (!g_ctx.device || !drawer || g_ctx.device->isWindowMinimized()) return -1;
    if (!beginScene(false, nullptr)) return -1;
    if (g_renderer) g_renderer->setClearColor(sceneClearColor());
    // Cube maps are drawn with the render settings of the frame but without glow, light
    // streaks and gamma; the settings are the frame's again afterwards.
    auto* lpp = dynamic_cast<IKeRendererLpp*>(g_renderer);
    LppPostSettings kept;
    if (lpp) {
        LppPostSettings& post = *lpp->getPostSettings();
        kept = post;
        post.glowEnabled = false;
        post.streakEnabled = false;
        post.gammaEnabled = false;
    }
    drawer->draw(g_renderer);
    if (lpp) *lpp->getPostSettings() = kept;
    g_ctx.driver->setRenderTarget(nullptr, false, false);
    g_renderedOffscreen = true;
    return 0;
}

void keSetShownCameraEffects(IKeEffect* const* effects, u32 count) {
    g_shownCameraEffects = count ? effects : nullptr;
    g_shownCameraEffectCount = effects ? count : 0;
}

void keSetCameraRange(float nearPlane, float farPlane) {
    if (!g_ctx.camera) return;
    // Equal planes, a near plane at or behind the eye, or near beyond far: the defaults.
    if (nearPlane == farPlane || !(nearPlane > 0.0f) || !(nearPlane < farPlane)) {
        nearPlane = 0.1f;
        farPlane = 1000.0f;
    }
    g_ctx.camera->setNearValue(nearPlane);
    g_ctx.camera->setFarValue(farPlane);
}

// ---------------------------------------------------------------------------------------------
// Clock

void keSetFrameTime(int64_t ms) {
    g_hasFixedFrameTime = ms >= 0;
    g_fixedFrameTimeMs = ms >= 0 ? ms : 0;
}

uint32_t keFrameIndex() { return g_frameIndex; }

int64_t keTimer() {
    if (!g_ctx.device) return 0;
    const uint32_t now = g_timerSource ? g_timerSource(g_timerUser) : g_ctx.device->getTimer()->getRealTime();
    if (!g_clockStarted) {
        g_clockOrigin = now;
        g_clockStarted = true;
    }
    // The device timer is 32 bits of ms and wraps after about 49.7 days: the difference taken
    // in 32 bits stays right across the wrap.
    return static_cast<uint32_t>(now - g_clockOrigin);
}

void keSetEngineTimerSource(KeEngineTimerSource source, void* user) {
    g_timerSource = source;
    g_timerUser = user;
}

void keSleep(int32_t milliseconds) {
    if (g_ctx.device && milliseconds > 0) g_ctx.device->sleep(static_cast<u32>(milliseconds), false);
}

// ---------------------------------------------------------------------------------------------
// Screenshots

int keScreenShot(const char* path) {
    if (!g_ctx.driver || !path) {
        recordError(1, "failed to grab the screen\n");
        return -1;
    }
    // The frame last presented; before the first one, whatever the back buffer holds.
    const bool presented = g_ctx.driver->getDriverType() == video::EDT_OPENGL && g_frameCopy.current();
    const core::dimension2d<u32> size =
        presented ? core::dimension2d<u32>(static_cast<u32>(g_frameCopy.width()), static_cast<u32>(g_frameCopy.height()))
                  : g_ctx.driver->getScreenSize();
    const int w = static_cast<int>(size.Width), h = static_cast<int>(size.Height);
    // The pixels and the file image live in buffers kept from shot to shot: a capture writes
    // every frame without allocating.
    static std::vector<u8> rgb, fileImage;
    rgb.resize(static_cast<size_t>(w) * h * 3);
    bool grabbed = false;
    if (presented) {
        grabbed = g_frameCopy.read(rgb.data());
    } else if (g_ctx.driver->getDriverType() == video::EDT_OPENGL) {
        grabbed = keReadBackBufferRGB(w, h, rgb.data());
    } else if (video::IImage* shot = g_ctx.driver->createScreenShot(video::ECF_R8G8B8)) {
        shot->copyToScaling(rgb.data(), size.Width, size.Height, video::ECF_R8G8B8);
        shot->drop();
        grabbed = true;
    }
    if (!grabbed) {
        recordError(1, "failed to grab the screen\n");
        return -1;
    }
    // BMP is written by our own writer: the library's writes 24-bit images with red and blue
    // exchanged. Other extensions go to the library's writer of that extension.
    const char* dot = std::strrchr(path, '.');
    bool ok = false;
    if (dot && strcasecmp(dot, ".bmp") == 0) {
        ok = keWriteBmp24(path, w, h, rgb.data(), &fileImage);
    } else if (video::IImage* image = g_ctx.driver->createImageFromData(video::ECF_R8G8B8, size, rgb.data(), false, true)) {
        ok = g_ctx.driver->writeImageToFile(image, path);
        image->drop();
    }
    if (!ok) {
        recordError(1, "failed to save screenshot to file '%s'\n", path);
        return -1;
    }
    return 0;
}

}  // namespace kolm
