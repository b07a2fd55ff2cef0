// Outside bytes handed to the music player as an MP3 block: load (parse and full scan), then
// decode a little from the start and after a seek, as playback would.
#include "music/IKeMusicPlayer.h"
#include "platform/KeAudioOutput.h"

#include <cstddef>
#include <cstdint>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20) return 0;
    auto output = std::make_unique<kolm::CKeAudioOutputNull>();
    kolm::CKeAudioOutputNull* out = output.get();
    auto player = kolm::keCreateMusicPlayer(std::move(output));
    if (!player || player->load(data, size) != kolm::KE_MUSIC_LOADED) return 0;
    player->play();
    for (int i = 0; i < 4; ++i) out->pump(1024);
    const int64_t lengthMs = player->lengthFrames() * 1000 / player->sampleRate();
    player->setPosition(static_cast<int>(lengthMs / 2));
    out->pump(1024);
    player->pause();
    player->setVolume(-602);
    player->play();
    out->pump(1024);
    player->stop();
    return 0;
}
