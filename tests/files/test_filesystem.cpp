// File search, archive mounting and the kfile back ends, checked on real directories and on
// zip archives written with libzip, under the library's null device.
#include "core/KeError.h"
#include "files/KeFilePaths.h"
#include "files/KeFileSystem.h"
#include "files/KeIni.h"
#include "files/KeKfileIrr.h"
#include "files/KePathResolve.h"
#include "kf/kfile.h"

#include <gtest/gtest.h>

#include "support/log_capture.h"
#include "support/scratch_dir.h"
#include <iniparser.h>
#include <irrlicht.h>
#include <zip.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace kolm {
namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

void makeDirs(const std::string& path) {
    std::string partial;
    std::stringstream ss(path);
    std::string part;
    while (std::getline(ss, part, '/')) {
        partial += part + "/";
        ::mkdir(partial.c_str(), 0755);
    }
}

void writeFile(const std::string& path, const std::string& content) {
    const size_t slash = path.rfind('/');
    if (slash != std::string::npos) makeDirs(path.substr(0, slash));
    std::ofstream(path, std::ios::binary) << content;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Writes a zip archive with libzip, the library that also writes our packages.
void writeZip(const std::string& path, const Entries& files, const std::vector<std::string>& folders) {
    int err = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    ASSERT_NE(z, nullptr);
    for (const std::string& f : folders) ASSERT_GE(zip_dir_add(z, f.c_str(), ZIP_FL_ENC_UTF_8), 0);
    for (const auto& [name, data] : files) {
        zip_source_t* src = zip_source_buffer(z, data.data(), data.size(), 0);
        ASSERT_NE(src, nullptr);
        ASSERT_GE(zip_file_add(z, name.c_str(), src, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8), 0);
    }
    ASSERT_EQ(zip_close(z), 0);
}

std::string kread(const std::string& path) {
    size_t size = 0;
    char* data = kfile_read_all(path.c_str(), &size);
    if (!data) return "<none>";
    std::string out(data, size);
    std::free(data);
    return out;
}


class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch_.enter("/tmp/kolm-files-"));
        dir_ = scratch_.path;
        log_.install();
        keResetFilesystem();
    }
    void TearDown() override {
        keReleaseFilesystem();
        if (device_) device_->drop();
        keResetFilesystem();
        kfile_set_dir("");
        keResetErrorReporter();
        ASSERT_TRUE(scratch_.leave());
    }
    irr::IrrlichtDevice* device() {
        if (!device_) {
            irr::SIrrlichtCreationParameters p;
            p.DriverType = irr::video::EDT_NULL;
            p.LoggingLevel = irr::ELL_NONE;
            device_ = irr::createDeviceEx(p);
        }
        return device_;
    }
    void newDevice() {
        keReleaseFilesystem();
        if (device_) device_->drop();
        device_ = nullptr;
        ASSERT_NE(device(), nullptr);
    }

    ScratchDir scratch_;
    std::string dir_;
    kolmtest::LogCapture log_;
    irr::IrrlichtDevice* device_ = nullptr;
};

// ---- search order ---------------------------------------------------------------------------

struct SearchCase {
    const char* name;
    const char* expected;  // "$" stands for the base directory
};

void layOutSearchTree(const std::string& base) {
    writeFile("a.fx", "cwd");
    writeFile("shaders/a.fx", "shaders");
    writeFile("shaders/b.fx", "shaders");
    writeFile("textures/b.fx", "textures");
    writeFile("shadersHV/c.fx", "hv");
    writeFile("shadersPP/g.fx", "pp");
    writeFile(base + "g.fx", "base");
    writeFile(base + "e.fx", "base");
    writeFile(base + "shadersSURF2/f.fx", "base surf2");
    writeFile(base + "textures/h.fx", "base textures");
    writeFile(base + "shaders/h.fx", "base shaders");
    makeDirs("shadersSURF/dir.fx");  // a folder is not a file
}

const SearchCase kSearchCases[] = {
    {"a.fx", "a.fx"},                             // current directory before "shaders"
    {"b.fx", "shaders/b.fx"},                     // search folders in their order
    {"c.fx", "shadersHV/c.fx"},
    {"g.fx", "shadersPP/g.fx"},                   // current directory's folders before the base
    {"e.fx", "$e.fx"},                            // base directory itself
    {"f.fx", "$shadersSURF2/f.fx"},               // base directory's folders
    {"h.fx", "$shaders/h.fx"},
    {"dir.fx", "dir.fx"},                         // only a folder of that name: not found
    {"missing.fx", "missing.fx"},                 // not found: unchanged
    {"", ""},
};

