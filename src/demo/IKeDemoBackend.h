// What the demo player asks of the engine while it loads and plays a demo: scene slots, musics,
// camera shaders, fades, the camera range, the loading screen, the clock and rendering. The
// engine's own backend (CKeDemoBackendEngine) forwards to the object API and the runtime;
// tests hand the player a recording twin, so the schedule can be checked frame by frame.
//
// Times are ms; IDs are the object API's. Main thread only.
#pragma once

#include <cstdint>

namespace kolm {

// The consecutive ID ranges a scene is loaded with.
struct DemoIdBases {
    int32_t object = 0, light = 0, emitter = 0, cubeMap = 0, cameraShader = 0;
};

// What a loaded scene made, by kind.
struct DemoSceneCounts {
    int32_t objects = 0, lights = 0, emitters = 0, cubeMaps = 0, cameraShaders = 0;
};

class IKeDemoBackend {
public:
    virtual ~IKeDemoBackend() = default;

    // --- Loading ---------------------------------------------------------------------------
    // One loading frame at `percent` (0 to 100; the end of loading goes on to 129).
    virtual void loadingFrame(int percent) = 0;
    // The last loading frames of a demo; the loading picture is then forgotten.
    virtual void loadingFinish() = 0;
    // True once the window was closed or Escape was pressed: loading stops without a message.
    virtual bool userAborted() = 0;
    // The file layer's working directory: set to `dir`, or a folder entered below it.
    virtual void setDirectory(const char* dir) = 0;
    virtual void enterDirectory(const char* name) = 0;
    // Loads a scene document into a slot: 0, 1 when the user aborted,
    // -1 on failure. progressPart >= 0 installs the loading-progress callback for part
    // progressPart of partCount; -1 loads without it.
    virtual int loadScene(const char* file, int slot, const DemoIdBases& bases, bool instanceMode, const char* name,
                          bool extra, int progressPart, int partCount) = 0;
    virtual DemoSceneCounts sceneCounts(int slot) = 0;
    // The music file the scene document names (null or empty: none) and where the scene starts
    // in it (ms).
    virtual const char* sceneMusic(int slot) = 0;
    virtual int sceneMusicOffset(int slot) = 0;
    virtual void unloadScene(int slot) = 0;
    // 0 or -1 (the backend reports its own failure through the object API).
    virtual int loadMusic(const char* path, int id) = 0;
    virtual void deleteMusic(int id) = 0;
    virtual int loadCameraShader(const char* path, int id) = 0;
    virtual void deleteCameraShader(int id) = 0;
    // Run once per scene after loading, before it is first shown.
    virtual void prepareScene(int slot) = 0;

    // --- Playing ---------------------------------------------------------------------------
    // The engine clock (ms).
    virtual int32_t clockMs() = 0;
    virtual void sleepMs(int ms) = 0;
    // Pumps the window; false once it was closed.
    virtual bool run() = 0;
    // The Escape latch: set once Escape was pressed since start.
    virtual bool escapeLatched() = 0;
    // The time every frame is drawn at from now on (ms; -1: the engine clock). Animations and
    // fades then show exactly that time.
    virtual void setFrameTime(int32_t ms) = 0;

    virtual void playMusic(int id) = 0;  // from its start
    virtual void stopMusic(int id) = 0;
    // Where the music stands as it is heard (ms), or -1 when unknown or played to its end.
    virtual int musicPositionMs(int id) = 0;
    // The music's sound as 44.1 kHz 16-bit stereo: `frames` frames from frame `first` (counted
    // from the music's start at 44.1 kHz) into out (2 x frames values); silence before its start
    // and after its end. 0, or -1 when the music cannot be decoded.
    virtual int musicSound(int id, int64_t first, int frames, int16_t* out) = 0;

    virtual void showScene(int slot) = 0;
    virtual void hideScene(int slot) = 0;
    virtual void animateScene(int slot, int timeMs) = 0;
    virtual void updateScene(int slot, int timeMs) = 0;  // real-time cube maps
    // Moves the scene's objects far away and hides its emitters (extras between their windows).
    virtual void parkScene(int slot, int objectBase, int emitterBase) = 0;
    // Shows the scene's emitters (an extra whose window begins).
    virtual void showEmitters(int slot, int emitterBase) = 0;

    virtual void showCameraShader(int id) = 0;
    virtual void hideCameraShader(int id) = 0;
    virtual void fadeIn(int timeMs, uint32_t rgb) = 0;
    virtual void fadeOut(int timeMs, uint32_t rgb) = 0;
    virtual void stopFade() = 0;
    virtual void setCameraRange(float nearPlane, float farPlane) = 0;

    // Renders one frame. 0, or -1 when the frame could not be rendered.
    virtual int renderFrame() = 0;
    // A frame that is not drawn (before a capture's range) still animates the scene graph at
    // the frame's time, as a drawn frame would: fx emitters then carry the same particles into
    // the range as in the whole capture.
    virtual void animateFrame() {}
    // Writes the frame last rendered to `path` (BMP). 0 or -1.
    virtual int screenshot(const char* path) = 0;
};

}  // namespace kolm
