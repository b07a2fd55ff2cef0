// kolm-kf, run as users run it: exit codes and exact output on hand-written documents.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct ToolRun {
    int status;
    std::string out;
};

ToolRun tool(const std::string& args) {
    const std::string cmd = std::string(KOLM_KF_TOOL) + " " + args + " 2>&1";
    ToolRun r{-1, {}};
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

const std::string kData = std::string(KOLM_TEST_DATA_DIR) + "/kf/";

TEST(KfToolTest, GetPrintsTypeCountAndValues) {
    const std::string scene = kData + "scene.lws.ini";
    struct {
        const char* path;
        int status;
        const char* out;
    } cases[] = {
        {"Scene/FirstFrame", 0, "I4 1 0\n"},
        {"Scene/FramesPerSecond", 0, "FP 1 29.9699993\n"},
        {"Scene/Name", 0, "STR 11 Hello world\n"},
        {"Scene/Flags", 0, "U4 3 1 4294967295 7\n"},
        {"Scene/Object/Visibility", 0, "FP_C 5 1.5 1.5 1.5 4 5\n"},
        {"Scene/Object/Position", 0, "FP_C 3 0 1 2\nFP_C 3 5 5 5\nFP_C 2 -1 1\n"},
        {"Scene/Missing", 1, "kolm-kf: no value at Scene/Missing\n"},
        {"Scene/Name/Deeper", 1, "kolm-kf: no value at Scene/Name/Deeper\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const ToolRun r = tool("get " + scene + " " + c.path);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, c.out);
    }
}

TEST(KfToolTest, SampleInterpolates) {
    const std::string scene = kData + "scene.lws.ini";
    struct {
        const char* args;
        const char* out;
    } cases[] = {
        {"Scene/Object/Visibility 2.5", "2.75\n"},
        {"Scene/FramesPerSecond 9", "29.9699993\n"},
        {"Scene/Object/Position 1.5", "1.5 5 1\n"},
        {"Scene/Object/Size 0.5", "0.5 1\n"},
        {"Scene/Object/Heading 0 --hpb", "0 0.5 0\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const ToolRun r = tool("sample " + scene + " " + c.args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, c.out);
    }
}

TEST(KfToolTest, CheckAndConvertRoundTrip) {
    const std::string scene = kData + "scene.lws.ini";
    EXPECT_EQ(tool("check " + scene).status, 0);
    EXPECT_EQ(tool("check " + scene).out, "");
    const ToolRun bad = tool("check " + kData + "too_many_braces.kscn");
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.out, "line 4: too many }\n");

    char dir[] = "/tmp/kolmkfXXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    const std::string bin = std::string(dir) + "/scene.lws.ini.bin";
    const std::string txt = std::string(dir) + "/back.lws.ini";
    EXPECT_EQ(tool("convert " + scene + " " + bin).status, 0);
    EXPECT_EQ(tool("convert " + bin + " " + txt).status, 0);
    for (const std::string& f : {bin, txt}) {
        SCOPED_TRACE(f);
        EXPECT_EQ(tool("get " + f + " Scene/Object/Position").out, "FP_C 3 0 1 2\nFP_C 3 5 5 5\nFP_C 2 -1 1\n");
        EXPECT_EQ(tool("get " + f + " Scene/Name").out, "STR 11 Hello world\n");
    }
    // A name with a blank (possible only in binary) cannot become text: clear message, exit 1.
    const ToolRun refused = tool("convert " + kData + "blank_name.kf.bin " + txt);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("a b"), std::string::npos) << refused.out;
    std::remove(bin.c_str());
    std::remove(txt.c_str());
    rmdir(dir);

    EXPECT_EQ(tool("--help").status, 0);
    EXPECT_EQ(tool("frobnicate").status, 2);
}

}  // namespace
