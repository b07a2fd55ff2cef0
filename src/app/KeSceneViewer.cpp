#include "app/KeSceneViewer.h"

#include "api/KeCameraApi.h"
#include "api/KeDrawApi.h"
#include "api/KeEngineApi.h"
#include "api/KeMusicApi.h"
#include "api/KeObjectApi.h"
#include "app/KeSceneViewerReload.h"
#include "app/KeSceneViewerTimeline.h"
#include "core/KeError.h"
#include "engine/IKeManager.h"
#include "files/KeFilePaths.h"
#include "files/KeFileSystem.h"
#include "files/KeWatch.h"
#include "platform/KeFileDialog.h"
#include "platform/KeFileStamp.h"
#include "platform/KeViewerWindow.h"
#include "runtime/KeEngine.h"
#include "runtime/KeLoadingScreen.h"
#include "runtime/KeShaderHotUpdate.h"
#include "scene/KeScene.h"

#include <irrlicht.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace kolm {
namespace {

constexpr int kSlot = 1;
constexpr int kMusicId = 1;
constexpr int kSceneWatchId = 0;
constexpr int kRightDown = 0x4;   // rideOpts: ride with mouse look (else drag look)
constexpr int kCollisions = 0x1;  // rideOpts: collide with the scene's objects
constexpr int kWalking = 0x2;     // rideOpts: with gravity and eye height

KeSceneViewerLimits g_limits;
bool g_limitsSet = false;

KeSceneViewerLimits limits() {
    if (g_limitsSet) return g_limits;
    KeSceneViewerLimits l;
    if (const char* v = std::getenv("KOLM_VIEWER_FRAMES")) l.frames = std::atoi(v);
    if (const char* v = std::getenv("KOLM_VIEWER_MS")) l.ms = std::atoll(v);
    if (const char* v = std::getenv("KOLM_VIEWER_SCREENSHOT")) l.screenshot = *v ? v : nullptr;
    return l;
}

// Music ID 1 as the timeline steers it.
class ViewerMusic : public KeViewerMusic {
public:
    void play() override { kePlayMusic(kMusicId); }
    void pause() override { kePauseMusic(kMusicId); }
    void resume() override { keResumeMusic(kMusicId); }
    void setPosition(int64_t ms) override { keSetMusicPosition(kMusicId, int(ms < 0 ? 0 : ms)); }
};

int drawLoadingFrame(int percent, void*) {
    keLoadingFrame(percent);
    return 0;  // the viewer never aborts loading
}

void* x11Display() {
    EngineContext& c = keEngineContext();
    if (!c.driver || c.driver->getDriverType() != irr::video::EDT_OPENGL) return nullptr;
    return c.driver->getExposedVideoData().OpenGLLinux.X11Display;
}
unsigned long x11Window() {
    EngineContext& c = keEngineContext();
    if (!c.driver || c.driver->getDriverType() != irr::video::EDT_OPENGL) return 0;
    return static_cast<unsigned long>(c.driver->getExposedVideoData().OpenGLLinux.X11Window);
}

bool windowActive() {
    irr::IrrlichtDevice* device = keEngineContext().device;
    return device && device->isWindowActive();
}
void setCursorVisible(bool on) {
    irr::IrrlichtDevice* device = keEngineContext().device;
    if (device && device->getCursorControl()) device->getCursorControl()->setVisible(on);
}

// -syncupdate beside LightWave Layout: owned by its main window when there is one, else kept
// above every other window. Not in full screen.
void keepBesideLayout(bool windowed) {
    void* dpy = x11Display();
    const unsigned long window = x11Window();
    if (!dpy || !window || !windowed) return;
    static const char* const words[] = {"LightWave", "NewTek", "Layout"};
    if (keWindowOwnByTitle(dpy, window, words, 3, ".exe")) return;
    keWindowKeepAbove(dpy, window);
}

// Looks for the scene's music "%s.mp3" in "../music", then "../data", beside the scene's folder.
bool loadMusic(const char* music, const std::string& sceneDir) {
    if (!music || !*music) return false;
    const std::string base = kePathFilename(music, false);
    for (const char* folder : {"../music", "../data"}) {
        const std::string dir = sceneDir.empty() ? std::string(folder) : sceneDir + "/" + folder;
        char path[1024];
        std::snprintf(path, sizeof path, "%s/%s.mp3", dir.c_str(), base.c_str());
        if (!keFileExist(path)) continue;
        if (keLoadMusic(path, kMusicId) == 0) {
            logLine("Loaded Music %s\n", path);
            return true;
        }
        reportError("Fail to load music %s", path);
        return false;
    }
    reportError("Fail to find %s.mp3 in ../music or ../data", base.c_str());
    return false;
}

struct Viewer {
    RunOptions options;
    std::string sceneFile;  // as the file layer opens it from the scene's directory
    std::string scenePath;  // as watched
    KeViewerTimeline timeline;
    ViewerMusic music;
    bool musicLoaded = false;
    bool cursorShown = false;
    int lastUpdateResult = 0;
    int32_t lastSyncFrame = KE_NO_SYNC_FRAME;
    int debugMode = 0;
    int64_t fpsStamp = 0;
    int fpsCount = 0;
    char fpsText[64] = "";
    KeViewerReloadGate reloadGate;

