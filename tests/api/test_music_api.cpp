// The music commands over the null audio output: IDs, messages, play/pause/stop semantics,
// volume conversions, failures that must leave nothing behind.
#include "api/KeMusicApi.h"
#include "core/KeError.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <string>
#include <unistd.h>

using namespace kolm;

namespace {

const std::string kChirp = std::string(KOLM_TEST_DATA_DIR) + "/music/chirp.mp3";  // 3 s, 22050 Hz

class MusicApi : public ::testing::Test {
protected:
    void SetUp() override {
        keResetErrorReporter();
        keSetLogSink([](const char*, void*) {}, nullptr);
        ASSERT_EQ(keMusicSystemStart(KeAudioBackend::Null), 0);
    }
    void TearDown() override {
        keMusicSystemStop();
        keResetErrorReporter();
        for (const std::string& f : tempFiles) std::remove(f.c_str());
    }
    std::string lastError(int* index = nullptr) {
        const char* text = takeLastError(index);
        std::string s = text ? text : "";
        clearLastError();
        return s;
    }
    std::string tempFile(const std::string& content) {
        char name[] = "/tmp/kolm_music_XXXXXX";
        const int fd = mkstemp(name);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(write(fd, content.data(), content.size()), ssize_t(content.size()));
        close(fd);
        tempFiles.push_back(name);
        return name;
    }
    CKeAudioOutputNull& output(int id) {
        return *static_cast<CKeAudioOutputNull*>(keMusicGet(id)->player->output());
    }
    // One 20 ms device period of music `id`, then 20 ms pass.
    void period(int id) {
        output(id).pump(441);
        output(id).advanceMs(20);
    }
    std::vector<std::string> tempFiles;
};

TEST_F(MusicApi, LoadRegistersTheIdOrSaysWhyNot) {
    int index = 0;
    ASSERT_EQ(keLoadMusic(kChirp.c_str(), 49), 0) << lastError();
    EXPECT_TRUE(keMusicExist(49));
    EXPECT_EQ(keMusicGet(49)->path, kChirp);
    EXPECT_FALSE(keMusicGet(49)->playing);
    EXPECT_EQ(keGetMusicPosition(49), 0);

    struct Case {
        int id;
        const char* message;
    };
    const Case cases[] = {
        {50, "invalid Music ID 50 : invalid ID 50 greater or equals than 50"},
        {-1, "invalid Music ID -1 : invalid negative ID -1"},
        {49, "invalid Music ID 49 : id 49 already exist"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(keLoadMusic(kChirp.c_str(), c.id), -1);
        EXPECT_EQ(lastError(&index), c.message);
        EXPECT_EQ(index, 2);
    }
    EXPECT_EQ(keMusicGet(49)->path, kChirp) << "the first music stays";
}

TEST_F(MusicApi, FailedLoadsFreeTheirId) {
    const std::string text = tempFile(std::string(5000, 'a'));
    const std::string empty = tempFile("");
    struct Case {
        std::string path;
        std::string message;
        int index;
    };
    const Case cases[] = {
        {text, "Failed to load mp3", -1},
        {empty, "Failed to load mp3", -1},
        {"/nonexistent/music.mp3", "Failed to read music file '/nonexistent/music.mp3'", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        int index = 0;
        EXPECT_EQ(keLoadMusic(c.path.c_str(), 5), -1);
        EXPECT_EQ(lastError(&index), c.message);
        EXPECT_EQ(index, c.index);
        EXPECT_FALSE(keMusicExist(5));
    }
    EXPECT_EQ(keLoadMusic(kChirp.c_str(), 5), 0) << "the ID is free again";
}

TEST_F(MusicApi, UnknownIdsAreReportedByEveryCommand) {
    const std::function<int()> commands[] = {
        [] { return kePlayMusic(7); },          [] { return kePauseMusic(7); },
        [] { return keResumeMusic(7); },        [] { return keStopMusic(7); },
        [] { return keSetMusicPosition(7, 0); }, [] { return keGetMusicPosition(7); },
        [] { return keSetMusicVolume(7, 50); }, [] { return keMusicVolume(7); },
        [] { return keDeleteMusic(7); },
    };
    for (const auto& command : commands) {
        int index = 0;
        EXPECT_EQ(command(), -1);
        const std::string message = lastError(&index);
        EXPECT_EQ(message.rfind("Music ID 7 does not exist. ", 0), 0u) << message;
        EXPECT_EQ(index, 1);
    }
    EXPECT_EQ(keGetMusicPosition(60), -1);
    EXPECT_EQ(lastError(), "Music ID 60 does not exist. invalid ID 60 greater or equals than 50");
    // MusicExist only answers.
    for (int id : {7, -3, 50, 1000}) EXPECT_FALSE(keMusicExist(id));
    EXPECT_EQ(lastError(), "");
}

TEST_F(MusicApi, PlayPauseResumeStop) {
    ASSERT_EQ(keLoadMusic(kChirp.c_str(), 1), 0);
    ASSERT_EQ(kePlayMusic(1), 0);
    EXPECT_TRUE(keMusicGet(1)->playing);
    period(1);
    period(1);
    EXPECT_EQ(keGetMusicPosition(1), 40);

    ASSERT_EQ(kePauseMusic(1), 0);
    EXPECT_FALSE(keMusicGet(1)->playing);
    period(1);
    EXPECT_EQ(keGetMusicPosition(1), 40);
    EXPECT_EQ(kePauseMusic(1), 0) << "pausing a paused music does nothing";
    EXPECT_EQ(keGetMusicPosition(1), 40);

    ASSERT_EQ(keResumeMusic(1), 0);
    EXPECT_TRUE(keMusicGet(1)->playing);
    period(1);
    EXPECT_EQ(keGetMusicPosition(1), 60);

    ASSERT_EQ(kePlayMusic(1), 0) << "play while playing starts over";
    EXPECT_EQ(keGetMusicPosition(1), 0);
    period(1);
    EXPECT_EQ(keGetMusicPosition(1), 20);

    ASSERT_EQ(keSetMusicPosition(1, 1234), 0);
    EXPECT_EQ(keGetMusicPosition(1), 1234);
    EXPECT_EQ(keSetMusicPosition(1, -5), -1);

    ASSERT_EQ(keStopMusic(1), 0);
    EXPECT_FALSE(keMusicGet(1)->playing);
    EXPECT_EQ(keGetMusicPosition(1), 0);
    period(1);
    EXPECT_EQ(keGetMusicPosition(1), 0);
}

TEST(MusicVolume, PercentAndAttenuationConvert) {
    struct Case {
        double percent;
        int attenuation;
        int back;
    };
    const Case cases[] = {
        {100, 0, 100},      {50, -602, 50},        {10, -2000, 10},
        {1, -4000, 1},      {0.001, -10000, 0},    {0, -10000, 0},
        {-20, -10000, 0},   {150, 0, 100},         {std::numeric_limits<double>::quiet_NaN(), -10000, 0},
        {std::numeric_limits<double>::infinity(), 0, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.percent);
        EXPECT_EQ(keMusicPercentToAttenuation(c.percent), c.attenuation);
        EXPECT_EQ(keMusicAttenuationToPercent(c.attenuation), c.back);
    }
    for (int percent = 0; percent <= 100; ++percent)
        EXPECT_EQ(keMusicAttenuationToPercent(keMusicPercentToAttenuation(percent)), percent);
}

TEST_F(MusicApi, VolumeCommandsRoundTrip) {
    ASSERT_EQ(keLoadMusic(kChirp.c_str(), 2), 0);
    EXPECT_EQ(keMusicVolume(2), 100);
    ASSERT_EQ(keSetMusicVolume(2, 50), 0);
    EXPECT_EQ(keMusicGet(2)->player->getVolume(), -602);
    EXPECT_EQ(keMusicVolume(2), 50);
    ASSERT_EQ(keSetMusicVolume(2, 0), 0);
    EXPECT_EQ(keMusicGet(2)->player->getVolume(), -10000);
    EXPECT_EQ(keMusicVolume(2), 0);
    ASSERT_EQ(keSetMusicVolume(2, std::nan("")), 0);
    EXPECT_EQ(keMusicVolume(2), 0);
}

TEST_F(MusicApi, DeleteReleasesEverything) {
    ASSERT_EQ(keLoadMusic(kChirp.c_str(), 4), 0);
    ASSERT_EQ(keLoadMusic(kChirp.c_str(), 6), 0);
    kePlayMusic(4);
    period(4);
    ASSERT_EQ(keDeleteMusic(4), 0);
    EXPECT_FALSE(keMusicExist(4));
    EXPECT_EQ(keDeleteMusic(4), -1);
    EXPECT_EQ(lastError().rfind("Music ID 4 does not exist. ", 0), 0u);
    EXPECT_EQ(keLoadMusic(kChirp.c_str(), 4), 0);
    kePlayMusic(6);
    // Shut-down (TearDown) deletes what is left, playing or not; the sanitizer build checks
    // that nothing leaks.
}

TEST(MusicSystem, CommandsBeforeStartUpFailCleanly) {
    keResetErrorReporter();
    keSetLogSink([](const char*, void*) {}, nullptr);
    EXPECT_EQ(keLoadMusic(kChirp.c_str(), 1), -1);
    EXPECT_STREQ(takeLastError(nullptr), "invalid Music ID 1 : no ID table");
    EXPECT_EQ(kePlayMusic(1), -1);
    EXPECT_FALSE(keMusicExist(1));
    keResetErrorReporter();
}

}  // namespace
