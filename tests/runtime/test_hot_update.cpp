// Shader hot update without GL: what it logs and when, with real folder watches on a scratch
// base directory.
#include "runtime/KeShaderHotUpdate.h"
#include "core/KeError.h"
#include "files/KeFolderWatch.h"
#include "support/scratch_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace kolm;

namespace {

class HotUpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        keResetErrorReporter();
        keSetLogSink([](const char* l, void* u) { static_cast<HotUpdateTest*>(u)->lines.push_back(l); }, this);
        keSetMessageBoxHandler([](const char* t, void* u) { static_cast<HotUpdateTest*>(u)->boxes.push_back(t); },
                               this);
        ASSERT_TRUE(scratch.enter("/tmp/kolm-hot-"));
        std::filesystem::create_directories(scratch.path + "/shaders");
        write("shaders/old.hlsl");
    }
    void TearDown() override {
        keShaderHotUpdateStop();
        keFolderWatchFreeAll();
        scratch.leave();
        keResetErrorReporter();
    }
    void write(const std::string& relative) { std::ofstream(scratch.path + "/" + relative) << "float4 c;"; }
    // Polls once per "frame" until a poll handles a change or 3 s pass.
    bool pollUntilHandled() {
        for (int frame = 0; frame < 300; ++frame) {
            const size_t before = lines.size();
            keShaderHotUpdatePoll(nullptr);
            if (lines.size() > before) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    bool logged(const std::string& line) const {
        for (const std::string& l : lines)
            if (l == line) return true;
        return false;
    }

    ScratchDir scratch;
    std::vector<std::string> lines, boxes;
};

// Every reported change is an update, also one that lists no file (a removal): the update is
// logged around the rebuild either way.
TEST_F(HotUpdateTest, EveryReportedChangeLogsTheUpdate) {
    keShaderHotUpdateStart(scratch.path.c_str());
    std::remove((scratch.path + "/shaders/old.hlsl").c_str());
    ASSERT_TRUE(pollUntilHandled());
    EXPECT_TRUE(logged("INFO : updating shaders...\n"));
    EXPECT_TRUE(logged("INFO : updating shaders done\n"));
}

// A checkout that replaces the shader folder: the update sees the new folder's files, then
// goes on watching it.
TEST_F(HotUpdateTest, SurvivesACheckoutThatReplacesTheFolder) {
    keShaderHotUpdateStart(scratch.path.c_str());
    std::filesystem::create_directories(scratch.path + "/incoming");
    write("incoming/checked_out.hlsl");
    std::filesystem::rename(scratch.path + "/shaders", scratch.path + "/old");
    std::filesystem::rename(scratch.path + "/incoming", scratch.path + "/shaders");
    ASSERT_TRUE(pollUntilHandled());
    EXPECT_TRUE(logged("INFO : detected file change " + scratch.path + "/shaders/checked_out.hlsl\n"));
    lines.clear();
    write("shaders/edited.hlsl");
    ASSERT_TRUE(pollUntilHandled());
    EXPECT_TRUE(logged("INFO : detected file change " + scratch.path + "/shaders/edited.hlsl\n"));
    EXPECT_TRUE(boxes.empty());
}

}  // namespace
