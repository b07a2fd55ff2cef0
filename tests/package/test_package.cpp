// Packages: the scramble, building scene, demo and shader packages into a copy of a small
// program (entry order, contents byte for byte, what a failure leaves), the package report, and
// extraction, hostile archives included.
#include "package/KePackage.h"
#include "package/KeZipReader.h"
#include "platform/KeExeResources.h"

#include <gtest/gtest.h>

#include "support/log_capture.h"
#include "support/scratch_dir.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kolm {
namespace {

namespace fs = std::filesystem;

void writeFile(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}
std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
std::vector<std::string> listFolder(const std::string& path) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(path, ec))
        names.push_back(fs::relative(e.path(), path).string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(PackageScramble, WholeWordsOnlyAndItsOwnInverse) {
    for (size_t size : {0u, 1u, 3u, 4u, 5u, 7u, 8u, 13u}) {
        SCOPED_TRACE(size);
        std::string bytes;
        for (size_t i = 0; i < size; ++i) bytes.push_back(static_cast<char>(i * 37 + 1));
        std::string s = bytes;
        keScrambleWords(s.data(), s.size());
        for (size_t i = 0; i < size; ++i) {
            const unsigned key = (0x6B3D91A7u >> (8 * (i % 4))) & 0xFF;
            const unsigned expected = i < size / 4 * 4 ? (static_cast<unsigned char>(bytes[i]) ^ key)
                                                       : static_cast<unsigned char>(bytes[i]);
            EXPECT_EQ(static_cast<unsigned char>(s[i]), expected) << "byte " << i;
        }
        keScrambleWords(s.data(), s.size());
        EXPECT_EQ(s, bytes);
    }
}

// A project folder: a small "program", an engine folder and a scene and demo beside it.
class PackageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.enter("/tmp/kolm-pkg-"));
        writeFile(dir / "engine/kolm", std::string("\x7f" "ELF", 4) + std::string(300, '\x02'));
        ASSERT_EQ(chmod((dir / "engine/kolm").c_str(), 0755), 0);
        writeFile(dir / "engine/shadersCache/a.vso", "vso");
        writeFile(dir / "engine/shadersCache/a.vso.inf", "inf");
        writeFile(dir / "engine/shadersCache/a.pso", "pso");
        writeFile(dir / "engine/shaders/b.hlsl", std::string(5000, 'h'));
        writeFile(dir / "engine/shaders/b.h", "h");
        writeFile(dir / "engine/shadersHV/include/c.h", "hv");
        writeFile(dir / "engine/textures/n.dds", "dds");
        writeFile(dir / "engine/textures/readme.txt", "not an image");

        writeFile(dir / "scene/my.kscn", "scene");
        writeFile(dir / "scene/b.x", "object b");
        writeFile(dir / "scene/a.x", "object a");
        writeFile(dir / "scene/a.kmorph", "morph");
        writeFile(dir / "scene/t.PNG", std::string(3001, 't'));  // odd size, capital extension
        writeFile(dir / "scene/notes.txt", "left out");
        writeFile(dir / "scene/scene_backup/o.lwo", "lwo");
        writeFile(dir / "scene/scene_backup/s.lws", "lws");
        writeFile(dir / "scene/sub/deep.x", "not packed");

        sources.executable = dir / "engine/kolm";
        sources.engineDir = dir / "engine";
        sources.readDemo = &PackageTest::readDemo;
    }

    static KeDemoPackList s_demo;
    static bool readDemo(const char*, KeDemoPackList* list) {
        *list = s_demo;
        return true;
    }

    // The unscrambled archive of a package and its entry names.
    std::string archiveOf(const std::string& exe) {
        std::string archive;
        EXPECT_EQ(keLoadPackage(exe.c_str(), &archive), 0);
        return archive;
    }
    static std::vector<std::string> names(const std::string& archive) {
        KeZipReader zip;
        std::string error;
        EXPECT_TRUE(zip.open(archive.data(), archive.size(), &error)) << error;
        std::vector<std::string> out;
        for (const KeZipEntry& e : zip.entries()) out.push_back(e.name);
        return out;
    }

    ScratchDir dir;
    KePackageSources sources;
    kolmtest::LogCapture log;
};
KeDemoPackList PackageTest::s_demo;

