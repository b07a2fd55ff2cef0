// Reading packages: the packaged check, loading resource 500, the package report and
// extraction of a packaged scene.
#include "package/KePackage.h"

#include "core/KeError.h"
#include "package/KeZipReader.h"
#include "platform/KeExeResources.h"
#include "platform/KeFileWrite.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <strings.h>

namespace kolm {
namespace {

bool contains(const std::string& s, const char* part) { return s.find(part) != std::string::npos; }

// A name that is safe to take apart and write under a folder of ours.
bool safeEntryName(const std::string& name) {
    return !name.empty() && name[0] != '/' && !contains(name, "..") && !contains(name, "\\");
}

enum class Category { Skip, Images, Objects, Scenes };

Category categoryOf(const std::string& name) {
    if (name.find('.') == std::string::npos) return Category::Skip;
    const char* ext = std::strrchr(name.c_str(), '.');
    auto is = [ext](const char* e) { return strcasecmp(ext, e) == 0; };
    if (contains(name, "/") || is(".x") || is(".kscn") || is(".kolm")) {
        if (!contains(name, "scene_backup/")) return Category::Skip;
        if (is(".lwo")) return Category::Objects;
        if (is(".lws")) return Category::Scenes;
        return Category::Skip;
    }
    return Category::Images;
}

const char* folderName(Category c) {
    switch (c) {
    case Category::Images: return "Images";
    case Category::Objects: return "Objects";
    case Category::Scenes: return "Scenes";
    case Category::Skip: break;
    }
    return "";
}

// Logs one archive's entries and reads each back. False when any entry fails.
bool reportArchive(const char* what, const std::string& bytes) {
    KeZipReader zip;
    std::string error;
    if (!zip.open(bytes.data(), bytes.size(), &error)) {
        reportError("%s is not a readable archive: %s", what, error.c_str());
        return false;
    }
    logLine("%s: %zu entries", what, zip.entries().size());
    bool ok = true;
    for (size_t i = 0; i < zip.entries().size(); ++i) {
        const KeZipEntry& e = zip.entries()[i];
        const bool read = zip.read(i, nullptr, KE_PACKAGE_MAX_ENTRY, &error);
        logLine("  %10llu %10llu %08x %s%s%s", static_cast<unsigned long long>(e.size),
                static_cast<unsigned long long>(e.compressedSize), e.crc, e.name.c_str(), read ? "" : "  FAILED: ",
                read ? "" : error.c_str());
        ok = ok && read;
    }
    return ok;
}

}  // namespace

bool keIsPackagedExecutable(const char* executable) {
    std::vector<KeExeResource> list;
    if (keListExeResources(executable, &list, nullptr) == KeResourceStatus::Ok) {
        for (const KeExeResource& r : list)
            if (r.id == KE_RESOURCE_PACKAGE) return true;
    }
    std::error_code ec;
    return std::filesystem::is_regular_file(keSideFilePath(executable), ec);
}

int keLoadPackage(const char* executable, std::string* archive) {
    if (keReadExeResource(executable, KE_RESOURCE_PACKAGE, archive, nullptr) != KeResourceStatus::Ok) return -1;
    keScrambleWords(archive->data(), archive->size());
    return 0;
}

int kePackageInfo(const char* file) {
    std::vector<KeExeResource> list;
    std::string error;
    const KeResourceStatus s = keListExeResources(file, &list, &error);
    if (s == KeResourceStatus::Unreadable || s == KeResourceStatus::Damaged) {
        reportError("%s", error.c_str());
        return -1;
    }
    if (s == KeResourceStatus::Missing) {
        // No resources: a side file or any other zip archive.
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        logLine("%s: no resources", file);
        return reportArchive(file, bytes) ? 0 : -1;
    }
    bool ok = true;
    for (const KeExeResource& r : list) {
        logLine("Resource %u: %llu bytes at %llu", r.id, static_cast<unsigned long long>(r.size),
                static_cast<unsigned long long>(r.offset));
    }
    // Each id once, its last copy (the one a reader finds).
    std::vector<uint32_t> ids;
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        if (std::find(ids.begin(), ids.end(), it->id) != ids.end()) continue;
        ids.push_back(it->id);
        std::string bytes;
        if (keReadExeResource(file, it->id, &bytes, &error) != KeResourceStatus::Ok) {
            reportError("%s", error.c_str());
            ok = false;
            continue;
        }
        if (it->id != KE_RESOURCE_PACKAGE && it->id != KE_RESOURCE_SHADERS) continue;
        keScrambleWords(bytes.data(), bytes.size());
        const std::string what = "Resource " + std::to_string(it->id);
        ok = reportArchive(what.c_str(), bytes) && ok;
    }
    logLine("%s", ok ? "Package OK" : "Package FAILED");
    return ok ? 0 : -1;
}

