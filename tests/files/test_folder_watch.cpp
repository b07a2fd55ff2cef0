#include "watch_fixture.h"

#include "core/KeError.h"
#include "files/KeFolderWatch.h"
#include "files/KeWatch.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>

using namespace kolm;
using kolmtest::WatchTest;

namespace {

std::set<std::string> listing(int id) {
    const char* const* files = nullptr;
    const int count = keGetFolderWatchChanges(id, &files);
    std::set<std::string> out;
    for (int i = 0; i < count; ++i) out.insert(files[i]);
    EXPECT_EQ(out.size(), static_cast<size_t>(count)) << "a file listed twice";
    return out;
}

const char* const kTooMuch = "WARN : keGetFolderWatchChanges too much changes\n\n";

}  // namespace

TEST_F(WatchTest, FolderListingCoversTwoLevelsOfSubFolders) {
    write("old.hlsl");
    write("a/old.hlsl");
    makeDir("a/b/c");
    makeDir(".git");
    nextTick();
    ASSERT_EQ(keFolderWatch(root.c_str(), 2), 0);
    EXPECT_FALSE(keFolderWatchChanged(2));
    EXPECT_TRUE(listing(2).empty());  // nothing reported yet: no listing

    write("top.hlsl");
    write("a/one.hlsl");
    write("a/b/two.hlsl");
    write("a/b/c/three.hlsl");  // third level: raises the flag, never listed
    write(".git/index");        // folders beginning with "." are not walked
    write("a/new/fresh.hlsl");  // a folder made after the watch started
    ASSERT_TRUE(eventually([] { return keFolderWatchChanged(2); }));
    EXPECT_EQ(listing(2), (std::set<std::string>{path("top.hlsl"), path("a/one.hlsl"), path("a/b/two.hlsl"),
                                                 path("a/new/fresh.hlsl")}));
    EXPECT_EQ(listing(2).size(), 4u);  // listing again gives the same files

    // After a reset only what changes from then on counts, in any part of the tree.
    settle();  // let late notifications of those writes arrive first
    ASSERT_EQ(keFolderWatchReset(2), 0);
    EXPECT_FALSE(keFolderWatchChanged(2));
    EXPECT_TRUE(listing(2).empty());
    struct Case {
        const char* name;
        const char* file;
        bool listed;
    };
    const Case cases[] = {
        {"third level", "a/b/c/three.hlsl", false},
        {"folder made after the watch", "a/new/fresh.hlsl", true},
        {"top level", "old.hlsl", true},
        {"folders made together after the watch", "fresh/new/x.hlsl", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        nextTick();
        write(c.file, "edited");
        EXPECT_TRUE(eventually([] { return keFolderWatchChanged(2); }));
        EXPECT_EQ(listing(2), c.listed ? std::set<std::string>{path(c.file)} : std::set<std::string>{});
        settle();
        keFolderWatchReset(2);
    }
    EXPECT_TRUE(std::none_of(lines.begin(), lines.end(), [](const std::string& l) { return l == kTooMuch; }));
}

TEST_F(WatchTest, FilesBeyondTenWaitForTheNextListing) {
    nextTick();
    ASSERT_EQ(keFolderWatch(root.c_str(), 0), 0);
    std::set<std::string> written;
    for (int i = 0; i < 11; ++i) {
        const std::string name = "shader" + std::to_string(i) + ".hlsl";
        write(name);
        written.insert(path(name));
    }
    ASSERT_TRUE(eventually([] { return keFolderWatchChanged(0); }));
    settle(50);
    const std::set<std::string> first = listing(0);
    EXPECT_EQ(first.size(), 10u);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string(kTooMuch)), 1);

    // The eleventh is not lost with the reset: the watch stays changed and lists it alone.
    keFolderWatchReset(0);
    settle();
    EXPECT_TRUE(keFolderWatchChanged(0));
    const std::set<std::string> second = listing(0);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(first.count(*second.begin()), 0u);
    std::set<std::string> all = first;
    all.insert(second.begin(), second.end());
    EXPECT_EQ(all, written);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string(kTooMuch)), 1);

    keFolderWatchReset(0);
    settle();
    EXPECT_FALSE(keFolderWatchChanged(0));
}

