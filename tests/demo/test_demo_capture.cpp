// The demo player end to end: kolm plays the one-second test demo in real time and captures it
// and the showcase frame by frame under the test display. Captures are checked for their frame
// count, the fade-in's black first frame, camera shader windows, and determinism (two captures,
// and a capture split in two ranges, give the same bytes).
#include <gtest/gtest.h>

#include "support/scratch_dir.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::string kKolm = std::string(KOLM_BIN_DIR) + "/kolm";
const std::string kSecond = std::string(KOLM_TEST_DATA_DIR) + "/demo/second.demo.ini";
const std::string kShowcase = std::string(KOLM_SOURCE_DIR) + "/examples/showcase/showcase.demo.ini";

// Runs kolm with `args` in `dir`; its exit status, or -1.
int runKolm(const std::string& dir, const std::string& args) {
    const std::string command = "cd '" + dir + "' && CI=true SDL_AUDIODRIVER=dummy ASAN_OPTIONS=\"${ASAN_OPTIONS:-}:detect_leaks=0\" '" +
                                kKolm + "' -windowed 1 -display 320x180 " + args + " </dev/null >kolm.log 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

std::string frame(const std::string& dir, const std::string& base, int k) {
    char name[64];
    std::snprintf(name, sizeof name, "_%06d.bmp", k);
    return readAll(dir + "/" + base + name);
}

int countFrames(const std::string& dir, const std::string& base) {
    int n = 0;
    while (!frame(dir, base, n).empty()) ++n;
    return n;
}

// Mean of all colour bytes of a 24-bit BMP's pixels (0 to 255).
double meanLevel(const std::string& bmp) {
    if (bmp.size() < 54) return -1;
    const size_t offset = static_cast<unsigned char>(bmp[10]) | (static_cast<unsigned char>(bmp[11]) << 8);
    double sum = 0;
    for (size_t i = offset; i < bmp.size(); ++i) sum += static_cast<unsigned char>(bmp[i]);
    return sum / static_cast<double>(bmp.size() - offset);
}

class DemoCapture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.create("/tmp/kolm-demo-gl-")); }
    std::string log() { return readAll(dir.path + "/kolm.log"); }
    ScratchDir dir;
};

TEST_F(DemoCapture, PlaysInRealTimeToItsEnd) {
    EXPECT_EQ(runKolm(dir.path, "'" + kSecond + "'"), 0) << log();
}

TEST_F(DemoCapture, OneSecondAtTenFramesASecond) {
    ASSERT_EQ(runKolm(dir.path, "-cap f -capfps 10 '" + kSecond + "'"), 0) << log();
    ASSERT_EQ(countFrames(dir.path, "f"), 10) << log();
    EXPECT_LT(meanLevel(frame(dir.path, "f", 0)), 4.0);  // the fade-in starts from black
    EXPECT_GT(meanLevel(frame(dir.path, "f", 4)), 10.0);
    // A still scene: after the fade and before the shader two frames are the same; the frame
    // inside the shader's window is not.
    EXPECT_EQ(frame(dir.path, "f", 3), frame(dir.path, "f", 4));
    EXPECT_NE(frame(dir.path, "f", 4), frame(dir.path, "f", 5));
    EXPECT_EQ(frame(dir.path, "f", 5), frame(dir.path, "f", 9));

    // The same capture again, and in two ranges, gives the same bytes.
    ASSERT_EQ(runKolm(dir.path, "-cap again -capfps 10 '" + kSecond + "'"), 0) << log();
    ASSERT_EQ(runKolm(dir.path, "-cap split -capfps 10 -capto 4 '" + kSecond + "'"), 0) << log();
    EXPECT_EQ(countFrames(dir.path, "split"), 4);
    ASSERT_EQ(runKolm(dir.path, "-cap split -capfps 10 -capfrom 4 '" + kSecond + "'"), 0) << log();
    for (int k = 0; k < 10; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(frame(dir.path, "f", k), frame(dir.path, "again", k));
        EXPECT_EQ(frame(dir.path, "f", k), frame(dir.path, "split", k));
    }
    EXPECT_TRUE(frame(dir.path, "split", 10).empty());
}

TEST_F(DemoCapture, Showcase) {
    ASSERT_EQ(runKolm(dir.path, "-cap s -capfps 10 -capwav '" + kShowcase + "'"), 0) << log();
    EXPECT_EQ(countFrames(dir.path, "s"), 180);
    EXPECT_LT(meanLevel(frame(dir.path, "s", 0)), 4.0);
    // 6.3 s and 6.4 s: the main part holds still; from 6.5 s the vignette is on.
    EXPECT_EQ(frame(dir.path, "s", 63), frame(dir.path, "s", 64));
    EXPECT_NE(frame(dir.path, "s", 64), frame(dir.path, "s", 65));
    const std::string wav = readAll(dir.path + "/s.wav");
    EXPECT_EQ(wav.size(), 44u + 180u * 4410u * 4u);
    ASSERT_GT(wav.size(), 44u);
    bool sound = false;
    for (size_t i = 44 + 4 * 44100; i < wav.size() && !sound; ++i) sound = wav[i] != 0;
    EXPECT_TRUE(sound);
    const std::string lines = log();
    EXPECT_NE(lines.find("Start capturing: basename='" + dir.path + "/s' fps=10.000000"), std::string::npos);
    EXPECT_EQ(lines.find("ERROR"), std::string::npos) << lines;

    // Split in two ranges (as machines of a render farm would), pictures and sound join into
    // the whole capture.
    ASSERT_EQ(runKolm(dir.path, "-cap a -capfps 10 -capto 77 -capwav '" + kShowcase + "'"), 0) << log();
    ASSERT_EQ(runKolm(dir.path, "-cap b -capfps 10 -capfrom 77 -capwav '" + kShowcase + "'"), 0) << log();
    EXPECT_EQ(wav.substr(44), readAll(dir.path + "/a.wav").substr(44) + readAll(dir.path + "/b.wav").substr(44));
    for (int k : {0, 76, 77, 120, 179}) {
        SCOPED_TRACE(k);
        EXPECT_EQ(frame(dir.path, "s", k), frame(dir.path, k < 77 ? "a" : "b", k));
    }
    EXPECT_TRUE(frame(dir.path, "a", 77).empty());
    EXPECT_TRUE(frame(dir.path, "b", 76).empty());
}

}  // namespace