void checkSearch(const std::string& base) {
    for (const SearchCase& c : kSearchCases) {
        std::string expected = c.expected;
        if (!expected.empty() && expected[0] == '$') expected = base + expected.substr(1);
        EXPECT_EQ(keFindFile(c.name), expected) << c.name;
    }
}

TEST_F(FilesTest, SearchOrderWithPlainFiles) {
    const std::string base = dir_ + "/base/";
    layOutSearchTree(base);
    keSetBaseDir(base.c_str());
    checkSearch(base);
}

TEST_F(FilesTest, SearchOrderThroughLibraryFileSystem) {
    const std::string base = dir_ + "/base/";
    layOutSearchTree(base);
    keSetBaseDir(base.c_str());
    ASSERT_EQ(keInitFilesystem(device()), 0);
    EXPECT_NE(log_.text.find("INFO : setup filesystem irrstd"), std::string::npos);
    EXPECT_FALSE(keIsPackaged());
    checkSearch(base);
}

// ---- archives -------------------------------------------------------------------------------

const Entries kArchive = {
    {"Shaders/Post.HLSL", "float4 post;"},
    {"data/Part1/Scene.KSCN", "{ scene\n}\n"},
    {"kolm.demo.ini", "[Demo]\nmusic = a.mp3\n"},
    {"kolm-setup.ini", "[Setup]\ndisplay = 800 600\n"},
};
const std::vector<std::string> kFolders = {"Empty/", "data/", "data/Part1/"};

struct ArchiveCase {
    const char* path;
    const char* content;  // "<none>": does not open
};

const ArchiveCase kArchiveCases[] = {
    {"shaders/post.hlsl", "float4 post;"},          // names without regard to case
    {"SHADERS\\POST.hlsl", "float4 post;"},         // and with Windows separators
    {"data/part1/scene.kscn", "{ scene\n}\n"},      // folders kept
    {"scene.kscn", "<none>"},                       // not flattened to the base name
    {"Empty", "<none>"},                            // a folder is not a file
    {"kolm.demo.ini", "[Demo]\nmusic = a.mp3\n"},
};

void checkArchive(const char* how) {
    for (const ArchiveCase& c : kArchiveCases) EXPECT_EQ(kread(c.path), c.content) << how << ": " << c.path;
    EXPECT_STREQ(keFindFile("Post.hlsl"), "shaders/Post.hlsl") << how;
    EXPECT_STREQ(keFindFile("nowhere.hlsl"), "nowhere.hlsl") << how;
}

TEST_F(FilesTest, ArchiveFileAndArchiveInMemoryMountWithTheDevice) {
    writeZip(dir_ + "/demo.dat", kArchive, kFolders);
    const std::string bytes = readAll(dir_ + "/demo.dat");

    for (int mode : {KE_FS_ARCHIVE_FILE, KE_FS_ARCHIVE_MEMORY}) {
        const char* how = mode == KE_FS_ARCHIVE_FILE ? "file" : "memory";
        keResetFilesystem();
        log_.text.clear();
        // Packaged runs record the archive before the engine exists...
        const int used = mode == KE_FS_ARCHIVE_FILE ? keUseArchiveFile("demo.dat")
                                                    : keUseArchiveMemory(bytes.data(), bytes.size());
        ASSERT_EQ(used, 0) << how;
        EXPECT_TRUE(keIsPackaged());
        EXPECT_EQ(keGetFilesystemMode(), mode);
        EXPECT_EQ(log_.text, "INFO : setup filesystem stdio\n");
        EXPECT_EQ(kread("shaders/post.hlsl"), "<none>") << "not mounted before the device exists";

        // ...and every device creation mounts it into that device's file system.
        for (int round = 0; round < 2; ++round) {
            newDevice();
            ASSERT_EQ(keInitFilesystem(device()), 0) << how;
            checkArchive(how);
        }
        EXPECT_NE(log_.text.find("INFO : setup filesystem irrzip"), std::string::npos);
    }
}