TEST_F(WatchTest, RemovingAFileChangesTheFolder) {
    write("gone.hlsl");
    write("kept.hlsl");
    nextTick();
    ASSERT_EQ(keFolderWatch(root.c_str(), 0), 0);
    std::remove(path("gone.hlsl").c_str());
    EXPECT_TRUE(eventually([] { return keFolderWatchChanged(0); }));
    EXPECT_TRUE(listing(0).empty());  // nothing left to list, nothing else written
}

// A watched folder that goes away is said once ("Cannot detect changes in folder"); the watch
// takes up the folder again as soon as it is back, as after a checkout that replaces it, and
// then follows the new folder, not the old one moved aside.
TEST_F(WatchTest, AFolderThatGoesAndComesBackIsWatchedAgain) {
    struct Case {
        const char* name;
        std::function<void()> replace;
        bool told;  // the folder was seen missing
    };
    const Case cases[] = {
        {"removed, then made again", [&] {
             std::filesystem::remove_all(path("shaders"));
             ASSERT_TRUE(eventually([&] { return keFolderWatchChanged(3) && !boxes.empty(); }));
             write("shaders/new.hlsl");
         }, true},
        {"replaced by a rename", [&] {
             write("incoming/new.hlsl");
             std::filesystem::rename(path("shaders"), path("old"));
             std::filesystem::rename(path("incoming"), path("shaders"));
         }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(path("old"));
        write("shaders/a.hlsl");
        nextTick();
        ASSERT_EQ(keFolderWatch(path("shaders").c_str(), 3), 0);
        boxes.clear();
        boxTitles.clear();
        c.replace();
        ASSERT_TRUE(eventually([] { return keFolderWatchChanged(3); }));
        EXPECT_EQ(listing(3).count(path("shaders/new.hlsl")), 1u);
        if (c.told) {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0], "Cannot detect changes in folder\nFile: '" + path("shaders") +
                                    "'\nSystem reports: No such file or directory");
            EXPECT_EQ(boxTitles[0], "File Operation Problem");
        } else {
            EXPECT_TRUE(boxes.empty());
        }
        // The watch follows the folder now at the path.
        settle();
        ASSERT_EQ(keFolderWatchReset(3), 0);
        if (!c.told) {
            write("old/ignored.hlsl");
            settle();
            EXPECT_FALSE(keFolderWatchChanged(3));
        }
        write("shaders/later.hlsl");
        EXPECT_TRUE(eventually([] { return keFolderWatchChanged(3); }));
        EXPECT_EQ(listing(3), std::set<std::string>{path("shaders/later.hlsl")});
        EXPECT_EQ(boxes.size(), c.told ? 1u : 0u);
        keFolderWatchDelete(3);
    }
}

TEST_F(WatchTest, HundredWatchesComeAndGoWhileFilesChange) {
    write("scene.kscn");
    makeDir("tree/sub");
    std::atomic<bool> stop{false};
    // Keeps the watcher threads busy while watches are made and destroyed.
    std::thread writer([&] {
        int n = 0;
        while (!stop.load()) {
            write("tree/sub/f" + std::to_string(n % 7) + ".hlsl", std::to_string(n));
            write("scene.kscn", std::to_string(n));
            ++n;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        for (int id = 0; id < 100; ++id) {
            const int made = id % 2 ? keFolderWatch(path("tree").c_str(), id)
                                    : keFileWatch(path("scene.kscn").c_str(), id);
            ASSERT_EQ(made, 0) << "watch " << id << (boxes.empty() ? "" : ": " + boxes.back());
        }
        for (int id = 0; id < 100; ++id) {
            const bool changed = eventually([id] {
                return id % 2 ? keFolderWatchChanged(id) : keFileWatchChanged(id);
            });
            EXPECT_TRUE(changed) << "watch " << id;
        }
        for (int id = 99; id >= 0; --id) EXPECT_EQ(id % 2 ? keFolderWatchDelete(id) : keFileWatchDelete(id), 0);
    }
    stop = true;
    writer.join();
    EXPECT_TRUE(boxes.empty());
}

TEST_F(WatchTest, ExitWithWatchesOpenStopsTheirThreads) {
    write("scene.kscn");
    EXPECT_EXIT(
        {
            keFolderWatch(root.c_str(), 1);
            keFileWatch(path("scene.kscn").c_str(), 1);
            write("scene.kscn", "busy");
            std::exit(3);
        },
        ::testing::ExitedWithCode(3), "");
}