TEST_F(PackageTest, SceneRoundTripByteForByte) {
    const std::string out = dir / "dist/scene";
    fs::create_directories(dir / "dist");
    ASSERT_EQ(keBuildPackage(out.c_str(), (dir / "scene/my.kscn").c_str(), false, sources), 0) << log.text;

    struct stat st {};
    ASSERT_EQ(stat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
    EXPECT_EQ(readFile(out).substr(0, 304), readFile(dir / "engine/kolm"));
    EXPECT_EQ(listFolder(dir / "dist"), std::vector<std::string>{"scene"}) << "no temporary file is left";

    const std::string archive = archiveOf(out);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"a.x", "scene/a.x"},
        {"b.x", "scene/b.x"},
        {"a.kmorph", "scene/a.kmorph"},
        {"t.PNG", "scene/t.PNG"},
        {"kolm.kscn", "scene/my.kscn"},
        {"scene_backup/o.lwo", "scene/scene_backup/o.lwo"},
        {"scene_backup/s.lws", "scene/scene_backup/s.lws"},
        {"shadersCache/a.vso", "engine/shadersCache/a.vso"},
        {"shadersCache/a.pso", "engine/shadersCache/a.pso"},
        {"shadersCache/a.vso.inf", "engine/shadersCache/a.vso.inf"},
        {"shaders/b.hlsl", "engine/shaders/b.hlsl"},
        {"shaders/b.h", "engine/shaders/b.h"},
        {"shadersHV/include/c.h", "engine/shadersHV/include/c.h"},
        {"textures/n.dds", "engine/textures/n.dds"},
    };
    KeZipReader zip;
    std::string error;
    ASSERT_TRUE(zip.open(archive.data(), archive.size(), &error)) << error;
    ASSERT_EQ(zip.entries().size(), expected.size()) << ::testing::PrintToString(names(archive));
    zip_t* raw = nullptr;
    zip_source_t* src = zip_source_buffer_create(archive.data(), archive.size(), 0, nullptr);
    raw = zip_open_from_source(src, ZIP_RDONLY, nullptr);
    ASSERT_NE(raw, nullptr);
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].first);
        EXPECT_EQ(zip.entries()[i].name, expected[i].first);
        std::string bytes;
        ASSERT_TRUE(zip.read(i, &bytes, KE_PACKAGE_MAX_ENTRY, &error)) << error;
        EXPECT_EQ(bytes, readFile(dir / expected[i].second));
        zip_stat_t zs;
        ASSERT_EQ(zip_stat_index(raw, i, 0, &zs), 0);
        EXPECT_EQ(zs.comp_method, ZIP_CM_DEFLATE);
    }
    zip_discard(raw);

    // The resource is the archive scrambled: its odd tail stays as it is.
    std::string stored;
    ASSERT_EQ(keReadExeResource(out.c_str(), KE_RESOURCE_PACKAGE, &stored, nullptr), KeResourceStatus::Ok);
    ASSERT_EQ(stored.size(), archive.size());
    EXPECT_NE(stored.substr(0, 4), archive.substr(0, 4));
    EXPECT_EQ(stored.substr(stored.size() / 4 * 4), archive.substr(archive.size() / 4 * 4));
    EXPECT_TRUE(keIsPackagedExecutable(out.c_str()));
    EXPECT_FALSE(keIsPackagedExecutable(sources.executable.c_str()));

    log.clear();
    EXPECT_EQ(kePackageInfo(out.c_str()), 0) << log.text;
    EXPECT_TRUE(log.contains("Resource 500: " + std::to_string(archive.size()) + " bytes")) << log.text;
    EXPECT_TRUE(log.contains("shaders/b.hlsl")) << log.text;
    EXPECT_TRUE(log.contains("Package OK")) << log.text;
}

