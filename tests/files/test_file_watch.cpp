#include "watch_fixture.h"

#include "core/KeError.h"
#include "files/KeFolderWatch.h"
#include "files/KeWatch.h"
#include "files/KeWatchCommon.h"
#include "platform/KeDirWatcher.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

using namespace kolm;
using kolmtest::WatchTest;

namespace {

std::string lastError(int* index) {
    const char* text = takeLastError(index);
    return text ? text : "";
}

}  // namespace

TEST_F(WatchTest, IdsOutsideTheTablesAndUnknownIdsAreReported) {
    keSetFolderWatcherBackend(KeFolderWatcherBackend::Null);
    write("f.txt");
    const std::string file = path("f.txt");
    ASSERT_EQ(keFileWatch(file.c_str(), 3), 0);
    ASSERT_EQ(keFolderWatch(root.c_str(), 99), 0);

    struct Case {
        const char* name;
        std::function<int()> call;
        int result;
        const char* message;
        int index;
    };
    const Case cases[] = {
        {"file watch id 100", [&] { return keFileWatch(file.c_str(), 100); }, -1,
         "invalid FileWatch ID 100 : invalid ID 100 greater or equals than 100", 2},
        {"file watch id -1", [&] { return keFileWatch(file.c_str(), -1); }, -1,
         "invalid FileWatch ID -1 : invalid negative ID -1", 2},
        {"file watch id taken", [&] { return keFileWatch(file.c_str(), 3); }, -1,
         "invalid FileWatch ID 3 : id 3 already exist", 2},
        {"folder watch id 100", [&] { return keFolderWatch(root.c_str(), 100); }, -1,
         "invalid FileWatch ID 100 : invalid ID 100 greater or equals than 100", 2},
        {"folder watch id taken", [&] { return keFolderWatch(root.c_str(), 99); }, -1,
         "invalid FileWatch ID 99 : id 99 already exist", 2},
        {"changed, id out of range", [] { return keFileWatchChanged(150) ? 1 : 0; }, 0,
         "FileWatch ID 150 does not exist. invalid ID 150 greater or equals than 100", 1},
        {"wait readable, negative id", [] { return keFileWatchWaitReadable(-2, 0); }, -1,
         "FileWatch ID -2 does not exist. invalid negative ID -2", 1},
        // An empty slot in range leaves the table's detail text as the last operation left it.
        {"reset, free id", [] { return keFileWatchReset(4); }, -1,
         "FileWatch ID 4 does not exist. invalid negative ID -2", 1},
        {"folder changed, free id", [] { return keFolderWatchChanged(5) ? 1 : 0; }, 0,
         "FolderWatch ID 5 does not exist. invalid negative ID -2", 1},
        {"folder listing, id out of range", [] { return keGetFolderWatchChanges(100, nullptr); }, 0,
         "FolderWatch ID 100 does not exist. invalid ID 100 greater or equals than 100", 1},
        {"folder reset, negative id", [] { return keFolderWatchReset(-1); }, -1,
         "FolderWatch ID -1 does not exist. invalid negative ID -1", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clearLastError();
        EXPECT_EQ(c.call(), c.result);
        int index = 0;
        EXPECT_EQ(lastError(&index), c.message);
        EXPECT_EQ(index, c.index);
    }
    EXPECT_TRUE(boxes.empty());
    // The watches that were there are untouched by the failed creations.
    EXPECT_EQ(keFileWatchReset(3), 0);
    EXPECT_EQ(keFolderWatchReset(99), 0);
    // Deleting frees the ID; deleting a free ID is silently refused.
    EXPECT_EQ(keFileWatchDelete(3), 0);
    EXPECT_EQ(keFileWatchDelete(3), -1);
    EXPECT_EQ(keFileWatch(file.c_str(), 3), 0);
}

TEST_F(WatchTest, AWatchThatCannotBeMadeShowsWhyAndReleasesItsId) {
    struct Case {
        const char* name;
        std::function<int(const char*)> create;
        std::string path;
        std::string reported;  // the path named in the box
        const char* system;
    };
    write("plain.txt");
    const std::string tooLong = root + "/" + std::string(300, 'x');
    const Case cases[] = {
        {"file in a missing folder", [](const char* p) { return keFileWatch(p, 4); }, path("missing/f.txt"),
         path("missing"), "No such file or directory"},
        {"missing folder", [](const char* p) { return keFolderWatch(p, 4); }, path("missing"), path("missing"),
         "No such file or directory"},
        {"folder that is a file", [](const char* p) { return keFolderWatch(p, 4); }, path("plain.txt"),
         path("plain.txt"), "Not a directory"},
        {"path too long", [](const char* p) { return keFolderWatch(p, 4); }, tooLong, tooLong, "File name too long"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        boxes.clear();
        boxTitles.clear();
        EXPECT_EQ(c.create(c.path.c_str()), -1);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0], "Cannot create change notification handle\nFile: '" + c.reported +
                                "'\nSystem reports: " + c.system);
        EXPECT_EQ(boxTitles[0], "File Operation Problem");
    }
    // Nothing was kept under ID 4.
    EXPECT_EQ(keFileWatch(path("plain.txt").c_str(), 4), 0);
    EXPECT_EQ(keFolderWatch(root.c_str(), 4), 0);
}

