// The music player over the null audio output (exact, clock driven by the test) and over SDL's
// dummy driver (real time, as on a machine without a sound card).
#include "music/IKeMusicPlayer.h"
#include "platform/KeAudioOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace kolm;

namespace {

// 3 s stereo at 22050 Hz: a rising chirp (200 -> 2000 Hz) on the left, a falling one
// (1800 -> 300 Hz) on the right, so every offset and channel sounds different.
constexpr int kRate = 22050;
constexpr int64_t kFrames = 3 * kRate;
constexpr int kPeriod = 441;  // 20 ms

std::vector<uint8_t> readFixture(const char* name) {
    std::ifstream in(std::string(KOLM_TEST_DATA_DIR) + "/music/" + name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

const std::vector<uint8_t>& chirp() {
    static const std::vector<uint8_t> bytes = readFixture("chirp.mp3");
    return bytes;
}

int msOf(int64_t frames) { return static_cast<int>(frames * 1000 / kRate); }

struct NullPlayer {
    NullPlayer() {
        auto output = std::make_unique<CKeAudioOutputNull>();
        out = output.get();
        player = keCreateMusicPlayer(std::move(output));
    }
    // Plays from the current position until the end, one period at a time; the interleaved
    // frames heard.
    std::vector<float> playToEnd() {
        std::vector<float> heard;
        player->play();
        while (player->getPosition() < msOf(player->lengthFrames())) {
            out->pump(kPeriod);
            heard.insert(heard.end(), out->lastBuffer().begin(), out->lastBuffer().end());
            out->advanceClock(int64_t(kPeriod) * 1000000000 / kRate);
        }
        return heard;
    }
    std::unique_ptr<IKeMusicPlayer> player;
    CKeAudioOutputNull* out = nullptr;
};

// The whole stream decoded once from the start (interleaved), shared by the exactness tests.
const std::vector<float>& reference() {
    static const std::vector<float> samples = [] {
        NullPlayer p;
        p.player->load(chirp().data(), chirp().size());
        std::vector<float> heard = p.playToEnd();
        heard.resize(static_cast<size_t>(p.player->lengthFrames()) * 2);
        return heard;
    }();
    return samples;
}

int zeroCrossings(const std::vector<float>& s, int channel, int64_t from, int64_t to) {
    int n = 0;
    for (int64_t i = from + 1; i < to; ++i) n += (s[i * 2 + channel] >= 0) != (s[(i - 1) * 2 + channel] >= 0);
    return n;
}

// Largest difference between `frames` frames of got and the reference at frame `at`.
float maxDiff(const std::vector<float>& got, int64_t at, int frames) {
    float worst = 0;
    for (int i = 0; i < frames * 2; ++i) worst = std::max(worst, std::abs(got[i] - reference()[at * 2 + i]));
    return worst;
}

TEST(MusicPlayer, DecodesTheFixtureToItsExactLengthWithBothChannels) {
    ASSERT_FALSE(chirp().empty()) << "missing tests/data/music/chirp.mp3";
    NullPlayer p;
    ASSERT_EQ(p.player->load(chirp().data(), chirp().size()), KE_MUSIC_LOADED);
    EXPECT_EQ(p.player->sampleRate(), kRate);
    EXPECT_EQ(p.player->channels(), 2);
    EXPECT_EQ(p.player->lengthFrames(), kFrames);  // encoder delay and padding removed

    const std::vector<float>& s = reference();
    ASSERT_EQ(s.size(), size_t(kFrames) * 2);
    float peak = 0;
    for (float v : s) peak = std::max(peak, std::abs(v));
    EXPECT_GT(peak, 0.2f);
    EXPECT_LT(peak, 0.6f);
    // Left rises, right falls: each channel carries its own chirp, in order.
    const int64_t half = kRate / 2;
    EXPECT_GT(zeroCrossings(s, 1, 0, half), 2 * zeroCrossings(s, 0, 0, half));
    EXPECT_GT(zeroCrossings(s, 0, kFrames - half, kFrames), 2 * zeroCrossings(s, 1, kFrames - half, kFrames));
}

TEST(MusicPlayer, NothingHappensBeforeALoad) {
    NullPlayer p;
    ASSERT_TRUE(p.player);
    p.player->play();
    p.player->pause();
    p.player->stop();
    p.player->setVolume(-500);
    EXPECT_EQ(p.player->getPosition(), -1);
    EXPECT_EQ(p.player->setPosition(100), -1);
    EXPECT_EQ(p.player->getVolume(), 0);
    EXPECT_FALSE(p.player->isPlaying());
    EXPECT_FALSE(p.out->isOpen());
    EXPECT_EQ(keCreateMusicPlayer(nullptr), nullptr);
}

TEST(MusicPlayer, PositionFollowsTheDeviceAndFreezesWhilePaused) {
    NullPlayer p;
    ASSERT_EQ(p.player->load(chirp().data(), chirp().size()), KE_MUSIC_LOADED);
    CKeAudioOutputNull& out = *p.out;
    EXPECT_EQ(p.player->getPosition(), 0);
    p.player->play();
    EXPECT_FALSE(out.isPaused());
    out.advanceMs(7);
    EXPECT_EQ(p.player->getPosition(), 0) << "nothing handed to the device yet";

    out.pump(kPeriod);  // frames 0..440 handed at t = 7 ms
    EXPECT_EQ(p.player->getPosition(), 0);
    out.advanceMs(10);
    EXPECT_EQ(p.player->getPosition(), 10) << "advances between callbacks";
    out.advanceMs(15);
    EXPECT_EQ(p.player->getPosition(), 20) << "never beyond what was handed";
    out.pump(kPeriod);  // a late callback: continues from the same value
    EXPECT_EQ(p.player->getPosition(), 20);
    out.advanceMs(6);
    EXPECT_EQ(p.player->getPosition(), 26);

    p.player->pause();
    EXPECT_TRUE(out.isPaused());
    out.advanceMs(500);
    out.pump(kPeriod);  // a paused device asks for nothing
    EXPECT_EQ(p.player->getPosition(), 26);
    EXPECT_FALSE(p.player->isPlaying());

    // Playing on starts at the first frame at or after the frozen time.
    const int64_t frozen = (26 * kRate + 999) / 1000;
    p.player->play();
    EXPECT_EQ(p.player->getPosition(), 26);
    out.pump(kPeriod);
    EXPECT_LT(maxDiff(out.lastBuffer(), frozen, kPeriod), 1e-4f);
}

TEST(MusicPlayer, PositionNeverGoesBackWhilePlaying) {
    NullPlayer p;
    ASSERT_EQ(p.player->load(chirp().data(), chirp().size()), KE_MUSIC_LOADED);
    std::mt19937 rng(5);
    p.player->play();
    int last = 0;
    for (int step = 0; step < 2000; ++step) {
        switch (rng() % 3) {
            case 0: p.out->pump(kPeriod); break;
            case 1: p.out->advanceClock(int64_t(rng() % 30000000)); break;
            default: p.out->advanceClock(-int64_t(rng() % 3000000)); break;  // a clock that jitters back
        }
        const int pos = p.player->getPosition();
        ASSERT_GE(pos, last) << "step " << step;
        ASSERT_LE(pos, 3000);
        last = pos;
    }
}

TEST(MusicPlayer, SeeksAreExactAndSampleAccurate) {
    NullPlayer p;
    ASSERT_EQ(p.player->load(chirp().data(), chirp().size()), KE_MUSIC_LOADED);
    for (int ms : {0, 1, 17, 1234, 2000, 2500, 2979}) {
        SCOPED_TRACE(ms);
        for (bool playing : {false, true}) {
            if (playing) p.player->play();
            ASSERT_EQ(p.player->setPosition(ms), 0);
            EXPECT_EQ(p.player->getPosition(), ms);
            if (!playing) p.player->play();
            p.out->pump(kPeriod);
            const int64_t at = (int64_t(ms) * kRate + 999) / 1000;
            EXPECT_LT(maxDiff(p.out->lastBuffer(), at, kPeriod), 1e-4f);
            // One frame off would differ plainly: the check can tell.
            if (at + 1 + kPeriod <= kFrames) {
                EXPECT_GT(maxDiff(p.out->lastBuffer(), at + 1, kPeriod), 1e-2f);
            }
            p.player->pause();
        }
    }
    EXPECT_EQ(p.player->setPosition(-1), -1);
    EXPECT_EQ(p.player->setPosition(60000), 0);
    EXPECT_EQ(p.player->getPosition(), 3000);
}

TEST(MusicPlayer, StopRewindsAndTheEndHoldsStill) {
    NullPlayer p;
    ASSERT_EQ(p.player->load(chirp().data(), chirp().size()), KE_MUSIC_LOADED);
    p.player->setPosition(2990);
    p.player->play();
    for (int i = 0; i < 5; ++i) {
        p.out->pump(kPeriod);
        p.out->advanceMs(20);
    }
    EXPECT_EQ(p.player->getPosition(), 3000);
    const std::vector<float>& tail = p.out->lastBuffer();
    EXPECT_TRUE(std::all_of(tail.begin(), tail.end(), [](float v) { return v == 0.0f; })) << "silence after the end";

    p.player->stop();
    EXPECT_EQ(p.player->getPosition(), 0);
    EXPECT_TRUE(p.out->isPaused());
    p.player->play();
    p.out->pump(kPeriod);
    EXPECT_LT(maxDiff(p.out->lastBuffer(), 0, kPeriod), 1e-4f);
}

TEST(MusicPlayer, VolumeScalesTheOutputAndIsClamped) {
    NullPlayer p;
    ASSERT_EQ(p.player->load(chirp().data(), chirp().size()), KE_MUSIC_LOADED);
    struct Case {
        int set;
        int get;
        float gain;
    };
    const Case cases[] = {{0, 0, 1.0f},           {-602, -602, 0.5f},      {-2000, -2000, 0.1f},
                          {-10000, -10000, 0.0f}, {-20000, -10000, 0.0f}, {300, 0, 1.0f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.set);
        p.player->setVolume(c.set);
        EXPECT_EQ(p.player->getVolume(), c.get);
        p.player->setPosition(1000);
        p.player->play();
        p.out->pump(kPeriod);
        const int64_t at = 1000 * kRate / 1000;
        float worst = 0;
        for (int i = 0; i < kPeriod * 2; ++i)
            worst = std::max(worst, std::abs(p.out->lastBuffer()[i] - c.gain * reference()[at * 2 + i]));
        EXPECT_LT(worst, 1e-3f);
        p.player->pause();
    }
}

TEST(MusicPlayer, DataThatIsNotMp3FailsCleanly) {
    std::mt19937 rng(11);
    std::vector<uint8_t> noise(64 * 1024);
    for (auto& b : noise) b = uint8_t(rng());
    const std::string text(20000, 'x');
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    png.resize(4096, 0);
    std::vector<uint8_t> id3Only = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 10};
    id3Only.resize(20, 0);
    std::vector<uint8_t> ones(4096, 0xff);
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"empty", {}},
        {"text", std::vector<uint8_t>(text.begin(), text.end())},
        {"noise", noise},
        {"png header", png},
        {"ID3 tag alone", id3Only},
        {"all sync bits", ones},
        {"first bytes of an mp3", std::vector<uint8_t>(chirp().begin(), chirp().begin() + 40)},
    };
    NullPlayer p;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(p.player->load(c.bytes.data(), c.bytes.size()), KE_MUSIC_NOT_MP3);
        EXPECT_FALSE(p.player->isLoaded());
        EXPECT_FALSE(p.out->isOpen());
        EXPECT_EQ(p.player->getPosition(), -1);
    }
    EXPECT_EQ(p.player->load(nullptr, 100), KE_MUSIC_NOT_MP3);
    // The same player still loads real data afterwards, and again over a loaded one.
    ASSERT_EQ(p.player->load(chirp().data(), chirp().size()), KE_MUSIC_LOADED);
    p.player->setPosition(500);
    ASSERT_EQ(p.player->load(chirp().data(), chirp().size()), KE_MUSIC_LOADED);
    EXPECT_EQ(p.player->getPosition(), 0);
    p.player->release();
    EXPECT_EQ(p.player->getPosition(), -1);
}