TEST_F(PackageTest, SideFileIsAPlainZipThatZipToolsOpen) {
    const std::string out = dir / "dist/scene.bin";
    fs::create_directories(dir / "dist");
    ASSERT_EQ(keBuildPackage(out.c_str(), (dir / "scene/my.kscn").c_str(), true, sources), 0) << log.text;
    EXPECT_EQ(listFolder(dir / "dist"), (std::vector<std::string>{"scene.bin", "scene.dat"}));
    EXPECT_EQ(readFile(out), readFile(dir / "engine/kolm")) << "the side-file form adds no resource";
    EXPECT_TRUE(keIsPackagedExecutable(out.c_str()));
    const std::string archive = readFile(dir / "dist/scene.dat");
    EXPECT_EQ(archive.substr(0, 4), std::string("PK\x03\x04", 4));
    EXPECT_EQ(names(archive).at(4), "kolm.kscn");
    EXPECT_EQ(kePackageInfo((dir / "dist/scene.dat").c_str()), 0) << log.text;

    if (std::system("command -v ziptool >/dev/null 2>&1") != 0) GTEST_SKIP() << "ziptool is not installed";
    const std::string cmd = "ziptool " + dir / "dist/scene.dat" + " cat 4 > " + dir / "cat.out";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_EQ(readFile(dir / "cat.out"), "scene");
}

TEST_F(PackageTest, DemoEntriesComeInTheirOrderAndSharedFoldersOnce) {
    writeFile(dir / "demo/show.demo.ini", "[setup]\n");
    writeFile(dir / "demo/part1/p.x", "p");
    writeFile(dir / "demo/part1/p.lws.ini.bin", "bin");
    writeFile(dir / "demo/part1/cam.fx", "fx");
    writeFile(dir / "demo/part1/inc.h", "inc");
    writeFile(dir / "demo/part2/q.kolm", "q");
    writeFile(dir / "demo/fx/post.hlsl", "post");
    writeFile(dir / "demo/music/song.mp3", "mp3");
    writeFile(dir / "demo/loading.png", "png");
    writeFile(dir / "loading.png", "found here");  // the file layer looks in the current folder
    writeFile(dir / "demo/r.x", "root");
    // Folders repeat in other spellings; the shader folder is also a part's folder.
    s_demo = KeDemoPackList{{"part1", "PART1", "part2", "part1\\", ".", "", "./", "fx"}, "fx", "music"};

    const std::string out = dir / "demo.run";
    ASSERT_EQ(keBuildPackage(out.c_str(), (dir / "demo/show.demo.ini").c_str(), false, sources), 0) << log.text;
    EXPECT_FALSE(log.contains("ERROR")) << log.text;
    const std::vector<std::string> got = names(archiveOf(out));
    const std::vector<std::string> head = {"part1/p.x",     "part1/p.lws.ini.bin", "part1/cam.fx", "part1/inc.h",
                                           "part2/q.kolm",  "r.x",
                                           "loading.png",  // an image of the root folder: packed once
                                           "fx/post.hlsl",  "kolm.demo.ini",       "music/song.mp3",
                                           "shadersCache/a.vso"};
    ASSERT_GE(got.size(), head.size());
    EXPECT_EQ(std::vector<std::string>(got.begin(), got.begin() + head.size()), head);
}

TEST_F(PackageTest, AFailedBuildLeavesNothingAndKeepsAnExistingOutput) {
    fs::create_directories(dir / "dist");
    const std::string out = dir / "dist/demo";
    writeFile(out, "previous build");
    writeFile(dir / "demo/show.demo.ini", "[setup]\n");

    s_demo = KeDemoPackList{};
    for (int i = 0; i < 256; ++i) s_demo.directories.push_back("f" + std::to_string(i));
    EXPECT_EQ(keBuildPackage(out.c_str(), (dir / "demo/show.demo.ini").c_str(), false, sources), -1);
    EXPECT_TRUE(log.contains("Reached max directories\n")) << log.text;
    s_demo.directories.pop_back();  // 255 distinct folders (and a repeat) are fine
    s_demo.directories.push_back("F0");
    EXPECT_EQ(keBuildPackage((dir / "ok").c_str(), (dir / "demo/show.demo.ini").c_str(), true, sources), 0)
        << log.text;

    sources.readDemo = [](const char*, KeDemoPackList*) { return false; };
    EXPECT_EQ(keBuildPackage(out.c_str(), (dir / "demo/show.demo.ini").c_str(), true, sources), -1);
    EXPECT_TRUE(log.contains("Failed to load ini file")) << log.text;

    sources.executable = dir / "missing";
    EXPECT_EQ(keBuildPackage(out.c_str(), (dir / "scene/my.kscn").c_str(), false, sources), -1);
    EXPECT_TRUE(log.contains("Failed to copy")) << log.text;

    EXPECT_EQ(listFolder(dir / "dist"), std::vector<std::string>{"demo"});
    EXPECT_EQ(readFile(out), "previous build");
}

