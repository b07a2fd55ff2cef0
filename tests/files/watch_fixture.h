// A temporary folder, captured reporter output and polling helpers for the watch tests.
#pragma once

#include <gtest/gtest.h>

#include "support/scratch_dir.h"

#include <functional>
#include <string>
#include <vector>

namespace kolmtest {

class WatchTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string path(const std::string& relative) const { return root + "/" + relative; }
    // Writes (creates or truncates) a file below the root, making folders as needed.
    void write(const std::string& relative, const std::string& text = "data") const;
    void makeDir(const std::string& relative) const;

    // Polls until pred() holds or timeoutMs pass; the watcher thread works in its own time.
    static bool eventually(const std::function<bool()>& pred, int timeoutMs = 3000);
    // Gives the watcher threads time to see events that must not change anything.
    static void settle(int ms = 250);
    // Lets the file systems' clock move past the current tick, so that files written before
    // and after a point in time carry different stamps.
    static void nextTick() { settle(30); }

    ScratchDir scratch;
    std::string root;
    std::vector<std::string> lines;
    std::vector<std::string> boxes;
    std::vector<std::string> boxTitles;  // the title of each box in boxes
};

}  // namespace kolmtest
