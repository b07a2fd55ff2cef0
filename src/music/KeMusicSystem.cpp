#include "music/KeMusicSystem.h"

#include "core/KeError.h"

namespace kolm {

namespace {
KeMusicSystem g_music;
}  // namespace

KeMusicSystem& keMusicSystem() { return g_music; }

void keMusicDestroy(KeMusic* music) {
    if (!music) return;
    if (music->playing) music->player->stop();
    delete music;
}

int keMusicSystemStart(KeAudioBackend backend) {
    if (g_music.list) return 0;
    if (keAudioInit(backend) != 0) return -1;
    g_music.list = keIdTableCreate<KeMusic>(KE_MUSIC_LIST_CAPACITY);
    if (!g_music.list) {
        printMessage(KE_ERROR, "fails to create music list");
        keAudioShutdown();
        return -1;
    }
    printMessage(KE_DEBUG, "music output: %s", keAudioDriverName());
    return 0;
}

void keMusicSystemStop() {
    if (g_music.list) {
        for (int id = 0; id <= keIdTableHighestId(g_music.list); ++id) {
            if (auto* music = keIdTableGet(g_music.list, id)) {
                keIdTableRemove(g_music.list, id);
                keMusicDestroy(music);
            }
        }
        keIdTableFree(g_music.list);
        g_music.list = nullptr;
    }
    keAudioShutdown();
}

}  // namespace kolm