TEST_F(PackageTest, MissingOutputFoldersAreMadeAndTakenAwayAgainWhenTheBuildFails) {
    const std::string out = dir / "fresh/dist/scene";
    ASSERT_EQ(keBuildPackage(out.c_str(), (dir / "scene/my.kscn").c_str(), false, sources), 0) << log.text;
    EXPECT_EQ(listFolder(dir / "fresh/dist"), std::vector<std::string>{"scene"});
    EXPECT_TRUE(keIsPackagedExecutable(out.c_str()));

    fs::create_directories(dir / "kept");
    sources.executable = dir / "missing";
    EXPECT_EQ(keBuildPackage((dir / "kept/new/deeper/scene").c_str(), (dir / "scene/my.kscn").c_str(), false, sources),
              -1);
    EXPECT_TRUE(log.contains("Failed to copy")) << log.text;
    EXPECT_TRUE(listFolder(dir / "kept").empty()) << "only the folders this build made go";
}

TEST_F(PackageTest, ShaderPackageCarriesShadersAndTexturesAsResource501) {
    const std::string out = dir / "rsc";
    ASSERT_EQ(keBuildShaderPackage(out.c_str(), sources), 0) << log.text;
    std::string archive;
    ASSERT_EQ(keReadExeResource(out.c_str(), KE_RESOURCE_SHADERS, &archive, nullptr), KeResourceStatus::Ok);
    keScrambleWords(archive.data(), archive.size());
    EXPECT_EQ(names(archive), (std::vector<std::string>{"shaders/b.hlsl", "shaders/b.h", "shadersHV/include/c.h",
                                                        "textures/n.dds"}));
    EXPECT_FALSE(keIsPackagedExecutable(out.c_str()));
}

// An archive made in memory from (name, bytes) pairs; a name ending in "@" is stored as a link.
std::string makeZip(const std::vector<std::pair<std::string, std::string>>& entries) {
    zip_error_t ze;
    zip_error_init(&ze);
    zip_source_t* mem = zip_source_buffer_create(nullptr, 0, 0, &ze);
    zip_source_keep(mem);
    zip_t* z = zip_open_from_source(mem, ZIP_TRUNCATE, &ze);
    for (const auto& [name, bytes] : entries) {
        const bool link = !name.empty() && name.back() == '@';
        const std::string n = link ? name.substr(0, name.size() - 1) : name;
        zip_source_t* s = zip_source_buffer(z, bytes.data(), bytes.size(), 0);
        const zip_int64_t i = zip_file_add(z, n.c_str(), s, 0);
        zip_set_file_compression(z, static_cast<zip_uint64_t>(i), ZIP_CM_STORE, 0);  // bytes stay findable
        if (link) zip_file_set_external_attributes(z, i, 0, ZIP_OPSYS_UNIX, (0120777u) << 16);
    }
    zip_close(z);
    zip_source_open(mem);
    zip_source_seek(mem, 0, SEEK_END);
    const zip_int64_t size = zip_source_tell(mem);
    zip_source_seek(mem, 0, SEEK_SET);
    std::string out(static_cast<size_t>(size), '\0');
    zip_source_read(mem, out.data(), size);
    zip_source_close(mem);
    zip_source_free(mem);
    zip_error_fini(&ze);
    return out;
}

TEST_F(PackageTest, ExtractionSortsAPackagedSceneIntoItsFolders) {
    const std::string zip = makeZip({{"a.x", "x"},
                                     {"t.png", "png"},
                                     {"kolm.kscn", "scene"},
                                     {"noext", "n"},
                                     {"shaders/b.hlsl", "h"},
                                     {"scene_backup/o.lwo", "lwo"},
                                     {"scene_backup/s.lws", "lws"},
                                     {"scene_backup/x.txt", "skipped"}});
    ASSERT_EQ(keExtractPackage(zip.data(), zip.size(), dir.path.c_str()), 0) << log.text;
    EXPECT_EQ(listFolder(dir / "ExeExtract"),
              (std::vector<std::string>{"Images", "Images/t.png", "Objects", "Objects/o.lwo", "Scenes",
                                        "Scenes/s.lws"}));
    EXPECT_EQ(readFile(dir / "ExeExtract/Objects/o.lwo"), "lwo");
    EXPECT_TRUE(log.contains("Extract File '" + dir / "ExeExtract/Images/t.png" + "'\n")) << log.text;
}