TEST_F(FilesTest, ArchiveMembersOpenUnderWorkingDirectoryAndFullPath) {
    writeZip(dir_ + "/demo.dat", kArchive, kFolders);
    makeDirs("data");  // a real folder of the same name, without the member in it
    ASSERT_EQ(keInitFilesystem(device()), 0);
    ASSERT_EQ(keUseArchiveFile("demo.dat"), 0);

    // Full paths of members are not real paths, yet they must open again.
    const std::string full = kfile_fullpath("data/Part1/Scene.KSCN");
    EXPECT_EQ(kread(full), "{ scene\n}\n") << full;
    EXPECT_EQ(kread(dir_ + "/data/part1/scene.kscn"), "{ scene\n}\n");

    ASSERT_EQ(kfile_set_dir("data"), 0);
    ASSERT_EQ(kfile_enter_dir("Part1"), 0);
    EXPECT_EQ(kread("scene.kscn"), "{ scene\n}\n");
    EXPECT_EQ(kread("shaders/post.hlsl"), "float4 post;") << "names from the root still open";
}

TEST_F(FilesTest, IniFilesLoadFromArchiveMembers) {
    writeZip(dir_ + "/demo.dat", kArchive, kFolders);
    ASSERT_EQ(keInitFilesystem(device()), 0);
    ASSERT_EQ(keUseArchiveFile("demo.dat"), 0);
    dictionary* ini = keIniLoad("KOLM-SETUP.INI");
    ASSERT_NE(ini, nullptr);
    EXPECT_STREQ(iniparser_getstring(ini, "setup:display", nullptr), "800 600");
    iniparser_freedict(ini);
    EXPECT_EQ(keIniLoad("absent.ini"), nullptr);
}

// A packaged run: the archive is the root "/" of the file tree. The demo player enters its
// parts' folders from the demo file's folder, and what it finds is handed to the library as
// rooted paths (meshes, effect files, the shader cache).
TEST_F(FilesTest, PackagedArchiveIsTheRootOfTheFileTree) {
    writeZip(dir_ + "/demo.dat", kArchive, kFolders);
    writeFile("real/disk.txt", "on disk");
    ASSERT_EQ(keUseArchiveFile("demo.dat"), 0);
    ASSERT_EQ(keInitFilesystem(device()), 0);
    irr::io::IFileSystem* fs = device()->getFileSystem();

    EXPECT_STREQ(kfile_get_dir(), "/");
    const std::string demoDir = kfile_dirname(kfile_fullpath("kolm.demo.ini"));
    EXPECT_EQ(demoDir, "/");
    // Every part: back to the demo's folder, then into the part's own (folders with and without
    // an entry of their own, any case, "\" separated).
    const struct {
        const char* enter;
        const char* dir;
    } parts[] = {{"data", "/data"}, {"DATA\\part1", "/DATA/part1"}, {"shaders", "/shaders"}, {"", "/"}};
    for (const auto& p : parts) {
        ASSERT_EQ(kfile_set_dir(demoDir.c_str()), 0);
        ASSERT_EQ(kfile_enter_dir(p.enter), 0) << p.enter;
        EXPECT_STREQ(kfile_get_dir(), p.dir) << p.enter;
    }

    ASSERT_EQ(kfile_set_dir("/data/Part1"), 0);
    const std::string full = kfile_fullpath("scene.kscn");
    EXPECT_EQ(full, "/data/Part1/scene.kscn");
    // The library opens rooted names itself: mesh loading, the shader services.
    EXPECT_TRUE(fs->existFile(full.c_str()));
    irr::io::IReadFile* f = fs->createAndOpenFile("/Shaders/Post.HLSL");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->getSize(), 12);
    f->drop();
    EXPECT_EQ(kread("../../kolm.demo.ini"), "[Demo]\nmusic = a.mp3\n");
    EXPECT_EQ(kread("../../../../kolm.demo.ini"), "[Demo]\nmusic = a.mp3\n") << "nothing above the root";
    EXPECT_STREQ(keFindFile("Post.hlsl"), "shaders/Post.hlsl");
    // A name that opens from the root has its full path there: the effect layer opens that.
    EXPECT_EQ(std::string(kfile_fullpath("shaders/Post.hlsl")), "/shaders/Post.hlsl");
    EXPECT_EQ(std::string(kfile_fullpath("missing.hlsl")), "/data/Part1/missing.hlsl");

    // A folder that is nowhere leaves the working directory alone; a folder on disk only is
    // entered, and its files open.
    EXPECT_EQ(kfile_enter_dir("nowhere"), -1);
    EXPECT_STREQ(kfile_get_dir(), "/data/Part1");
    EXPECT_EQ(kfile_set_dir("Empty"), -1) << "relative to the working directory";
    ASSERT_EQ(kfile_set_dir("/Empty"), 0);
    ASSERT_EQ(kfile_set_dir((dir_ + "/real").c_str()), 0);
    EXPECT_EQ(kread("disk.txt"), "on disk");
    EXPECT_EQ(std::string(kfile_fullpath("disk.txt")), dir_ + "/real/disk.txt");

    // The next device mounts the archive again, with the working directory at the root.
    newDevice();
    ASSERT_EQ(keInitFilesystem(device()), 0);
    EXPECT_STREQ(kfile_get_dir(), "/");
    EXPECT_TRUE(device()->getFileSystem()->existFile("/data/part1/scene.kscn"));
    EXPECT_EQ(device()->getFileSystem()->getFileArchiveCount(), 1u);
}

