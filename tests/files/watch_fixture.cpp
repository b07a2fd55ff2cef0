#include "watch_fixture.h"

#include "core/KeError.h"
#include "files/KeFolderWatch.h"
#include "files/KeWatch.h"
#include "platform/KeDirWatcher.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace kolmtest {

void WatchTest::SetUp() {
    kolm::keResetErrorReporter();
    kolm::keSetLogSink([](const char* l, void* u) { static_cast<WatchTest*>(u)->lines.push_back(l); }, this);
    kolm::keSetMessageBoxHandler(
        [](const char* t, void* u) {
            static_cast<WatchTest*>(u)->boxes.push_back(t);
            static_cast<WatchTest*>(u)->boxTitles.push_back(kolm::keMessageBoxTitle());
        },
        this);
    kolm::keSetFolderWatcherBackend(kolm::KeFolderWatcherBackend::System);
    ASSERT_TRUE(scratch.create("/tmp/kolm-watch-"));
    root = scratch.path;
}

void WatchTest::TearDown() {
    kolm::keFileWatchFreeAll();
    kolm::keFolderWatchFreeAll();
    kolm::keSetFolderWatcherBackend(kolm::KeFolderWatcherBackend::System);
    kolm::keResetErrorReporter();
    scratch.leave();
}

void WatchTest::write(const std::string& relative, const std::string& text) const {
    const std::filesystem::path p = path(relative);
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << text;
}

void WatchTest::makeDir(const std::string& relative) const { std::filesystem::create_directories(path(relative)); }

bool WatchTest::eventually(const std::function<bool()>& pred, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return pred();
}

void WatchTest::settle(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace kolmtest