TEST_F(PackageTest, ExtractionRefusesDemosAndHostileArchivesWritingNothing) {
    const std::pair<std::string, std::string> scene = {"kolm.kscn", "s"}, backup = {"scene_backup/o.lwo", "o"};
    struct Case {
        const char* name;
        std::string archive;
        const char* message;  // nullptr: refused without a message
    };
    std::string bomb = makeZip({scene, backup, {"big.png", std::string(4096, 'z')}});
    // The uncompressed size of "big.png" claims 4 GiB - 1 in its local and central headers.
    for (size_t at = 0; (at = bomb.find("big.png", at)) != std::string::npos; at += 7) {
        const bool central = bomb.compare(at - 46, 4, "PK\x01\x02", 4) == 0;
        const size_t field = central ? at - 46 + 24 : at - 30 + 22;
        std::memset(&bomb[field], 0xFF, 4);
    }
    std::string crc = makeZip({scene, backup, {"t.png", "image bytes"}});
    crc[crc.find("image bytes")] ^= 1;
    const Case cases[] = {
        {"a packaged demo", makeZip({scene, backup, {"kolm.demo.ini", "d"}}), nullptr},
        {"no scene_backup folder", makeZip({scene, {"t.png", "p"}}), nullptr},
        {"not a zip", "PK\x03\x04 this is not an archive", "Failed to open archive"},
        {"climbing name", makeZip({scene, backup, {"../evil.png", "e"}}), "Refused to extract '../evil.png'"},
        {"hidden climb", makeZip({scene, {"scene_backup/../../evil.lwo", "e"}}), "Refused to extract"},
        {"absolute name", makeZip({scene, backup, {"/tmp/evil.png", "e"}}), "Refused to extract '/tmp/evil.png'"},
        {"link entry", makeZip({scene, backup, {"link.png@", "/etc/passwd"}}), "it is a link"},
        {"size bomb", bomb, "Failed to "},
        {"bad crc", crc, "Failed to extract file t.png"},
    };
    const std::string target = dir / "target";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        std::error_code ec;
        fs::remove_all(target, ec);
        fs::create_directories(target);
        EXPECT_EQ(keExtractPackage(c.archive.data(), c.archive.size(), target.c_str()), -1);
        if (c.message) {
            EXPECT_NE(log.text.find(c.message), std::string::npos) << log.text;
        }
        for (const std::string& f : listFolder(target)) EXPECT_TRUE(fs::is_directory(target + "/" + f)) << f;
    }

    // A link named like a target folder or file is never followed.
    fs::remove_all(target);
    fs::create_directories(target);
    fs::create_directories(dir / "elsewhere");
    fs::create_directory_symlink(dir / "elsewhere", target + "/ExeExtract");
    const std::string ok = makeZip({scene, backup});
    EXPECT_EQ(keExtractPackage(ok.data(), ok.size(), target.c_str()), -1);
    EXPECT_TRUE(log.contains("Failed to create directory")) << log.text;
    fs::remove(target + "/ExeExtract");
    fs::create_directories(target + "/ExeExtract/Objects");
    fs::create_symlink(dir / "elsewhere/victim", target + "/ExeExtract/Objects/o.lwo");
    EXPECT_EQ(keExtractPackage(ok.data(), ok.size(), target.c_str()), -1);
    EXPECT_FALSE(fs::exists(dir / "elsewhere/victim"));
}

TEST_F(PackageTest, PackageReportFindsDamage) {
    std::string bad = makeZip({{"t.png", "image bytes"}});
    bad[bad.find("image bytes")] ^= 1;
    writeFile(dir / "bad.dat", bad);
    EXPECT_EQ(kePackageInfo((dir / "bad.dat").c_str()), -1);
    EXPECT_TRUE(log.contains("FAILED")) << log.text;

    log.clear();
    writeFile(dir / "prog", "program" + std::string("junk") + std::string(16, '\xff') + "KOLMRSC1");
    EXPECT_EQ(kePackageInfo((dir / "prog").c_str()), -1);
    EXPECT_TRUE(log.contains("damaged")) << log.text;
    EXPECT_EQ(kePackageInfo((dir / "nothing").c_str()), -1);
}

}  // namespace
}  // namespace kolm
