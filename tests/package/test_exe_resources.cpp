// Resources appended to a copy of an executable: several in a row, read back byte for byte,
// the copy's mode kept, and damaged trailers refused without a crash or a large allocation.
#include "platform/KeExeResources.h"

#include <gtest/gtest.h>

#include "support/scratch_dir.h"

#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kolm {
namespace {

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}
std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const std::string kImage = std::string("\x7f" "ELF", 4) + std::string(200, '\x01');

TEST(ExeResources, SeveralResourcesReadBackAndCopiesKeepTheModeButNotTheResources) {
    ScratchDir dir;
    ASSERT_TRUE(dir.create("/tmp/kolm-rsc-"));
    const std::string exe = dir / "prog";
    writeFile(exe, kImage);
    ASSERT_EQ(chmod(exe.c_str(), 0751), 0);

    std::vector<KeExeResource> list;
    EXPECT_EQ(keListExeResources(exe.c_str(), &list, nullptr), KeResourceStatus::Missing);

    const std::string a(1001, 'a'), b("b"), empty;
    ASSERT_EQ(keAppendExeResource(exe.c_str(), 500, a.data(), a.size(), nullptr), 0);
    ASSERT_EQ(keAppendExeResource(exe.c_str(), 501, b.data(), b.size(), nullptr), 0);
    ASSERT_EQ(keAppendExeResource(exe.c_str(), 7, empty.data(), 0, nullptr), 0);
    ASSERT_EQ(keListExeResources(exe.c_str(), &list, nullptr), KeResourceStatus::Ok);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].id, 500u);
    EXPECT_EQ(list[0].offset, kImage.size());
    EXPECT_EQ(list[0].size, a.size());
    EXPECT_EQ(list[1].id, 501u);
    EXPECT_EQ(list[2].id, 7u);
    EXPECT_EQ(list[2].size, 0u);

    std::string payload;
    EXPECT_EQ(keReadExeResource(exe.c_str(), 500, &payload, nullptr), KeResourceStatus::Ok);
    EXPECT_EQ(payload, a);
    EXPECT_EQ(keReadExeResource(exe.c_str(), 501, &payload, nullptr), KeResourceStatus::Ok);
    EXPECT_EQ(payload, b);
    EXPECT_EQ(keReadExeResource(exe.c_str(), 502, &payload, nullptr), KeResourceStatus::Missing);

    // A later resource of the same id is the one read.
    ASSERT_EQ(keAppendExeResource(exe.c_str(), 500, "new", 3, nullptr), 0);
    EXPECT_EQ(keReadExeResource(exe.c_str(), 500, &payload, nullptr), KeResourceStatus::Ok);
    EXPECT_EQ(payload, "new");

    const std::string copy = dir / "copy";
    ASSERT_EQ(keCopyExecutableImage(exe.c_str(), copy.c_str(), nullptr), 0);
    EXPECT_EQ(readFile(copy), kImage);
    struct stat st {};
    ASSERT_EQ(stat(copy.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0751u);

    EXPECT_EQ(keCopyExecutableImage((dir / "none").c_str(), (dir / "c2").c_str(), nullptr), -1);
}

TEST(ExeResources, TheRunningProgramReadsItsOwnFile) {
    std::vector<KeExeResource> list;
    // The test program carries no resources.
    EXPECT_EQ(keListExeResources("/proc/self/exe", &list, nullptr), KeResourceStatus::Missing);
    std::string payload;
    EXPECT_EQ(keReadOwnResource(500, &payload, nullptr), KeResourceStatus::Missing);
}

// Footer bytes: size (u64), id (u32), version (u32), magic.
std::string footer(uint64_t size, uint32_t id, uint32_t version = 0, const char* magic = "KOLMRSC1") {
    std::string f(24, '\0');
    for (int i = 0; i < 8; ++i) f[i] = static_cast<char>(size >> (8 * i));
    for (int i = 0; i < 4; ++i) f[8 + i] = static_cast<char>(id >> (8 * i));
    for (int i = 0; i < 4; ++i) f[12 + i] = static_cast<char>(version >> (8 * i));
    std::memcpy(&f[16], magic, 8);
    return f;
}

TEST(ExeResources, DamagedTrailersAreRefused) {
    struct Case {
        const char* name;
        std::string bytes;
        KeResourceStatus expected;
    };
    const std::string good = "payload" + footer(7, 500);
    const Case cases[] = {
        {"empty file", "", KeResourceStatus::Missing},
        {"shorter than a footer", "KOLMRSC1", KeResourceStatus::Missing},
        {"bad magic", kImage + "payload" + footer(7, 500, 0, "KOLMRSC2"), KeResourceStatus::Missing},
        {"size beyond the file", kImage + "payload" + footer(kImage.size() + 8, 500), KeResourceStatus::Damaged},
        {"huge size", kImage + footer(~uint64_t(0), 500), KeResourceStatus::Damaged},
        {"payload cut short", footer(7, 500).substr(0, 3) + "pay" + footer(7, 500), KeResourceStatus::Damaged},
        {"unknown footer version", kImage + "payload" + footer(7, 500, 1), KeResourceStatus::Damaged},
        {"damage under a good resource", kImage + footer(1u << 30, 501) + good, KeResourceStatus::Damaged},
        {"just a resource", good, KeResourceStatus::Ok},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<KeExeResource> list;
        std::string error;
        EXPECT_EQ(keParseExeResources(c.bytes.data(), c.bytes.size(), &list, &error), c.expected);
        if (c.expected == KeResourceStatus::Damaged) {
            EXPECT_NE(error.find("damaged"), std::string::npos) << error;
        }
    }
}

}  // namespace
}  // namespace kolm