TEST(MusicPlayer, KeepsItsOwnCopyOfTheBlock) {
    std::vector<uint8_t> block = chirp();
    NullPlayer p;
    ASSERT_EQ(p.player->load(block.data(), block.size()), KE_MUSIC_LOADED);
    std::fill(block.begin(), block.end(), 0);
    block.clear();
    block.shrink_to_fit();
    p.player->setPosition(1500);
    p.player->play();
    p.out->pump(kPeriod);
    EXPECT_LT(maxDiff(p.out->lastBuffer(), 1500 * kRate / 1000, kPeriod), 1e-4f);
}

// --- SDL, dummy driver: real time, a real device thread ------------------------------------------

class SdlDummy : public ::testing::Test {
protected:
    void SetUp() override {
        const char* preset = std::getenv("SDL_AUDIODRIVER");
        saved = preset ? preset : "";
        hadPreset = preset != nullptr;
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        ASSERT_EQ(keAudioInit(KeAudioBackend::Sdl), 0);
    }
    void TearDown() override {
        keAudioShutdown();
        if (hadPreset)
            setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
        else
            unsetenv("SDL_AUDIODRIVER");
    }
    std::string saved;
    bool hadPreset = false;
};

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Waits (up to a generous deadline, never asserting a rate: bench_music measures that) until the
// position passes `after`; the last position read.
int waitPast(IKeMusicPlayer& player, int after) {
    int pos = player.getPosition();
    for (int i = 0; i < 1000 && pos <= after; ++i) {
        sleepMs(5);
        const int next = player.getPosition();
        EXPECT_GE(next, pos);  // monotonic while playing
        pos = next;
    }
    return pos;
}

