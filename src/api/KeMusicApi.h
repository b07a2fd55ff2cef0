// Music commands of the object API: musics registered under IDs 0..49 in the music list, each
// an MP3 file read whole into memory and played by its own IKeMusicPlayer.
//
// The music list itself is the music module's (music/KeMusicSystem.h), brought up and down by
// engine start-up and shut-down. Files are read whole through the kfile layer (plain files or a
// mounted archive, whichever the file system set-up installed).
//
// Unknown IDs record "Music ID %d does not exist. %s" with index 1 and return -1 (false for
// keMusicExist, which never records anything).
#pragma once

#include "music/KeMusicSystem.h"

namespace kolm {

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
