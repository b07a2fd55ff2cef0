// The demo player's backend on the running engine: scene slots, the object API's music, camera
// effect and fade commands, the loading screen, the engine clock, keSync and screenshots.
#pragma once

#include "demo/IKeDemoBackend.h"

#include <memory>
#include <string>
#include <vector>

namespace kolm {

class IKeMusicPlayer;

class CKeDemoBackendEngine : public IKeDemoBackend {
public:
    CKeDemoBackendEngine();
    ~CKeDemoBackendEngine() override;

    void loadingFrame(int percent) override;
    void loadingFinish() override;
    bool userAborted() override;
    void setDirectory(const char* dir) override;
    void enterDirectory(const char* name) override;
    int loadScene(const char* file, int slot, const DemoIdBases& bases, bool instanceMode, const char* name, bool extra,
                  int progressPart, int partCount) override;
    DemoSceneCounts sceneCounts(int slot) override;
    const char* sceneMusic(int slot) override;
    int sceneMusicOffset(int slot) override;
    void unloadScene(int slot) override;
    int loadMusic(const char* path, int id) override;
    void deleteMusic(int id) override;
    int loadCameraShader(const char* path, int id) override;
    void deleteCameraShader(int id) override;
    void prepareScene(int slot) override;

    int32_t clockMs() override;
    void sleepMs(int ms) override;
    bool run() override;
    bool escapeLatched() override;
    void setFrameTime(int32_t ms) override;
    void playMusic(int id) override;
    void stopMusic(int id) override;
    int musicPositionMs(int id) override;
    int musicSound(int id, int64_t first, int frames, int16_t* out) override;
    void showScene(int slot) override;
    void hideScene(int slot) override;
    void animateScene(int slot, int timeMs) override;
    void updateScene(int slot, int timeMs) override;
    void parkScene(int slot, int objectBase, int emitterBase) override;
    void showEmitters(int slot, int emitterBase) override;
    void showCameraShader(int id) override;
    void hideCameraShader(int id) override;
    void fadeIn(int timeMs, uint32_t rgb) override;
    void fadeOut(int timeMs, uint32_t rgb) override;
    void stopFade() override;
    void setCameraRange(float nearPlane, float farPlane) override;
    int renderFrame() override;
    void animateFrame() override;
    int screenshot(const char* path) override;

private:
    // A decoder of its own per music for the capture's sound, made at its first use.
    struct Sound {
        int id = -1;
        std::string file;  // as the file layer opens it
        std::unique_ptr<IKeMusicPlayer> decoder;
        bool failed = false;
        int64_t next = -1;  // music frame the decoder gives next
        std::vector<float> frames;
    };
    Sound* sound(int id);

public:
    // Loading frame for the scene of the part being loaded at `percent`; 0 (go on).
    int loadingProgress(int percent);

private:
    bool m_loadingPrepared = false;
    bool m_timerStopped = false;
    int m_progressPart = 0, m_partCount = 1;
    std::vector<Sound> m_sounds;
};

}  // namespace kolm