    Viewer(const KeViewerScene& scene, bool music, const RunOptions& o)
        : options(o), timeline(scene, music, (o.flags & KE_RUN_RIDE) != 0, o.rideSpeed), musicLoaded(music) {}

    void setMoveSpeed() { keSetCameraMoveSpeed(float(timeline.rideSpeed()) * 0.00001f); }

    void collisionsOn() {
        if (options.rideOpts & kWalking)
            keAutomaticCameraCollisionOn(0.2f, 0.05f, 0.6f);
        else
            keAutomaticCameraCollisionOn(0.2f, 0.0f, 0.0f);
    }

    void enterRide() {
        if (options.rideOpts & kRightDown) {
            keSetCameraMode(1);
            if (cursorShown) {
                setCursorVisible(false);
                cursorShown = false;
            }
        } else {
            keSetCameraMode(2);
        }
    }
    void leaveRide() {
        if ((options.rideOpts & kRightDown) && !cursorShown) {
            setCursorVisible(true);
            cursorShown = true;
        }
        if (options.rideOpts & kCollisions) keAutomaticCameraCollisionOff();
        keSetCameraMode(0);
    }

    KeViewerScene currentScene() const {
        KeViewerScene s;
        s.firstFrame = keSceneFirstFrame(kSlot);
        s.frameRate = keSceneFrameRate(kSlot);
        s.length = keSceneLength(kSlot);
        s.musicOffset = keSceneMusicOffset(kSlot);
        return s;
    }

    // A settled change of the scene file: reload at the frame shown, keeping the running scene
    // and its time when the new document does not load.
    void reload(int64_t now) {
        const double frame = timeline.frameAt(timeline.lastSceneTime());
        logLine("Update Scene...\n");
        lastUpdateResult = keSceneReload(sceneFile.c_str(), kSlot);
        if (lastUpdateResult != 0) {
            logLine("ERROR : UPDATE SCENE FAILED\n");
        } else {
            KeViewerScene s = currentScene();
            if (!(options.flags & KE_RUN_MUSIC)) s.musicOffset = timeline.scene().musicOffset;
            timeline.setScene(s);
            timeline.follow(now, timeline.timeOfFrame(frame), &music);
        }
        keFileWatchReset(kSceneWatchId);
    }

    void syncUpdate(int64_t now) {
        KeFileStamp stamp;
        keReadFileStamp(scenePath.c_str(), &stamp);
        const bool changed = keFileWatchChanged(kSceneWatchId);
        if (changed) keFileWatchReset(kSceneWatchId);
        if (reloadGate.poll(changed, stamp, now)) reload(now);
        if (lastUpdateResult != 0) keText(0, 30, "UPDATE SCENE FAILED: cannot read kolm scene file. Try export again.");
        const int32_t sync = keEventReceiver().syncFrame();
        if (sync != lastSyncFrame) {
            timeline.follow(now, timeline.timeOfFrame(sync), &music);
            lastSyncFrame = sync;
        }
    }