TEST_F(FilesTest, FailedMountsReportAndLeaveTheModeAlone) {
    writeFile("broken.dat", "this is not a zip archive");
    const std::string junk = "PK not really";

    struct Case {
        int mode;
        const void* source;
        size_t size;
        const char* message;
    } cases[] = {
        {KE_FS_ARCHIVE_FILE, "missing.dat", 0, "keSetupFilesystem: Failed addFileArchive 'missing.dat'"},
        {KE_FS_ARCHIVE_FILE, "broken.dat", 0, "keSetupFilesystem: Failed addFileArchive 'broken.dat'"},
        {KE_FS_ARCHIVE_MEMORY, junk.data(), junk.size(), "keSetupFilesystem: Failed addFileArchive from memory"},
    };
    ASSERT_EQ(keInitFilesystem(device()), 0);
    for (const Case& c : cases) {
        log_.text.clear();
        const int r = c.mode == KE_FS_ARCHIVE_FILE ? keUseArchiveFile(static_cast<const char*>(c.source))
                                                   : keUseArchiveMemory(c.source, c.size);
        EXPECT_EQ(r, -1) << c.message;
        EXPECT_NE(log_.text.find(std::string("ERROR : ") + c.message), std::string::npos) << log_.text;
        EXPECT_NE(log_.text.find(std::string("[box] ") + c.message), std::string::npos) << log_.text;
        EXPECT_FALSE(keIsPackaged());
    }
}

TEST_F(FilesTest, PackagedRunWhoseArchiveCannotBeMountedFailsAtDeviceCreation) {
    writeFile("broken.dat", "this is not a zip archive");
    ASSERT_EQ(keUseArchiveFile("broken.dat"), 0);  // recorded only
    EXPECT_EQ(keInitFilesystem(device()), -1);
    EXPECT_NE(log_.text.find("keSetupFilesystem: Failed addFileArchive 'broken.dat'"), std::string::npos);
}

// ---- Windows-style paths on disk ------------------------------------------------------------

TEST_F(FilesTest, WindowsStylePathsResolveOnDisk) {
    writeFile("Scenes/Part1/Objects/Cube.x", "xof 0303txt");
    writeFile("Scenes/Part1/scene.kscn", "{ scene\n}\n");
    const ArchiveCase cases[] = {
        {"Scenes\\Part1\\Objects\\Cube.x", "xof 0303txt"},  // separators only
        {"scenes\\PART1\\objects\\cube.X", "xof 0303txt"},  // and case
        {"./Scenes/part1/../Part1/OBJECTS/CUBE.X", "xof 0303txt"},
        {"Scenes\\Part1\\Objects\\Sphere.x", "<none>"},
        {"Scenes\\Part1\\Objects", "<none>"},  // a folder
    };
    for (int backend = 0; backend < 2; ++backend) {
        if (backend == 1) { ASSERT_EQ(keInitFilesystem(device()), 0); }
        for (const ArchiveCase& c : cases) EXPECT_EQ(kread(c.path), c.content) << backend << ": " << c.path;
        // A document that names its objects relative to its own folder.
        ASSERT_EQ(kfile_set_dir("SCENES\\part1"), 0);
        EXPECT_EQ(kread("objects\\cube.x"), "xof 0303txt") << backend;
        ASSERT_EQ(kfile_set_dir(dir_.c_str()), 0);
    }
    std::string resolved;
    ASSERT_TRUE(keResolveDiskPath((dir_ + "\\SCENES\\part1\\scene.KSCN").c_str(), &resolved));
    EXPECT_EQ(resolved, dir_ + "/Scenes/Part1/scene.kscn");
}

// ---- streams and path hooks of the library back end -----------------------------------------