TEST_F(WatchTest, FileWatchTellsTheFileFromItsNeighbours) {
    struct Case {
        const char* name;
        std::function<void()> act;
        bool changed;
    };
    const Case cases[] = {
        {"rewritten in place", [&] { write("scene.kscn", "new"); }, true},
        {"replaced by rename", [&] {
             write("scene.tmp", "new");
             std::rename(path("scene.tmp").c_str(), path("scene.kscn").c_str());
         }, true},
        {"removed", [&] { std::remove(path("scene.kscn").c_str()); }, true},
        {"write time set", [&] {
             const timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_NOW}};
             utimensat(AT_FDCWD, path("scene.kscn").c_str(), times, 0);
         }, true},
        {"neighbour written", [&] { write("other.kscn", "x"); }, false},
        {"neighbour removed", [&] { std::remove(path("other.kscn").c_str()); }, false},
        {"file in a sub-folder written", [&] { write("sub/scene.kscn", "x"); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        write("scene.kscn", "old");
        write("other.kscn", "old");
        makeDir("sub");
        nextTick();
        ASSERT_EQ(keFileWatch(path("scene.kscn").c_str(), 0), 0);
        c.act();
        if (c.changed) {
            EXPECT_TRUE(eventually([] { return keFileWatchChanged(0); }));
        } else {
            settle();
            EXPECT_FALSE(keFileWatchChanged(0));
            // The watch still works for the file itself.
            nextTick();
            write("scene.kscn", "new");
            EXPECT_TRUE(eventually([] { return keFileWatchChanged(0); }));
        }
        EXPECT_EQ(keFileWatchDelete(0), 0);
    }
}

TEST_F(WatchTest, SavingTwiceBeforeThePollIsOneChange) {
    write("scene.kscn", "v1");
    nextTick();
    ASSERT_EQ(keFileWatch(path("scene.kscn").c_str(), 7), 0);
    EXPECT_FALSE(keFileWatchChanged(7));
    write("scene.kscn", "v2");
    write("scene.kscn", "v3");
    ASSERT_TRUE(eventually([] { return keFileWatchChanged(7); }));
    EXPECT_TRUE(keFileWatchChanged(7));  // stays reported until the reset
    ASSERT_EQ(keFileWatchReset(7), 0);
    settle();  // late notifications of the second save arrive after the reset
    EXPECT_FALSE(keFileWatchChanged(7));
    // The next save after the reset is seen again.
    nextTick();
    write("scene.kscn", "v4");
    EXPECT_TRUE(eventually([] { return keFileWatchChanged(7); }));
}

