// The engine's music list: musics registered under IDs 0..49, each an MP3 file read whole into
// memory and played by its own IKeMusicPlayer. Engine start-up brings it up as its music step
// ("Failed to setup music replay" on -1) and shut-down takes it down first; the object API's
// music commands work on it in between.
#pragma once

#include "core/KeIdTable.h"
#include "music/IKeMusicPlayer.h"
#include "platform/KeAudioOutput.h"

#include <memory>
#include <string>

namespace kolm {

constexpr int KE_MUSIC_LIST_CAPACITY = 50;

// What a music ID holds.
struct KeMusic {
    std::string path;
    std::unique_ptr<IKeMusicPlayer> player;
    bool playing = false;  // set by play/resume, cleared by pause/stop
};

// The process-wide music state.
struct KeMusicSystem {
    KeIdTable<KeMusic>* list = nullptr;  // capacity KE_MUSIC_LIST_CAPACITY
};
KeMusicSystem& keMusicSystem();

// Creates the music list and brings the audio output up (SDL, falling back to its dummy driver;
// tests pass KeAudioBackend::Null). 0, or -1 after logging "fails to create music list" (ERROR)
// or when no audio output at all can be had. Starting a started system does nothing.
int keMusicSystemStart(KeAudioBackend backend = KeAudioBackend::Sdl);
// Deletes every music, frees the list and shuts the audio output down.
void keMusicSystemStop();

// Stops a music if it plays and frees it (the player closes its device before its decoder).
void keMusicDestroy(KeMusic* music);

}  // namespace kolm