TEST_F(FilesTest, LibraryStreamsSeekReadAndSplitLines) {
    const std::string text = "first\nsecond line\n\nlast";
    writeFile("lines.txt", text);
    writeZip(dir_ + "/lines.dat", {{"zipped.txt", text}}, {});
    ASSERT_EQ(keInitFilesystem(device()), 0);
    ASSERT_EQ(keUseArchiveFile("lines.dat"), 0);

    for (const char* path : {"lines.txt", "zipped.txt"}) {
        KFILE* f = kfile_fopen(path, "rb");
        ASSERT_NE(f, nullptr) << path;
        char line[8];
        std::vector<std::string> lines;
        while (f->getline(line, sizeof line, f)) lines.push_back(line);
        // At most length - 1 bytes per call: "second line\n" comes in two pieces.
        EXPECT_EQ(lines, (std::vector<std::string>{"first\n", "second ", "line\n", "\n", "last"})) << path;
        EXPECT_EQ(f->getbyte(f), -1);
        EXPECT_EQ(f->tell(f), static_cast<long>(text.size()));

        struct {
            long offset;
            int whence;
            int result;
            long position;
        } seeks[] = {{2, 0, 0, 2}, {3, 1, 0, 5}, {-4, 2, 0, static_cast<long>(text.size()) - 4}, {0, 7, 1, -1}};
        for (const auto& s : seeks) {
            EXPECT_EQ(f->seek(f, s.offset, s.whence), s.result) << path << " whence " << s.whence;
            if (s.position >= 0) { EXPECT_EQ(f->tell(f), s.position) << path; }
        }
        f->seek(f, 0, 0);
        char buffer[64] = {};
        EXPECT_EQ(f->read(buffer, 1, sizeof buffer, f), text.size());
        EXPECT_EQ(std::string(buffer), text);
        EXPECT_EQ(kfile_fclose(f), 0);
    }
    EXPECT_EQ(kfile_fopen("lines.txt", "wb"), nullptr) << "the library back end reads only";
}

TEST_F(FilesTest, LibraryPathHooks) {
    ASSERT_EQ(keInitFilesystem(device()), 0);
    EXPECT_STREQ(kfile_basename("dir/sub/file.ext", 1), "file.ext");
    EXPECT_STREQ(kfile_basename("dir\\file.ext", 0), "file");
    EXPECT_STREQ(kfile_dirname("dir/sub/file.ext"), "dir/sub");
    makeDirs("real");
    ASSERT_EQ(kfile_set_dir("real"), 0);
    EXPECT_EQ(std::string(kfile_get_dir()), dir_ + "/real");
    // A name that does not exist comes back whole, not cut at the last existing folder.
    EXPECT_EQ(std::string(kfile_fullpath("not/there.txt")), dir_ + "/real/not/there.txt");
}

TEST_F(FilesTest, ScriptPathOperationsOnBothBackEnds) {
    writeFile("Sub/file.txt", "x");
    struct Case {
        const char* path;
        const char* filename;  // keep extension
        const char* stem;      // without
        const char* plainDir;  // directory part, plain back end
        const char* libDir;    // directory part, library back end
    } cases[] = {
        {"Sub/file.txt", "file.txt", "file", "Sub/", "Sub"},
        {"Sub\\file.txt", "file.txt", "file", "Sub\\", "Sub"},
        {"file", "file", "file", "", "."},
        {nullptr, "", "", "", "."},
    };
    for (int backend = 0; backend < 2; ++backend) {
        if (backend == 1) { ASSERT_EQ(keInitFilesystem(device()), 0); }
        for (const Case& c : cases) {
            const char* what = c.path ? c.path : "(null)";
            EXPECT_STREQ(kePathFilename(c.path), c.filename) << backend << ": " << what;
            EXPECT_STREQ(kePathFilename(c.path, false), c.stem) << backend << ": " << what;
            EXPECT_STREQ(kePathPath(c.path), backend ? c.libDir : c.plainDir) << backend << ": " << what;
        }
        EXPECT_EQ(keFileExist("sub\\FILE.txt"), 1) << backend;
        EXPECT_EQ(keFileExist("Sub"), 0) << backend << ": a folder";
        EXPECT_EQ(keFileExist(nullptr), 0) << backend;
        ASSERT_EQ(keSetDir("Sub"), 0) << backend;
        EXPECT_EQ(keFileExist("file.txt"), 1) << backend;
        EXPECT_EQ(std::string(kePathFull("file.txt")), backend ? dir_ + "/Sub/file.txt" : "Sub/file.txt");
        ASSERT_EQ(keSetDir(backend ? dir_.c_str() : ""), 0);
    }
}

}  // namespace
}  // namespace kolm
