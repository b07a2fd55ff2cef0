// Music player figures:
//   - load time of a 5-minute MP3 (copy, parse, full scan for exact seeking, output opened);
//   - the cost of one position read (done every frame);
//   - the position read every ~16 ms against the wall clock while playing on SDL's dummy
//     driver: its jitter (how far each step differs from the wall-clock step) and its drift.
// The 5-minute stream is the file named by KOLM_BENCH_MP3 when set, else the 3-second test
// fixture repeated 100 times (MP3 frames concatenate into one valid stream).
#include "music/IKeMusicPlayer.h"
#include "platform/KeAudioOutput.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

using namespace kolm;

namespace {

std::vector<uint8_t> readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

const std::vector<uint8_t>& fiveMinutes() {
    static const std::vector<uint8_t> bytes = [] {
        if (const char* path = std::getenv("KOLM_BENCH_MP3")) return readAll(path);
        const std::vector<uint8_t> one = readAll(std::string(KOLM_TEST_DATA_DIR) + "/music/chirp.mp3");
        std::vector<uint8_t> all;
        for (int i = 0; i < 100; ++i) all.insert(all.end(), one.begin(), one.end());
        return all;
    }();
    return bytes;
}

void BM_LoadFiveMinuteMp3(benchmark::State& state) {
    const std::vector<uint8_t>& mp3 = fiveMinutes();
    auto player = keCreateMusicPlayer(std::make_unique<CKeAudioOutputNull>());
    for (auto _ : state) {
        if (player->load(mp3.data(), mp3.size()) != KE_MUSIC_LOADED) {
            state.SkipWithError("load failed");
            break;
        }
    }
    state.counters["length_s"] = double(player->lengthFrames()) / std::max(1, player->sampleRate());
    state.counters["MB"] = double(mp3.size()) / 1e6;
}
BENCHMARK(BM_LoadFiveMinuteMp3)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_GetPositionWhilePlaying(benchmark::State& state) {
    auto output = std::make_unique<CKeAudioOutputNull>();
    CKeAudioOutputNull* out = output.get();
    auto player = keCreateMusicPlayer(std::move(output));
    const std::vector<uint8_t>& mp3 = fiveMinutes();
    player->load(mp3.data(), mp3.size());
    player->play();
    out->pump(1024);
    for (auto _ : state) {
        out->advanceClock(1000);
        benchmark::DoNotOptimize(player->getPosition());
    }
}
BENCHMARK(BM_GetPositionWhilePlaying);

// The same read on SDL while its device thread decodes (the read takes the device lock).
void BM_GetPositionWhilePlayingSdl(benchmark::State& state) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (keAudioInit(KeAudioBackend::Sdl) != 0) {
        state.SkipWithError("no SDL audio");
        return;
    }
    {
        auto player = keCreateMusicPlayer(keCreateAudioOutput());
        const std::vector<uint8_t>& mp3 = fiveMinutes();
        player->load(mp3.data(), mp3.size());
        player->play();
        for (auto _ : state) benchmark::DoNotOptimize(player->getPosition());
    }
    keAudioShutdown();
}
BENCHMARK(BM_GetPositionWhilePlayingSdl);

// Reads the position every ~16 ms for 5 s of playback on SDL's dummy driver.
void BM_PositionJitterDummyDriver(benchmark::State& state) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (keAudioInit(KeAudioBackend::Sdl) != 0) {
        state.SkipWithError("no SDL audio");
        return;
    }
    using Clock = std::chrono::steady_clock;
    double worstStep = 0, sumSq = 0, drift = 0;
    int steps = 0;
    for (auto _ : state) {
        auto player = keCreateMusicPlayer(keCreateAudioOutput());
        const std::vector<uint8_t>& mp3 = fiveMinutes();
        if (!player || player->load(mp3.data(), mp3.size()) != KE_MUSIC_LOADED) {
            state.SkipWithError("load failed");
            break;
        }
        player->play();
        // Wait for the device to take its first buffer, then measure.
        while (player->getPosition() <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const auto t0 = Clock::now();
        const int p0 = player->getPosition();
        auto prevT = t0;
        int prevP = p0;
        auto next = t0;
        for (int i = 0; i < 5000 / 16; ++i) {
            next += std::chrono::milliseconds(16);
            std::this_thread::sleep_until(next);
            const auto t = Clock::now();
            const int p = player->getPosition();
            const double wallStep = std::chrono::duration<double, std::milli>(t - prevT).count();
            const double err = (p - prevP) - wallStep;
            worstStep = std::max(worstStep, std::abs(err));
            sumSq += err * err;
            ++steps;
            prevT = t;
            prevP = p;
        }
        drift = (prevP - p0) - std::chrono::duration<double, std::milli>(prevT - t0).count();
        player.reset();
    }
    keAudioShutdown();
    state.counters["step_err_max_ms"] = worstStep;
    state.counters["step_err_rms_ms"] = steps ? std::sqrt(sumSq / steps) : 0;
    state.counters["drift_ms_over_5s"] = drift;
}
BENCHMARK(BM_PositionJitterDummyDriver)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
