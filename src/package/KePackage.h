// Packages: a demo or a scene with everything it needs in one zip archive, carried as
// resource 500 of a copy of the executable (scrambled) or in a side ".dat" file beside it; the
// engine's shader folders as resource 501; extraction of a packaged scene; a package report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kolm {

constexpr uint32_t KE_PACKAGE_SCRAMBLE_KEY = 0x6B3D91A7;
constexpr int KE_PACKAGE_MAX_FOLDERS = 255;      // distinct scene folders of one demo
constexpr int KE_PACKAGE_DEFLATE_LEVEL = 6;
// Largest entry that extraction and the package report read (bytes, uncompressed): an entry
// that claims more is refused before anything is allocated for it.
constexpr uint64_t KE_PACKAGE_MAX_ENTRY = uint64_t(1) << 30;

// Combines every whole 32-bit little-endian word of `data` (the first size / 4 words) with the
// key by exclusive or; the last 1 to 3 bytes stay as they are. Its own inverse.
void keScrambleWords(void* data, size_t size);

// What a demo definition names for its package: the folders of its parts and extras (as
// written, "\" or "/" separated, relative to the demo file's folder, repeats allowed) and the
// "setup" section's shader and music folders (empty: not set).
struct KeDemoPackList {
    std::vector<std::string> directories;
    std::string shadersDirectory;
    std::string musicDirectory;
};
// Reads a demo definition into a pack list; false when the file does not parse.
using KeDemoListReader = bool (*)(const char* demoFile, KeDemoPackList* list);

struct KePackageSources {
    std::string executable;  // the program copied into the package (the running one)
    std::string engineDir;   // the engine's folder: "shadersCache", "shaders", ..., "textures"
    KeDemoListReader readDemo = nullptr;
};

// "-demoexe" (sideFile false) and "-demodat" (sideFile true): copies the program to `output`
// and packs `source` (a ".demo.ini" file, or a scene when its name contains ".kscn") into its
// resource 500 or its side file. Everything is built beside the output under temporary names
// and moved into place only when the build succeeds: a failure leaves no output, and an
// existing output stays as it was. Files that cannot be added are reported and left out.
// 0 or -1.
int keBuildPackage(const char* output, const char* source, bool sideFile, const KePackageSources& sources);

// "-exersc": a copy of the program with the engine's shader folders and textures as resource 501.
int keBuildShaderPackage(const char* output, const KePackageSources& sources);

// The side file of an executable: its folder, its name without extension, ".dat".
std::string keSideFilePath(const std::string& executable);

// Resource 500 of `executable`, or a side file beside it, exists.
bool keIsPackagedExecutable(const char* executable);

// Resource 500 of `executable`, unscrambled into `archive`. -1 when it is missing, damaged or
// unreadable.
int keLoadPackage(const char* executable, std::string* archive);

// "-extract": a packaged scene's objects, scenes and images into `folder`/"ExeExtract"
// ("Objects", "Scenes", "Images"). Only archives with a "scene_backup/" entry and
// "kolm.kscn" and without "kolm.demo.ini" are extracted; -1 otherwise (nothing written).
// Entries with unsafe names ("..", absolute, "\") and links are refused before anything is
// written; no file is written through a symbolic link.
int keExtractPackage(const void* data, size_t size, const char* folder);

// "--package-info FILE": logs the resources of an executable (or takes FILE as a zip archive
// when it has none) and each archive's entries with their sizes, and reads every entry back
// checking its CRC. 0 when everything reads back, -1 otherwise.
int kePackageInfo(const char* file);

}  // namespace kolm
