#include "demo/CKeDemoBackendEngine.h"

#include "api/KeCameraEffectApi.h"
#include "api/KeDrawApi.h"
#include "api/KeFxEmitterApi.h"
#include "api/KeMusicApi.h"
#include "api/KeObjectApi.h"
#include "core/KeError.h"
#include "demo/KeDemoDefinition.h"
#include "demo/KeDemoPlayer.h"
#include "files/KeReadFile.h"
#include "kf/kfile.h"
#include "music/IKeMusicPlayer.h"
#include "platform/KeAudioOutput.h"
#include "runtime/KeEngine.h"
#include "runtime/KeLoadingScreen.h"
#include "scene/KeScene.h"

#include <algorithm>
#include <cmath>

namespace kolm {
namespace {

// The SDL output asks for buffers of 1/50 s and holds one while it plays the one before: what
// is heard lags the position the player reports (the start of the buffer last handed over plus
// the time since) by about that much.
constexpr int KE_DEMO_OUTPUT_LAG_MS = 20;
// Music frames decoded and dropped after a seek of the capture's sound.
constexpr int64_t KE_DEMO_SEEK_PREROLL = 4608;

// Loading progress of the scene of one part: the loading screen's share of it, and a stop when
// the window was closed or Escape pressed.
int onSceneProgress(int percent, void* user) {
    auto* self = static_cast<CKeDemoBackendEngine*>(user);
    if (self->userAborted()) return 1;
    return self->loadingProgress(percent);
}

}  // namespace

CKeDemoBackendEngine::CKeDemoBackendEngine() = default;

CKeDemoBackendEngine::~CKeDemoBackendEngine() {
    setFrameTime(-1);
    keSceneSetProgress(nullptr, nullptr);
    for (Sound& s : m_sounds) s.decoder.reset();
}

int CKeDemoBackendEngine::loadingProgress(int percent) {
    loadingFrame(keDemoLoadingPercent(percent, m_progressPart, m_partCount));
    return 0;
}

void CKeDemoBackendEngine::loadingFrame(int percent) {
    if (!m_loadingPrepared) {
        keLoadingPrepare();
        m_loadingPrepared = true;
    }
    keLoadingFrame(percent);
}

void CKeDemoBackendEngine::loadingFinish() {
    if (!m_loadingPrepared) keLoadingPrepare();
    keLoadingFinish();
    m_loadingPrepared = false;
}

bool CKeDemoBackendEngine::userAborted() { return !keRun() || escapeLatched(); }

void CKeDemoBackendEngine::setDirectory(const char* dir) { kfile_set_dir(dir); }
void CKeDemoBackendEngine::enterDirectory(const char* name) { kfile_enter_dir(name); }

int CKeDemoBackendEngine::loadScene(const char* file, int slot, const DemoIdBases& b, bool instanceMode,
                                    const char* name, bool extra, int progressPart, int partCount) {
    keSceneSetReporting(true);
    m_progressPart = progressPart;
    m_partCount = partCount > 0 ? partCount : 1;
    keSceneSetProgress(progressPart >= 0 ? &onSceneProgress : nullptr, this);
    const int r =
        keSceneLoad(file, slot, b.object, b.light, b.emitter, b.cubeMap, b.cameraShader, instanceMode, name, extra);
    keSceneSetProgress(nullptr, nullptr);
    return r;
}

DemoSceneCounts CKeDemoBackendEngine::sceneCounts(int slot) {
    DemoSceneCounts c;
    c.objects = keSceneObjectCount(slot);
    c.lights = keSceneLightCount(slot);
    c.emitters = keSceneEmitterCount(slot);
    c.cubeMaps = keSceneCubeMapCount(slot);
    c.cameraShaders = keSceneCameraEffectCount(slot);
    return c;
}

const char* CKeDemoBackendEngine::sceneMusic(int slot) { return keSceneMusic(slot); }
int CKeDemoBackendEngine::sceneMusicOffset(int slot) { return keSceneMusicOffset(slot); }
void CKeDemoBackendEngine::unloadScene(int slot) { keSceneUnload(slot); }

int CKeDemoBackendEngine::loadMusic(const char* path, int id) {
    if (keLoadMusic(path, id) != 0) return -1;
    Sound s;
    s.id = id;
    s.file = kfile_fullpath(path);
    m_sounds.push_back(std::move(s));
    return 0;
}

void CKeDemoBackendEngine::deleteMusic(int id) {
    if (keMusicExist(id)) keDeleteMusic(id);
    for (Sound& s : m_sounds)
        if (s.id == id) s = Sound();
}

int CKeDemoBackendEngine::loadCameraShader(const char* path, int id) { return keMakeCameraEffectFromFile(id, path); }
void CKeDemoBackendEngine::deleteCameraShader(int id) { keDeleteCameraEffect(id); }
void CKeDemoBackendEngine::prepareScene(int slot) { keScenePrepare(slot); }

int32_t CKeDemoBackendEngine::clockMs() { return static_cast<int32_t>(keTimer()); }
void CKeDemoBackendEngine::sleepMs(int ms) { keSleep(ms); }
bool CKeDemoBackendEngine::run() { return keRun(); }
bool CKeDemoBackendEngine::escapeLatched() { return keEventReceiver().escapeEverPressed(); }

void CKeDemoBackendEngine::setFrameTime(int32_t ms) {
    keSetFrameTime(ms);
    // The library's own timer drives the GUI's fader and scene animators: in a capture it
    // stands still at the frame's time.
    EngineContext& c = keEngineContext();
    if (!c.device) return;
    irr::ITimer* timer = c.device->getTimer();
    if (ms >= 0) {
        if (!m_timerStopped) {
            timer->stop();
            m_timerStopped = true;
        }
        timer->setTime(static_cast<irr::u32>(ms));
    } else if (m_timerStopped) {
        timer->start();
        m_timerStopped = false;
    }
}

void CKeDemoBackendEngine::playMusic(int id) { kePlayMusic(id); }
void CKeDemoBackendEngine::stopMusic(int id) { keStopMusic(id); }

int CKeDemoBackendEngine::musicPositionMs(int id) {
    KeMusic* m = keMusicGet(id);
    if (!m || !m->player || !m->player->isLoaded() || m->player->sampleRate() <= 0) return -1;
    const int position = m->player->getPosition();
    if (position < 0) return -1;
    const int64_t lengthMs = m->player->lengthFrames() * 1000 / m->player->sampleRate();
    if (position >= lengthMs) return -1;  // played out: the clock goes on
    return std::max(0, position - KE_DEMO_OUTPUT_LAG_MS);
}

CKeDemoBackendEngine::Sound* CKeDemoBackendEngine::sound(int id) {
    for (Sound& s : m_sounds) {
        if (s.id != id) continue;
        if (!s.decoder && !s.failed) {
            std::string bytes;
            s.failed = true;
            if (keReadWholeFile(s.file.c_str(), bytes)) {
                s.decoder = keCreateMusicPlayer(std::unique_ptr<IKeAudioOutput>(new CKeAudioOutputNull));
                if (s.decoder && s.decoder->load(bytes.data(), bytes.size()) == KE_MUSIC_LOADED &&
                    s.decoder->sampleRate() > 0) {
                    s.decoder->play();
                    s.failed = false;
                    s.next = 0;
                }
            }
            if (s.failed) s.decoder.reset();
        }
        return s.failed ? nullptr : &s;
    }
    return nullptr;
}

int CKeDemoBackendEngine::musicSound(int id, int64_t first, int frames, int16_t* out) {
    Sound* s = sound(id);
    if (!s || frames <= 0) return -1;
    std::fill(out, out + 2 * frames, int16_t(0));
    const int64_t rate = s->decoder->sampleRate();
    const int channels = s->decoder->channels();
    auto* output = static_cast<CKeAudioOutputNull*>(s->decoder->output());
    // Music frames that the 44.1 kHz frames first .. first + frames - 1 fall on.
    const int64_t lo = std::max<int64_t>(first, 0);
    const int64_t hi = first + frames - 1;
    if (hi < 0) return 0;
    const int64_t s0 = lo * rate / 44100, s1 = hi * rate / 44100;
    if (s->next != s0) {
        // Seek to a whole ms well before s0 and decode up to it: right after a seek the decoder
        // gives a few dozen frames that differ from a straight decode (its overlap is empty),
        // and a capture split in ranges must sound exactly as a whole one.
        const int64_t ms = std::max<int64_t>(0, s0 - KE_DEMO_SEEK_PREROLL) * 1000 / rate;
        if (s->decoder->setPosition(static_cast<int>(ms)) != 0) return -1;
        s->decoder->play();
        const int64_t at = (ms * rate + 999) / 1000;
        for (int64_t left = s0 - at; left > 0;) {
            const int n = static_cast<int>(std::min<int64_t>(left, 4096));
            output->pump(n);
            left -= n;
        }
        s->next = s0;
    }
    const int count = static_cast<int>(s1 - s0 + 1);
    output->pump(count);
    s->next = s1 + 1;
    const std::vector<float>& buf = output->lastBuffer();
    if (static_cast<int>(buf.size()) < count * channels) return -1;
    auto pcm = [](float v) {
        const float c = std::min(1.0f, std::max(-1.0f, v));
        return static_cast<int16_t>(std::lrintf(c * 32767.0f));
    };
    for (int64_t f = lo; f <= hi; ++f) {
        const int64_t src = f * rate / 44100 - s0;
        const size_t j = static_cast<size_t>(f - first);
        const float left = buf[static_cast<size_t>(src * channels)];
        const float right = channels > 1 ? buf[static_cast<size_t>(src * channels + 1)] : left;
        out[2 * j] = pcm(left);
        out[2 * j + 1] = pcm(right);
    }
    return 0;
}

void CKeDemoBackendEngine::showScene(int slot) { keSceneShow(slot); }
void CKeDemoBackendEngine::hideScene(int slot) { keSceneHide(slot); }
void CKeDemoBackendEngine::animateScene(int slot, int timeMs) { keSceneAnimate(slot, timeMs); }
void CKeDemoBackendEngine::updateScene(int slot, int timeMs) { keSceneUpdate(slot, timeMs); }

// Parking keeps the objects shown, only far away, until the scene is animated again; its
// emitters are hidden (emitters that could not be made were reported at load and are skipped).
// Extras have no camera effects.
void CKeDemoBackendEngine::parkScene(int slot, int objectBase, int emitterBase) {
    const int objects = keSceneObjectCount(slot);
    for (int i = 0; i < objects; ++i) kePositionObject(objectBase + i, 0.0f, 0.0f, -1000000.0f);
    const int emitters = keSceneEmitterCount(slot);
    for (int i = 0; i < emitters; ++i)
        if (keFxEmitterExist(emitterBase + i)) keHideFxEmitter(emitterBase + i);
}

void CKeDemoBackendEngine::showEmitters(int slot, int emitterBase) {
    const int emitters = keSceneEmitterCount(slot);
    for (int i = 0; i < emitters; ++i)
        if (keFxEmitterExist(emitterBase + i)) keShowFxEmitter(emitterBase + i);
}

void CKeDemoBackendEngine::showCameraShader(int id) { keShowCameraEffect(id); }
void CKeDemoBackendEngine::hideCameraShader(int id) { keHideCameraEffect(id); }
void CKeDemoBackendEngine::fadeIn(int timeMs, uint32_t rgb) { keFadeIn(timeMs, rgb); }
void CKeDemoBackendEngine::fadeOut(int timeMs, uint32_t rgb) { keFadeOut(timeMs, rgb); }
void CKeDemoBackendEngine::stopFade() { keStopFade(); }
void CKeDemoBackendEngine::setCameraRange(float nearPlane, float farPlane) { keSetCameraRange(nearPlane, farPlane); }
int CKeDemoBackendEngine::renderFrame() { return keSync(); }

// The renderers animate the graph with the library's timer, which a capture holds at the
// frame's time (setFrameTime).
void CKeDemoBackendEngine::animateFrame() {
    EngineContext& c = keEngineContext();
    if (c.device && c.sceneManager) c.sceneManager->getRootSceneNode()->OnAnimate(c.device->getTimer()->getTime());
}
int CKeDemoBackendEngine::screenshot(const char* path) { return keScreenShot(path); }

// --- the run modes ------------------------------------------------------------------------------

int kePlayDemo(const char* path) {
    CKeDemoBackendEngine backend;
    return keDemoPlayWith(path, backend);
}

int keCaptureDemo(const char* path, const DemoCaptureOptions& options) {
    CKeDemoBackendEngine backend;
    return keDemoCaptureWith(path, options, backend);
}

}  // namespace kolm
