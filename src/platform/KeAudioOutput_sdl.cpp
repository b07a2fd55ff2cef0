// SDL2 audio output and the process-wide audio system with its dummy-driver fallback.
#include "platform/KeAudioOutput.h"

#include "core/KeError.h"

#include <SDL.h>

#include <chrono>
#include <cstring>

namespace kolm {

namespace {

struct AudioSystem {
    bool up = false;
    KeAudioBackend backend = KeAudioBackend::Sdl;
    int openOutputs = 0;  // SDL devices open now (main thread only)
};
AudioSystem g_audio;

int64_t steadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool usingDummyDriver() {
    const char* name = SDL_GetCurrentAudioDriver();
    return name && std::strcmp(name, "dummy") == 0;
}

// SDL's dummy driver opens on any machine and consumes audio in real time.
int initDummyDriver() {
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0 ? 0 : -1;
}

int initSdlAudio() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) return 0;
    printMessage(KE_INFO, "no audio driver (%s): music plays silently on SDL's dummy driver", SDL_GetError());
    return initDummyDriver();
}

class CKeAudioOutputSdl : public IKeAudioOutput {
public:
    ~CKeAudioOutputSdl() override { close(); }

    bool open(const KeAudioSpec& format, KeAudioFill fill, void* user) override {
        if (!fill || format.sampleRate <= 0 || format.channels < 1) return false;
        close();
        m_fill = fill;
        m_user = user;
        m_rate = format.sampleRate;
        m_channels = format.channels;

        SDL_AudioSpec want;
        SDL_zero(want);
        want.freq = format.sampleRate;
        want.format = AUDIO_F32SYS;
        want.channels = static_cast<Uint8>(format.channels);
        // The device period in frames: a power of two of at least 20 ms. SDL gives devices
        // power-of-two periods; asking for anything else makes it call back with our size once
        // per device period (seen with the dummy driver: 441 frames every 23.2 ms at 22050 Hz, so
        // playback and the position ran 14% slow).
        int frames = format.bufferFrames > 0 ? format.bufferFrames : format.sampleRate / 50;
        int period = 64;
        while (period < frames && period < 8192) period *= 2;
        frames = period;
        want.samples = static_cast<Uint16>(frames);
        want.callback = &CKeAudioOutputSdl::callback;
        want.userdata = this;

        // No changes allowed: SDL converts to whatever the device really takes.
        m_device = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
        if (m_device == 0 && !usingDummyDriver() && g_audio.openOutputs == 0) {
            // The driver came up but has no device to give (no card, no server): switch.
            printMessage(KE_INFO, "no audio device (%s): music plays silently on SDL's dummy driver",
                         SDL_GetError());
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            if (initDummyDriver() == 0) m_device = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
        }
        if (m_device == 0) {
            m_fill = nullptr;
            m_user = nullptr;
            return false;
        }
        ++g_audio.openOutputs;
        return true;
    }

    void close() override {
        if (m_device == 0) return;
        // Waits for the device thread: no callback runs after this.
        SDL_CloseAudioDevice(m_device);
        m_device = 0;
        --g_audio.openOutputs;
        m_fill = nullptr;
        m_user = nullptr;
    }

    void setPaused(bool paused) override {
        // Takes the device lock, so no callback is in progress when this returns.
        if (m_device != 0) SDL_PauseAudioDevice(m_device, paused ? 1 : 0);
    }
    void lock() override {
        if (m_device != 0) SDL_LockAudioDevice(m_device);
    }
    void unlock() override {
        if (m_device != 0) SDL_UnlockAudioDevice(m_device);
    }
    int64_t clockNs() const override { return steadyNs(); }
    int sampleRate() const override { return m_rate; }

private:
    static void SDLCALL callback(void* self, Uint8* stream, int len) {
        auto* out = static_cast<CKeAudioOutputSdl*>(self);
        const int frameBytes = static_cast<int>(sizeof(float)) * out->m_channels;
        out->m_fill(out->m_user, reinterpret_cast<float*>(stream), len / frameBytes);
    }

    SDL_AudioDeviceID m_device = 0;
    KeAudioFill m_fill = nullptr;
    void* m_user = nullptr;
    int m_rate = 44100;
    int m_channels = 2;
};

}  // namespace

int keAudioInit(KeAudioBackend backend) {
    if (g_audio.up) {
        if (g_audio.backend == backend) return 0;
        if (g_audio.openOutputs > 0) return -1;
        keAudioShutdown();
    }
    if (backend == KeAudioBackend::Sdl && initSdlAudio() != 0) return -1;
    g_audio.up = true;
    g_audio.backend = backend;
    return 0;
}

void keAudioShutdown() {
    if (!g_audio.up) return;
    if (g_audio.backend == KeAudioBackend::Sdl) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        SDL_ResetHint(SDL_HINT_AUDIODRIVER);  // a later start tries the default driver again
    }
    g_audio.up = false;
}

bool keAudioIsInitialised() { return g_audio.up; }

KeAudioBackend keAudioCurrentBackend() { return g_audio.backend; }

const char* keAudioDriverName() {
    if (!g_audio.up) return "";
    if (g_audio.backend == KeAudioBackend::Null) return "null";
    const char* name = SDL_GetCurrentAudioDriver();
    return name ? name : "";
}

std::unique_ptr<IKeAudioOutput> keCreateAudioOutput() {
    if (!g_audio.up) return nullptr;
    if (g_audio.backend == KeAudioBackend::Null) return std::make_unique<CKeAudioOutputNull>();
    return std::make_unique<CKeAudioOutputSdl>();
}

}  // namespace kolm
