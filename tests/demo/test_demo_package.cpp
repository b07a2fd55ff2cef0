// A packaged demo plays what it carries: the showcase packed into one executable (and into an
// executable with a side ".dat" file), copied alone into an empty folder, captures the very
// frames of the unpacked showcase, whole or in a range. The folder holds nothing but the package and the setup file
// that gives both captures the same small window.
#include <gtest/gtest.h>

#include "support/scratch_dir.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

const std::string kKolm = std::string(KOLM_BIN_DIR) + "/kolm";
const std::string kShowcase = std::string(KOLM_SOURCE_DIR) + "/examples/showcase/showcase.demo.ini";

std::string readAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

std::string frame(const std::string& dir, int k) {
    char name[32];
    std::snprintf(name, sizeof name, "/c_%06d.bmp", k);
    return readAll(dir + name);
}

class DemoPackage : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.create("/tmp/kolm-package-gl-")); }

    // A folder of its own with the setup file: 320 x 180 in a window.
    std::string folder(const std::string& name) {
        const std::string f = dir.path + "/" + name;
        fs::create_directories(f);
        std::ofstream(f + "/kolm-setup.ini") << "[Setup]\ndisplay = 320 180 32\nwindowed = yes\n";
        return f;
    }

    // Runs `program args` in `where`; its exit status, or -1. Its output goes to kolm.log there.
    static int run(const std::string& where, const std::string& program, const std::string& args) {
        const std::string command = "cd '" + where + "' && CI=true SDL_AUDIODRIVER=dummy ASAN_OPTIONS=\"${ASAN_OPTIONS:-}:detect_leaks=0\" '" +
                                    program + "' " + args + " </dev/null >kolm.log 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // The unpacked and the packaged capture of the same range: same frames, byte for byte.
    void expectSameCapture(const std::string& unpacked, const std::string& packed, int from, int to) {
        int compared = 0;
        for (int k = from; k < to; ++k, ++compared) {
            const std::string want = frame(unpacked, k);
            ASSERT_FALSE(want.empty()) << "unpacked frame " << k;
            ASSERT_TRUE(want == frame(packed, k)) << "frame " << k << " differs";
        }
        EXPECT_TRUE(frame(packed, to).empty());
        EXPECT_EQ(compared, to - from);
        const std::string log = readAll(packed + "/kolm.log");
        EXPECT_NE(log.find("INFO : setup filesystem irrzip"), std::string::npos) << log;
        EXPECT_EQ(log.find("ERROR"), std::string::npos) << log;
    }

    ScratchDir dir;
};

TEST_F(DemoPackage, PackagedShowcaseCapturesTheUnpackedFrames) {
    ASSERT_EQ(run(dir.path, kKolm, "-demoexe out/showcase '" + kShowcase + "'"), 0) << readAll(dir.path + "/kolm.log");
    const std::string packed = folder("packed");
    fs::copy_file(dir.path + "/out/showcase", packed + "/showcase");

    const std::string unpacked = folder("unpacked");
    ASSERT_EQ(run(unpacked, kKolm, "-cap c -capfps 10 '" + kShowcase + "'"), 0) << readAll(unpacked + "/kolm.log");
    // Every command-line option but the capture's is ignored by a packaged run.
    ASSERT_EQ(run(packed, "./showcase", "-cap c -capfps 10"), 0) << readAll(packed + "/kolm.log");
    expectSameCapture(unpacked, packed, 0, 180);
}

// A range of the package inside the intro, while its sparks fly: the frames before the range
// are not drawn, yet the sparks carried into it are those of the whole capture (a render farm
// may split a packaged demo too).
TEST_F(DemoPackage, PackagedRangeAmongTheSparksJoinsTheWholeUnpackedCapture) {
    ASSERT_EQ(run(dir.path, kKolm, "-demoexe out/showcase '" + kShowcase + "'"), 0) << readAll(dir.path + "/kolm.log");
    const std::string packed = folder("packed");
    fs::copy_file(dir.path + "/out/showcase", packed + "/showcase");

    const std::string unpacked = folder("unpacked");
    ASSERT_EQ(run(unpacked, kKolm, "-cap c -capfps 10 -capto 46 '" + kShowcase + "'"), 0) << readAll(unpacked + "/kolm.log");
    ASSERT_EQ(run(packed, "./showcase", "-cap c -capfps 10 -capfrom 40 -capto 46"), 0) << readAll(packed + "/kolm.log");
    expectSameCapture(unpacked, packed, 40, 46);
    EXPECT_TRUE(frame(packed, 39).empty());
}

TEST_F(DemoPackage, ExecutableWithSideFileCapturesTheUnpackedFrames) {
    ASSERT_EQ(run(dir.path, kKolm, "-demodat out/side '" + kShowcase + "'"), 0) << readAll(dir.path + "/kolm.log");
    const std::string packed = folder("side");
    fs::copy_file(dir.path + "/out/side", packed + "/side");
    fs::copy_file(dir.path + "/out/side.dat", packed + "/side.dat");
    fs::permissions(packed + "/side", fs::perms::owner_exec, fs::perm_options::add);

    // The main part: the extra scene comes at 7 s, the vignette at 6.5 s.
    const std::string unpacked = folder("unpacked");
    const std::string range = "-cap c -capfps 10 -capfrom 62 -capto 74";
    ASSERT_EQ(run(unpacked, kKolm, range + " '" + kShowcase + "'"), 0) << readAll(unpacked + "/kolm.log");
    ASSERT_EQ(run(packed, "./side", range), 0) << readAll(packed + "/kolm.log");
    expectSameCapture(unpacked, packed, 62, 74);
}

}  // namespace