    void overlay(int64_t now, int b) {
        keInk(0x000000);
        keInkAlpha(20);
        keBox(0, 0, 180, 30);
        char text[128];
        keViewerFrameText(text, sizeof text, timeline, b);
        keText(0, 0, text);
        if (++fpsCount >= 30) {
            keViewerFpsText(fpsText, sizeof fpsText, now - fpsStamp);
            fpsStamp = now;
            fpsCount = 0;
        }
        keText(0, 15, fpsText);
        if (!timeline.riding()) return;
        std::snprintf(text, sizeof text, "%s %dcm/s", (options.rideOpts & kRightDown) ? "Ride FPS" : "Ride",
                      timeline.rideSpeed());
        keText(105, 15, text);
        keBox(0, 30, 90, 60);
        irr::scene::ICameraSceneNode* camera = keEngineContext().camera;
        if (!camera) return;
        const irr::core::vector3df p = camera->getAbsolutePosition();
        const irr::core::vector3df d = camera->getTarget() - p;
        float heading = 0, pitch = 0;
        keViewerHeadingPitch(d.X, d.Y, d.Z, &heading, &pitch);
        const struct {
            int x, y;
            const char* format;
            float value;
        } lines[] = {{0, 30, "X %.3f", p.X},      {0, 40, "Y %.3f", p.Y},      {0, 50, "Z %.3f", p.Z},
                     {50, 30, "H %.1f", heading}, {50, 40, "P %.1f", pitch}, {50, 50, "B %.1f", 0.0f}};
        for (const auto& l : lines) {
            std::snprintf(text, sizeof text, l.format, double(l.value));
            keText(l.x, l.y, text);
        }
    }
};

}  // namespace

void keSceneViewerSetLimits(const KeSceneViewerLimits& l) {
    g_limits = l;
    g_limitsSet = true;
}

