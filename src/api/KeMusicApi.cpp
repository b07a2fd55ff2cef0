#include "api/KeMusicApi.h"

#include "core/KeIdTableKinds.h"
#include "core/KeError.h"
#include "files/KeReadFile.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace kolm {

namespace {

KeMusicSystem& g_music = keMusicSystem();

// Step 1 of every command on an existing ID.
KeMusic* lookup(int id) {
    return keIdLookup(g_music.list, KeIdKind::Music, id, 1);
}

void destroy(KeMusic* music) { keMusicDestroy(music); }

}  // namespace

int keMusicPercentToAttenuation(double percent) {
    // Also catches NaN: log10 only ever sees a positive number.
    if (!(percent > 0.0)) return KE_MUSIC_SILENT;
    if (percent >= 100.0) return KE_MUSIC_FULL;
    const double attenuation = 2000.0 * std::log10(percent / 100.0);
    if (attenuation <= KE_MUSIC_SILENT) return KE_MUSIC_SILENT;
    return static_cast<int>(attenuation);  // toward zero
}

int keMusicAttenuationToPercent(int attenuation) {
    if (attenuation >= KE_MUSIC_FULL) return 100;
    if (attenuation < KE_MUSIC_SILENT) attenuation = KE_MUSIC_SILENT;
    return static_cast<int>(std::lround(100.0 * std::pow(10.0, attenuation / 2000.0)));
}

int keLoadMusic(const char* path, int id) {
    auto* music = new KeMusic;
    if (keIdRegister(g_music.list, KeIdKind::Music, id, music, 2) != 0) {
        delete music;
        return -1;
    }
    // From here on every failure releases the ID again.
    auto fail = [&]() {
        keIdTableRemove(g_music.list, id);
        delete music;
        return -1;
    };
    music->path = path ? path : "";
    // Through the engine's file layer, so that musics inside a mounted archive load like plain
    // files. An empty file reads fine (and then fails as MP3 data).
    std::string bytes;
    if (!path || !keReadWholeFile(path, bytes)) {
        recordError(1, "Failed to read music file '%s'", music->path.c_str());
        return fail();
    }
    music->player = keCreateMusicPlayer(keCreateAudioOutput());
    if (!music->player) {
        recordError(-1, "Failed to create mp3 renderer");
        return fail();
    }
    const int loaded = music->player->load(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    if (loaded == KE_MUSIC_NO_OUTPUT) {
        recordError(-1, "Failed to create mp3 renderer");
        return fail();
    }
    if (loaded != KE_MUSIC_LOADED) {
        recordError(-1, "Failed to load mp3");
        return fail();
    }
    return 0;  // the file buffer goes here; the player keeps its own copy
}

bool keMusicExist(int id) { return keIdExists(g_music.list, id); }

int kePlayMusic(int id) {
    KeMusic* music = lookup(id);
    if (!music) return -1;
    if (music->playing) music->player->stop();
    music->player->play();
    music->playing = true;
    return 0;
}

int kePauseMusic(int id) {
    KeMusic* music = lookup(id);
    if (!music) return -1;
    if (music->playing) {
        music->player->pause();
        music->playing = false;
    }
    return 0;
}

int keResumeMusic(int id) {
    KeMusic* music = lookup(id);
    if (!music) return -1;
    music->player->play();
    music->playing = true;
    return 0;
}

int keStopMusic(int id) {
    KeMusic* music = lookup(id);
    if (!music) return -1;
    music->player->stop();
    music->playing = false;
    return 0;
}

int keSetMusicPosition(int id, int ms) {
    KeMusic* music = lookup(id);
    if (!music) return -1;
    return music->player->setPosition(ms);
}

int keGetMusicPosition(int id) {
    KeMusic* music = lookup(id);
    if (!music) return -1;
    return music->player->getPosition();
}

int keSetMusicVolume(int id, double percent) {
    KeMusic* music = lookup(id);
    if (!music) return -1;
    music->player->setVolume(keMusicPercentToAttenuation(percent));
    return 0;
}

int keMusicVolume(int id) {
    KeMusic* music = lookup(id);
    if (!music) return -1;
    return keMusicAttenuationToPercent(music->player->getVolume());
}

int keDeleteMusic(int id) {
    KeMusic* music = lookup(id);
    if (!music) return -1;
    keIdTableRemove(g_music.list, id);
    destroy(music);
    return 0;
}

KeMusic* keMusicGet(int id) {
    return keIdExists(g_music.list, id) ? keIdTableGet(g_music.list, id) : nullptr;
}

}  // namespace kolm