TEST_F(SdlDummy, PlaysPausesResumesAndStops) {
    EXPECT_STREQ(keAudioDriverName(), "dummy");
    auto player = keCreateMusicPlayer(keCreateAudioOutput());
    ASSERT_TRUE(player);
    ASSERT_EQ(player->load(chirp().data(), chirp().size()), KE_MUSIC_LOADED);
    ASSERT_EQ(player->setPosition(1000), 0);
    EXPECT_EQ(player->getPosition(), 1000);

    player->play();
    const int last = waitPast(*player, 1000 + 50);
    EXPECT_GT(last, 1000 + 50) << "the device thread never consumed audio";

    player->pause();
    const int paused = player->getPosition();
    EXPECT_GE(paused, last);
    sleepMs(100);
    EXPECT_EQ(player->getPosition(), paused);

    player->play();
    EXPECT_GT(waitPast(*player, paused), paused) << "playback did not resume";

    player->stop();
    EXPECT_EQ(player->getPosition(), 0);
    sleepMs(60);
    EXPECT_EQ(player->getPosition(), 0);
}

TEST_F(SdlDummy, ReleasingWhileTheDeviceDecodesIsSafe) {
    // Under the address sanitizer this catches a decoder freed under the device thread.
    for (int i = 0; i < 10; ++i) {
        auto player = keCreateMusicPlayer(keCreateAudioOutput());
        ASSERT_EQ(player->load(chirp().data(), chirp().size()), KE_MUSIC_LOADED);
        player->play();
        sleepMs(i * 3);
        if (i % 2) player->release();
        player.reset();
    }
}