int keExtractPackage(const void* data, size_t size, const char* folder) {
    KeZipReader zip;
    std::string error;
    if (!zip.open(data, size, &error)) {
        recordErrorBox(-1, "Failed to open archive");
        return -1;
    }
    bool backup = false, scene = false, demo = false;
    for (const KeZipEntry& e : zip.entries()) {
        backup = backup || contains(e.name, "scene_backup/");
        scene = scene || contains(e.name, "kolm.kscn");
        demo = demo || contains(e.name, "kolm.demo.ini");
    }
    if (!backup || !scene || demo) return -1;

    // Everything that would be written is checked before the first folder is made: names,
    // links, and that each taken entry reads back whole with its CRC.
    for (size_t i = 0; i < zip.entries().size(); ++i) {
        const KeZipEntry& e = zip.entries()[i];
        if (e.isFolder) continue;
        if (!safeEntryName(e.name)) {
            recordErrorBox(-1, "Refused to extract '%s': the name leaves the extraction folder", e.name.c_str());
            return -1;
        }
        if (e.isLink) {
            recordErrorBox(-1, "Refused to extract '%s': it is a link", e.name.c_str());
            return -1;
        }
        if (categoryOf(e.name) != Category::Skip && !zip.read(i, nullptr, KE_PACKAGE_MAX_ENTRY, &error)) {
            recordErrorBox(-1, "Failed to extract file %s", e.name.c_str());
            return -1;
        }
    }

    char root[1024];
    std::snprintf(root, sizeof root, "%s/%s", folder, "ExeExtract");
    for (const char* sub : {"", "Images", "Objects", "Scenes"}) {
        char path[1100];
        if (*sub) std::snprintf(path, sizeof path, "%s/%s", root, sub);
        else std::snprintf(path, sizeof path, "%s", root);
        if (keMakeFolderNoFollow(path) != 0) {
            recordErrorBox(-1, "Failed to create directory %s", path);
            return -1;
        }
    }
    for (size_t i = 0; i < zip.entries().size(); ++i) {
        const KeZipEntry& e = zip.entries()[i];
        if (e.isFolder) continue;
        const Category c = categoryOf(e.name);
        if (c == Category::Skip) continue;
        std::string bytes;
        if (!zip.read(i, &bytes, KE_PACKAGE_MAX_ENTRY, &error)) {
            recordErrorBox(-1, "Failed to extract file %s", e.name.c_str());
            return -1;
        }
        const size_t slash = e.name.rfind('/');
        const std::string base = slash == std::string::npos ? e.name : e.name.substr(slash + 1);
        char target[1400];
        std::snprintf(target, sizeof target, "%s/%s/%s", root, folderName(c), base.c_str());
        printMessage(KE_INFO | KE_SHOW_BOX, "Extract File '%s'\n", target);
        if (keWriteFileNoFollow(target, bytes.data(), bytes.size()) != 0) {
            recordErrorBox(-1, "Failed to write file %s", target);
            return -1;
        }
    }
    return 0;
}

}  // namespace kolm
