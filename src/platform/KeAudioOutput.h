// Audio output: a device that pulls interleaved 32-bit float frames from a fill callback on its
// own thread, and the clock that callback times are taken with.
//
// Backends:
//   - SDL2 audio. When the default driver cannot be initialised or cannot open a device (no
//     sound card, no sound server), SDL's "dummy" driver is used instead: it consumes audio in
//     real time, so playback, positions and demo timing behave the same on a headless machine.
//   - Null: no thread, a counting clock. Tests pump buffers and move the clock by hand
//     (CKeAudioOutputNull::pump, advanceClock) and read exact, repeatable positions.
//
// Contents: IKeAudioOutput, the process-wide audio system (keAudioInit ...), CKeAudioOutputNull.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace kolm {

// Writes `frames` frames (frames x channels floats) into out. Runs on the output's thread with
// the output's lock held; must not block.
using KeAudioFill = void (*)(void* user, float* out, int frames);

struct KeAudioSpec {
    int sampleRate = 44100;  // frames per second
    int channels = 2;        // 1 or 2
    int bufferFrames = 0;    // frames per callback; 0 = the backend's choice
};

class IKeAudioOutput {
public:
    // Closes the output first (see close()).
    virtual ~IKeAudioOutput() = default;
    // Opens the device paused. false when no device could be opened.
    virtual bool open(const KeAudioSpec& format, KeAudioFill fill, void* user) = 0;
    // Stops the device. When close() returns the fill callback is not running and never runs
    // again, so whatever it reads may be freed. Closing a closed output does nothing.
    virtual void close() = 0;
    // Paused: the callback is not called (the device plays silence). When setPaused(true)
    // returns, no callback is in progress.
    virtual void setPaused(bool paused) = 0;
    // Excludes the fill callback while held (not recursive with respect to the callback).
    virtual void lock() = 0;
    virtual void unlock() = 0;
    // The clock in nanoseconds that the callback's start times are comparable with.
    virtual int64_t clockNs() const = 0;
    // The frame rate the callback is asked for (the format's once open).
    virtual int sampleRate() const = 0;
};

enum class KeAudioBackend { Sdl, Null };

// Brings the audio system up once for the process (SDL: with the dummy fallback). 0 or -1.
// Calling it again with the same backend does nothing; with another backend it switches (only
// when no output is open).
int keAudioInit(KeAudioBackend backend);
// Closes the audio system; outputs must have been destroyed first.
void keAudioShutdown();
bool keAudioIsInitialised();
KeAudioBackend keAudioCurrentBackend();
// The driver in use: SDL's driver name ("pulseaudio", "alsa", "dummy", ...), "null", or "" when
// the audio system is down.
const char* keAudioDriverName();
// A closed output of the current backend, or null when the audio system is down.
std::unique_ptr<IKeAudioOutput> keCreateAudioOutput();

// The null twin: a counting clock that moves only when told.
class CKeAudioOutputNull : public IKeAudioOutput {
public:
    ~CKeAudioOutputNull() override;
    bool open(const KeAudioSpec& format, KeAudioFill fill, void* user) override;
    void close() override;
    void setPaused(bool paused) override;
    void lock() override {}
    void unlock() override {}
    int64_t clockNs() const override { return m_clock; }
    int sampleRate() const override { return m_format.sampleRate; }

    // The device takes one buffer of `frames` now: when open and running the callback fills it
    // (with the clock as it stands). The clock does not move; advance it to let time pass.
    void pump(int frames);
    void advanceClock(int64_t ns) { m_clock += ns; }
    void advanceMs(int64_t ms) { m_clock += ms * 1000000; }
    bool isOpen() const { return m_fill != nullptr; }
    bool isPaused() const { return m_paused; }
    // The frames of the last pump (what a listener would have heard).
    const std::vector<float>& lastBuffer() const { return m_buffer; }

private:
    KeAudioSpec m_format;
    KeAudioFill m_fill = nullptr;
    void* m_user = nullptr;
    bool m_paused = true;
    int64_t m_clock = 0;
    std::vector<float> m_buffer;
};

}  // namespace kolm
