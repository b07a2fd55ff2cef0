// The kfile layer: path operations, the std back end, and a plugged-in back end.
#include "kf_test_util.h"

#include "kf/kfile.h"

#include <cstdio>
#include <map>
#include <unistd.h>

using namespace kftest;

namespace {

class KfileTest : public KfTest {
protected:
    void SetUp() override {
        KfTest::SetUp();
        kfile_use_std();
        kfile_set_dir("");
    }
    void TearDown() override {
        kfile_use_std();
        kfile_set_dir("");
        KfTest::TearDown();
    }
};

TEST_F(KfileTest, PathOperationsWithoutHooks) {
    struct {
        const char* dir;
        const char* path;
        const char* full;
    } joins[] = {
        {"", "a/b.kscn", "a/b.kscn"}, {"dir", "x", "dir/x"}, {"dir/", "x", "dir/x"},
        {"c:", "x", "c:x"},           {"c:\\s\\", "x", "c:\\s\\x"},
        // An absolute path stays as it is.
        {"/a", "/b/x", "/b/x"},       {"dir/", "/x", "/x"},
    };
    for (const auto& j : joins) {
        SCOPED_TRACE(std::string(j.dir) + " + " + j.path);
        kfile_set_dir(j.dir);
        EXPECT_STREQ(kfile_fullpath(j.path), j.full);
    }
    kfile_set_dir("base");
    kfile_enter_dir("scenes");
    kfile_enter_dir("part1");
    EXPECT_STREQ(kfile_get_dir(), "base/scenes/part1");

    struct {
        const char* path;
        const char* baseKeep;
        const char* baseCut;
        const char* dir;
    } splits[] = {
        {"a/b/scene.lws.ini", "scene.lws.ini", "scene.lws", "a/b/"},
        {"c:\\demo\\x.kolm", "x.kolm", "x", "c:\\demo\\"},
        {"c:file", "file", "file", "c:"},
        {"plain", "plain", "plain", ""},
        {"dir/", "", "", "dir/"},
    };
    for (const auto& s : splits) {
        SCOPED_TRACE(s.path);
        EXPECT_STREQ(kfile_basename(s.path, 1), s.baseKeep);
        EXPECT_STREQ(kfile_basename(s.path, 0), s.baseCut);
        EXPECT_STREQ(kfile_dirname(s.path), s.dir);
    }
    // Results are cut to the fixed buffers, never overrun.
    const std::string longName(6000, 'n');
    kfile_set_dir(longName.c_str());
    EXPECT_EQ(std::strlen(kfile_get_dir()), size_t(KFILE_PATH_CAPACITY - 1));
    EXPECT_EQ(std::strlen(kfile_fullpath("x")), size_t(KFILE_PATH_CAPACITY - 1));
}

TEST_F(KfileTest, LoadsThroughTheStdBackEndRelativeToTheCurrentDirectory) {
    char dir[] = "/tmp/kfileXXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    const std::string path = std::string(dir) + "/s.kscn";
    const std::string empty = std::string(dir) + "/empty.kscn";
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fputs("{ Scene\nfps FP 25\n}\n", f);
    std::fclose(f);
    std::fclose(std::fopen(empty.c_str(), "wb"));

    kfile_set_dir(dir);
    EXPECT_EQ(kfile_exists("s.kscn"), 1);
    EXPECT_EQ(kfile_exists("missing.kscn"), 0);
    Doc d(KF_Load("s.kscn"));
    ASSERT_TRUE(d.doc);
    EXPECT_EQ(KF_GetFP(KF_Find(KF_Find(d.root(), "Scene"), "fps"), 0), 25.0f);
    // Files that cannot be read fail without a message.
    for (const char* bad : {"missing.kscn", "empty.kscn", "."}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(KF_Load(bad), nullptr);
    }
    EXPECT_TRUE(log.empty());
    std::remove(path.c_str());
    std::remove(empty.c_str());
    rmdir(dir);
}

// A back end serving files from memory, as a virtual file system would.
struct MemFile {
    const std::string* bytes;
    long pos;
};
std::map<std::string, std::string> g_files;

MemFile* mem(KFILE* s) { return static_cast<MemFile*>(s->handle); }

KFILE* memOpen(const char* path, const char* mode, void* user) {
    EXPECT_STREQ(mode, "rb");
    ++*static_cast<int*>(user);
    auto it = g_files.find(path);
    if (it == g_files.end()) return nullptr;
    KFILE* s = new KFILE;
    s->handle = new MemFile{&it->second, 0};
    s->seek = [](KFILE* k, long offset, int whence) {
        const long size = long(mem(k)->bytes->size());
        const long base = whence == 0 ? 0 : whence == 1 ? mem(k)->pos : whence == 2 ? size : -1;
        if (base < 0 || base + offset < 0) return 1;
        mem(k)->pos = base + offset;
        return 0;
    };
    s->read = [](void* buffer, size_t size, size_t count, KFILE* k) {
        const size_t left = mem(k)->bytes->size() - size_t(mem(k)->pos);
        const size_t n = std::min(left / size, count);
        std::memcpy(buffer, mem(k)->bytes->data() + mem(k)->pos, n * size);
        mem(k)->pos += long(n * size);
        return n;
    };
    s->getbyte = [](KFILE* k) {
        return size_t(mem(k)->pos) < mem(k)->bytes->size() ? int(uint8_t((*mem(k)->bytes)[size_t(mem(k)->pos++)])) : -1;
    };
    s->getline = [](char*, int, KFILE*) -> char* { return nullptr; };
    s->tell = [](KFILE* k) { return mem(k)->pos; };
    s->close = [](KFILE* k) {
        delete mem(k);
        delete k;
        return 0;
    };
    return s;
}

TEST_F(KfileTest, APluggedInBackEndServesEveryOpenAndPathOperation) {
    g_files = {{"pack/s.kscn", "{ Scene\nname STR \"from the pack\"\n}\n"}};
    int opens = 0;
    const KFILE_OPEN_HOOK open = {&opens, memOpen};
    kfile_set_open_hook(&open);
    const KFILE_PATH_HOOKS paths = {nullptr, [](const char*, void*) { return "D/"; },
                                    [](const char*, int, void*) { return "B"; },
                                    [](const char*, void*) { return "F"; }};
    kfile_set_path_hooks(&paths);

    Doc d(KF_Load("pack/s.kscn"));
    ASSERT_TRUE(d.doc);
    EXPECT_STREQ(static_cast<const char*>(KF_Find(KF_Find(d.root(), "Scene"), "name")->data), "from the pack");
    EXPECT_EQ(kfile_exists("pack/none"), 0);
    EXPECT_EQ(opens, 2);
    EXPECT_STREQ(kfile_dirname("x/y"), "D/");
    EXPECT_STREQ(kfile_basename("x/y", 1), "B");
    EXPECT_STREQ(kfile_fullpath("y"), "F");

    // A group installed with a missing member falls back for that operation only.
    int dirSets = 0;
    const KFILE_DIR_HOOKS dirs = {&dirSets, [](const char*, void* u) { return ++*static_cast<int*>(u), 0; }, nullptr,
                                  nullptr};
    kfile_set_dir_hooks(&dirs);
    kfile_set_dir("elsewhere");
    EXPECT_EQ(dirSets, 1);
    kfile_enter_dir("sub");
    EXPECT_STREQ(kfile_get_dir(), "sub");

    // Null clears a group.
    kfile_set_path_hooks(nullptr);
    kfile_set_dir_hooks(nullptr);
    EXPECT_STREQ(kfile_dirname("x/y"), "x/");
    kfile_set_open_hook(nullptr);
    EXPECT_EQ(KF_Load("pack/s.kscn"), nullptr);  // the plain open finds no such file on disk
    EXPECT_EQ(opens, 2);
}

}  // namespace
