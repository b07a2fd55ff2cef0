// IKeMusicPlayer: MP3 music played from a memory block (the bytes may come from a packaged
// archive), with a position that demos and the scene viewer take their time from.
//
// Until a load succeeds: play, pause, stop and setVolume do nothing, the position operations
// return -1 and getVolume returns 0.
//
// Position (ms, getPosition):
//   - exact after setPosition, stop (0) and pause (the value it froze at);
//   - while playing: the stream position of the last buffer handed to the audio device plus the
//     time since that hand-over, never past the end of what was handed, never going backwards;
//   - stands still while paused and at the end of the stream.
// Seeking is sample-exact: the stream is scanned at load time.
//
// Volume: attenuation in hundredths of a decibel, -10000 (silent) .. 0 (full).
// Commands come from one thread (the main thread); decoding runs on the audio device's thread.
#pragma once

#include "platform/KeAudioOutput.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace kolm {

enum KeMusicLoadResult : int {
    KE_MUSIC_LOADED = 0,
    KE_MUSIC_NOT_MP3 = -1,    // no decodable MPEG audio in the block (or an empty block)
    KE_MUSIC_NO_OUTPUT = -2,  // decodable, but no audio output could be opened for it
};

constexpr int KE_MUSIC_SILENT = -10000;  // attenuation, 1/100 dB
constexpr int KE_MUSIC_FULL = 0;

class IKeMusicPlayer {
public:
    // Releases everything (as release()).
    virtual ~IKeMusicPlayer() = default;
    // Copies the block and prepares playback of it, stopped at 0. A player that was loaded
    // before is released first. Returns a KeMusicLoadResult; on failure the player is unloaded.
    virtual int load(const void* block, size_t size) = 0;
    // Starts or continues playing from the current position.
    virtual void play() = 0;
    // Pauses, keeping the position.
    virtual void pause() = 0;
    // Stops and rewinds to 0.
    virtual void stop() = 0;
    // Seeks to ms (past the end: to the end). 0, or -1 (not loaded, negative, decoder failure).
    virtual int setPosition(int ms) = 0;
    // The position in ms, or -1 when not loaded.
    virtual int getPosition() = 0;
    // Attenuation in 1/100 dB, clamped to -10000 .. 0.
    virtual void setVolume(int attenuation) = 0;
    virtual int getVolume() = 0;
    // Stops the audio device (the decoder is then out of the device thread's reach) and frees
    // the copy, the decoder and the device. The player can be loaded again.
    virtual void release() = 0;

    virtual bool isLoaded() const = 0;
    virtual bool isPlaying() const = 0;
    // Decoded length in frames (samples per channel), 0 when not loaded.
    virtual int64_t lengthFrames() const = 0;
    virtual int sampleRate() const = 0;
    virtual int channels() const = 0;
    // The output it plays through (owned by the player).
    virtual IKeAudioOutput* output() = 0;
};

// A player that plays through output (which it owns), or null when output is null or the
// decoder library cannot give a decoder.
std::unique_ptr<IKeMusicPlayer> keCreateMusicPlayer(std::unique_ptr<IKeAudioOutput> output);

}  // namespace kolm
