// The open-file dialog with a stand-in "zenity" on PATH: asked whenever a display answers and
// the run is not automated, with no terminal too, and never waiting for ever on the dialog
// program.
#include <gtest/gtest.h>

#include "platform/KeFileDialog.h"
#include "support/scratch_dir.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace kolm;

namespace {

const KeFileFilter kFilters[] = {{"Kolm Scene (.kscn)", "*.kscn"}};

class FileDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
        ASSERT_TRUE(scratch.enter("/tmp/kolm-dialog-"));
        chosen = scratch.path + "/chosen.kscn";
        std::ofstream(chosen) << "scene";
        // The stand-in notes that it ran and answers with the file, as zenity does on OK.
        const std::string program = scratch.path + "/zenity";
        std::ofstream(program) << "#!/bin/sh\ntouch '" << scratch.path << "/asked'\necho '" << chosen << "'\n";
        ASSERT_EQ(chmod(program.c_str(), 0755), 0);
        savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
        setenv("PATH", (scratch.path + ":" + savedPath).c_str(), 1);
        if (const char* ci = std::getenv("CI")) savedCi = ci, hadCi = true;
        // Standard input from /dev/null: kolm started from a file manager has no terminal.
        savedStdin = dup(STDIN_FILENO);
        const int nul = open("/dev/null", O_RDONLY);
        dup2(nul, STDIN_FILENO);
        close(nul);
    }
    void TearDown() override {
        if (savedStdin >= 0) {
            dup2(savedStdin, STDIN_FILENO);
            close(savedStdin);
        }
        if (!savedPath.empty()) setenv("PATH", savedPath.c_str(), 1);
        if (hadCi) {
            setenv("CI", savedCi.c_str(), 1);
        } else {
            unsetenv("CI");
        }
        std::signal(SIGCHLD, SIG_DFL);
        scratch.leave();
    }
    bool asked() const { return access((scratch.path + "/asked").c_str(), F_OK) == 0; }

    ScratchDir scratch;
    std::string chosen, savedPath, savedCi;
    bool hadCi = false;
    int savedStdin = -1;
};

TEST_F(FileDialogTest, AskedUnlessTheRunIsAutomated) {
    const struct {
        const char* ci;  // nullptr: unset
        bool asks;
    } cases[] = {{nullptr, true}, {"false", true}, {"true", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ci ? c.ci : "CI unset");
        unlink((scratch.path + "/asked").c_str());
        if (c.ci) {
            setenv("CI", c.ci, 1);
        } else {
            unsetenv("CI");
        }
        std::string path;
        EXPECT_EQ(keChooseFile("Open Kolm file", kFilters, 1, &path), c.asks);
        EXPECT_EQ(asked(), c.asks);
        EXPECT_EQ(path, c.asks ? chosen : "");
    }
}

// With SIGCHLD ignored the system reaps the dialog program itself and waitpid fails with
// ECHILD: the answer it printed still counts, and nothing waits for ever.
TEST_F(FileDialogTest, AReapedDialogProgramDoesNotHang) {
    unsetenv("CI");
    std::signal(SIGCHLD, SIG_IGN);
    alarm(20);  // a hang ends the test program
    std::string path;
    EXPECT_TRUE(keChooseFile("Open Kolm file", kFilters, 1, &path));
    alarm(0);
    EXPECT_EQ(path, chosen);
}

}  // namespace