int keViewScene(const char* path, const RunOptions& options) {
    logLine("Kolm Engine scene viewer started\n");
    std::string file = path ? path : "";
    if ((options.flags & KE_RUN_STARTED) && (options.flags & KE_RUN_CONVERT_BINARY) && file.empty()) {
        static const KeFileFilter filters[] = {{"Kolm Scene (lws.ini)", "*.lws.ini"}, {"All", "*"}};
        if (!keChooseFile("Open Kolm scene for binary convert", filters, 2, &file)) return -1;
    }
    // "-binary" runs without an engine: the document is loaded and checked only.
    if (options.flags & KE_RUN_CONVERT_BINARY) {
        if (keSceneCheck(file.c_str()) == 0) return 0;
        reportError("Failed to load scene");
        return -1;
    }
    if (!keIsStarted()) {
        reportError("Failed to load scene");
        return -1;
    }

    const std::string sceneName = kePathFilename(file.c_str(), true);
    const std::string sceneDir = kePathPath(file.c_str());
    const bool syncUpdate = (options.flags & KE_RUN_SYNC_UPDATE) != 0;
    if (syncUpdate) keepBesideLayout(keEngineContext().device && !keEngineContext().device->isFullscreen());

    const bool packaged = keIsPackaged();
    if (!packaged) keShaderHotUpdateStart(keGetBaseDir());

    // The watch and the reload name the file by its full path: the working directory moves.
    const std::string fullPath = kePathFull(file.c_str());
    keSceneSetProgress(&drawLoadingFrame, nullptr);
    keLoadingPrepare();
    if (!sceneDir.empty()) keSetDir(sceneDir.c_str());
    keSceneSetReporting(true);
    const int loaded = keSceneLoad(sceneName.c_str(), kSlot, 1, 0, 0, 0, 0, false, sceneDir.c_str(), false);
    keSceneSetProgress(nullptr, nullptr);
    keLoadingRelease();
    if (loaded != 0) {
        if (loaded != 1) reportError("Failed to load scene");
        if (!packaged) keShaderHotUpdateStop();
        return -1;
    }

    bool musicLoaded = false;
    if (options.flags & KE_RUN_MUSIC) musicLoaded = loadMusic(keSceneMusic(kSlot), std::string("."));

    keScenePrepare(kSlot);
    keSync();

    KeViewerScene scene;
    scene.firstFrame = keSceneFirstFrame(kSlot);
    scene.frameRate = keSceneFrameRate(kSlot);
    scene.length = keSceneLength(kSlot);
    scene.musicOffset = keSceneMusicOffset(kSlot);
    Viewer v(scene, musicLoaded, options);
    v.sceneFile = fullPath.empty() ? sceneName : fullPath;
    v.scenePath = v.sceneFile;
    if (syncUpdate) {
        keFileWatch(v.scenePath.c_str(), kSceneWatchId);
        v.lastSyncFrame = keEventReceiver().syncFrame();
    }
    keSceneShow(kSlot);

    const int64_t startClock = keTimer();
    v.timeline.start(startClock, (options.flags & KE_RUN_FRAME_START) ? options.frameStart : -1,
                     (options.flags & KE_RUN_PAUSED) != 0, &v.music);
    if (v.timeline.riding()) {
        keSceneAnimate(kSlot, int(startClock - v.timeline.origin()));
        keRenderDummy();
        v.enterRide();
    }
    if (options.rideOpts & kCollisions) {
        for (int id = 1; id <= keSceneObjectCount(kSlot); ++id)
            if (keObjectExist(id)) keSetObjectCollisionOn(id);
        keSetCameraJumpSpeed(0.05f);
        if (v.timeline.riding()) v.collisionsOn();
    }
    v.setMoveSpeed();

    const KeSceneViewerLimits limit = limits();
    MyEventReceiver& events = keEventReceiver();
    bool keys[256];
    int frames = 0;
    while (keRun()) {
        if (events.escapeEverPressed()) break;
        const int64_t now = keTimer();
        if (limit.ms > 0 && now - startClock >= limit.ms) break;
        if (!packaged && keEngineManager()) keShaderHotUpdatePoll(keEngineManager()->getGPUProgrammingServices());
        if (syncUpdate) v.syncUpdate(now);

        for (int k = 0; k < 256; ++k) keys[k] = events.keyDown(k);
        KeViewerInput in;
        in.clock = now;
        in.keys = keys;
        in.rightButton = events.rightButton();
        in.windowActive = windowActive();
        in.musicPosition = musicLoaded ? keGetMusicPosition(kMusicId) : -1;
        const KeViewerStep step = v.timeline.frame(in, (options.flags & KE_RUN_NO_IDLE_INACTIVE) != 0, &v.music);
        if (step.skip) {
            keDrawQueueDiscard();
            keSleep(10);
            continue;
        }
        if (step.speedChanged) v.setMoveSpeed();
        if (step.rideChanged) {
            if (v.timeline.riding()) {
                v.enterRide();
                if (options.rideOpts & kCollisions) v.collisionsOn();
            } else {
                v.leaveRide();
            }
        }
        if ((options.rideOpts & kRightDown) && v.timeline.riding()) setCursorVisible(!in.windowActive);
        if (step.toggleDebug) {
            v.debugMode = v.debugMode ? 0 : 1;
            keRenderSetDebug(v.debugMode);
        }
        if (step.evaluate) keSceneAnimate(kSlot, step.sceneTime);
        keSceneUpdate(kSlot, step.sceneTime);
        v.overlay(now, step.sceneTime);
        keSync();
        ++frames;
        if (limit.frames > 0 && frames >= limit.frames) break;
    }
    if (limit.screenshot) keScreenShot(limit.screenshot);

    if (syncUpdate) keFileWatchDelete(kSceneWatchId);
    if (musicLoaded) {
        keStopMusic(kMusicId);
        keDeleteMusic(kMusicId);
    }
    keSceneUnload(kSlot);
    keSync();
    keSync();
    if (!packaged) keShaderHotUpdateStop();
    keSceneSetReporting(false);
    logLine("Kolm Engine scene viewer ended\n");
    return 0;
}

}  // namespace kolm
