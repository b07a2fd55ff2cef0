// Music commands of the object API: musics registered under IDs 0..49 in the music list, each
// an MP3 file read whole into memory and played by its own IKeMusicPlayer.
//
// Wiring: engine start-up calls keMusicSystemStart() as its music step ("Failed to setup music
// replay" on -1) and keMusicSystemStop() first thing at shut-down. The music list lives in
// keMusicSystem() until then. Files are read whole through the kfile layer (plain files or a
// mounted archive, whichever the file system set-up installed).
//
// Unknown IDs record "Music ID %d does not exist. %s" with index 1 and return -1 (false for
// keMusicExist, which never records anything).
#pragma once

#include "api/KeIdTable.h"
#include "music/IKeMusicPlayer.h"
#include "platform/KeAudioOutput.h"

#include <memory>
#include <string>

namespace kolm {

// What a music ID holds.
struct KeMusic {
    std::string path;
    std::unique_ptr<IKeMusicPlayer> player;
    bool playing = false;  // set by play/resume, cleared by pause/stop
};

// The process-wide music state that engine start-up brings up and shut-down takes down.
struct KeMusicSystem {
    KeIdTable* list = nullptr;  // capacity 50
};
KeMusicSystem& keMusicSystem();

// Creates the music list and brings the audio output up (SDL, falling back to its dummy driver;
// tests pass KeAudioBackend::Null). 0, or -1 after logging "fails to create music list" (ERROR)
// or when no audio output at all can be had. Starting a started system does nothing.
int keMusicSystemStart(KeAudioBackend backend = KeAudioBackend::Sdl);
// Deletes every music, frees the list and shuts the audio output down.
void keMusicSystemStop();

// Volume conversions: attenuation (1/100 dB) = 2000 x log10(percent / 100) truncated, clamped to
// -10000..0 (percent 0, negative or NaN: -10000); percent = 100 x 10^(attenuation / 2000),
// rounded to the nearest integer (so that every percent 0..100 survives a round trip).
int keMusicPercentToAttenuation(double percent);
int keMusicAttenuationToPercent(int attenuation);

// The commands. 0 on success, -1 on failure unless stated.
int keLoadMusic(const char* path, int id);
bool keMusicExist(int id);
int kePlayMusic(int id);    // from the start when already playing
int kePauseMusic(int id);   // only when playing
int keResumeMusic(int id);  // plays on from the current position
int keStopMusic(int id);    // stops and rewinds
int keSetMusicPosition(int id, int ms);
int keGetMusicPosition(int id);  // ms, -1 when unknown
int keSetMusicVolume(int id, double percent);  // percent: 0..100 (see above)
int keMusicVolume(int id);  // percent, -1 for an unknown ID
int keDeleteMusic(int id);

// The record of a registered ID without recording anything (null otherwise); for the engine's
// own use (demo player, viewer, tests).
KeMusic* keMusicGet(int id);

}  // namespace kolm