TEST(AudioOutput, FallsBackToTheDummyDriverWhenTheDefaultFails) {
    const char* preset = std::getenv("SDL_AUDIODRIVER");
    const std::string saved = preset ? preset : "";
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    ASSERT_EQ(keAudioInit(KeAudioBackend::Sdl), 0);
    EXPECT_STREQ(keAudioDriverName(), "dummy");
    auto player = keCreateMusicPlayer(keCreateAudioOutput());
    EXPECT_EQ(player->load(chirp().data(), chirp().size()), KE_MUSIC_LOADED);
    player.reset();
    keAudioShutdown();
    if (preset)
        setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
    else
        unsetenv("SDL_AUDIODRIVER");
}

TEST(AudioOutput, DefaultDriverOrItsFallbackAlwaysGivesAnOutput) {
    // Whatever this machine has (a sound card, a sound server, or a driver that comes up but
    // opens no device), a music loads; the device stays paused, so nothing is heard.
    const char* preset = std::getenv("SDL_AUDIODRIVER");
    const std::string saved = preset ? preset : "";
    unsetenv("SDL_AUDIODRIVER");
    ASSERT_EQ(keAudioInit(KeAudioBackend::Sdl), 0);
    auto player = keCreateMusicPlayer(keCreateAudioOutput());
    EXPECT_EQ(player->load(chirp().data(), chirp().size()), KE_MUSIC_LOADED);
    EXPECT_STRNE(keAudioDriverName(), "");
    player.reset();
    keAudioShutdown();
    if (preset) setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
}

}  // namespace