TEST_F(WatchTest, WaitReadableWaitsForTheWriterToFinish) {
    write("scene.kscn", "");
    ASSERT_EQ(keFileWatch(path("scene.kscn").c_str(), 1), 0);
    constexpr int kChunks = 60;
    constexpr int kChunkSize = 100;
    const std::string file = path("scene.kscn");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A slow exporter: keeps the file open and appends a chunk every 5 ms.
        const int fd = open(file.c_str(), O_WRONLY | O_APPEND);
        char chunk[kChunkSize];
        for (char& ch : chunk) ch = 'k';
        const char go = 1;
        if (::write(ready[1], &go, 1) != 1) _exit(2);
        for (int i = 0; i < kChunks; ++i) {
            if (::write(fd, chunk, sizeof chunk) != static_cast<ssize_t>(sizeof chunk)) _exit(1);
            const timespec pause{0, 5 * 1000 * 1000};
            nanosleep(&pause, nullptr);
        }
        close(fd);
        _exit(0);
    }
    char go = 0;
    ASSERT_EQ(read(ready[0], &go, 1), 1);
    close(ready[0]);
    close(ready[1]);

    EXPECT_EQ(keFileWatchWaitReadable(1, 100), -1);  // still being written
    EXPECT_EQ(keFileWatchWaitReadable(1, 5000), 0);
    struct stat st;
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, kChunks * kChunkSize);  // readable only once complete
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    // A removed file is not readable; written again, it is.
    std::remove(file.c_str());
    EXPECT_EQ(keFileWatchWaitReadable(1, 100), -1);
    write("scene.kscn", "back");
    EXPECT_EQ(keFileWatchWaitReadable(1, 2000), 0);
}

// A writer that keeps the file open but pauses longer than the stability interval: the file
// is not readable until it closes the file.
TEST_F(WatchTest, WaitReadableWaitsForAWriterThatPauses) {
    write("scene.kscn", "half");
    ASSERT_EQ(keFileWatch(path("scene.kscn").c_str(), 1), 0);
    const int fd = open(path("scene.kscn").c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(keFileWatchWaitReadable(1, 300), -1);
    close(fd);
    EXPECT_EQ(keFileWatchWaitReadable(1, 2000), 0);
}

TEST_F(WatchTest, NullWatcherNeverFires) {
    keSetFolderWatcherBackend(KeFolderWatcherBackend::Null);
    write("scene.kscn", "v1");
    nextTick();
    ASSERT_EQ(keFileWatch(path("scene.kscn").c_str(), 0), 0);
    ASSERT_EQ(keFolderWatch(root.c_str(), 0), 0);
    write("scene.kscn", "v2");
    write("new.hlsl", "x");
    settle();
    EXPECT_FALSE(keFileWatchChanged(0));
    EXPECT_FALSE(keFolderWatchChanged(0));
    EXPECT_EQ(keGetFolderWatchChanges(0, nullptr), 0);
}

TEST(WatchFullPath, MadeAbsoluteAndFoldedWithoutTouchingTheDisk) {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    const std::string here = std::string(cwd) == "/" ? "" : cwd;
    const std::string tooLong = "/" + std::string(259, 'n');  // 260 characters
    struct Case {
        const char* in;
        std::string full;  // empty: refused
        int error;
    };
    const Case cases[] = {
        {"scene.kscn", here + "/scene.kscn", 0},
        {"a/./b/../c.hlsl", here + "/a/c.hlsl", 0},
        {"/x//y/", "/x/y", 0},
        {"/x/../../..", "/", 0},
        {"", "", EINVAL},
        {nullptr, "", EINVAL},
        {tooLong.c_str(), "", ENAMETOOLONG},
        {tooLong.c_str() + 1, "", ENAMETOOLONG},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in ? c.in : "(null)");
        char out[KE_WATCH_PATH_CAPACITY] = "untouched";
        int error = -1;
        const bool made = keWatchFullPath(c.in, out, &error);
        EXPECT_EQ(made, !c.full.empty());
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(std::string(out), made ? c.full : "untouched");
    }
    char folder[KE_WATCH_PATH_CAPACITY];
    keWatchFolderOf("/a/b.txt", folder);
    EXPECT_STREQ(folder, "/a");
    keWatchFolderOf("/b.txt", folder);
    EXPECT_STREQ(folder, "/");
}
