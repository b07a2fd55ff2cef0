// Building packages: the archive's parts (demo, scene, engine), the copy of the program and the
// move into place.
#include "package/KePackage.h"

#include "core/KeError.h"
#include "platform/KeExeResources.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fnmatch.h>
#include <fstream>
#include <iterator>
#include <strings.h>
#include <zip.h>

namespace kolm {
namespace fs = std::filesystem;
namespace {

const char* const kImagePatterns[] = {"*.jpg", "*.png", "*.jpeg", "*.bmp", "*.tga", "*.gif", "*.raw", "*.dds"};
const char* const kShaderPatterns[] = {"*.hlsl", "*.vsh", "*.psh", "*.fx", "*.dae", "*.xml"};
const char* const kShaderFolders[] = {"shaders",      "shadersPP", "shadersSURF",      "shadersSURF2",
                                      "shadersSURF2/include", "shadersHV", "shadersHV/include"};

bool readWhole(const std::string& path, std::string* out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Demo files name folders in the Windows manner.
std::string slashes(std::string s) {
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
}

// An archive being written to a file; entries are added in call order.
class ArchiveWriter {
public:
    explicit ArchiveWriter(std::string path) : m_path(std::move(path)) {}
    ~ArchiveWriter() {
        if (m_zip) zip_discard(m_zip);
    }

    bool open() {
        int err = 0;
        m_zip = zip_open(m_path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
        return m_zip != nullptr;
    }
    // Writes the archive out; false when libzip cannot (the file is then not made).
    bool close() {
        const bool ok = zip_close(m_zip) == 0;
        if (!ok) {
            reportError("Failed to write archive %s: %s\n", m_path.c_str(), zip_strerror(m_zip));
            zip_discard(m_zip);
        }
        m_zip = nullptr;
        return ok;
    }

    // Adds the file `name` (relative to `base`) under its relative name, or `entryName`.
    void addFile(const fs::path& base, const std::string& name, const char* entryName = nullptr) {
        const fs::path full = base / name;
        if (full.empty()) {
            reportError("Failed to combine basedir=%s filename=%s\n", base.c_str(), name.c_str());
            return;
        }
        std::string entry;
        if (entryName) {
            entry = entryName;
        } else {
            // An entry must stay inside the archive's base folder: a name that climbs out of it
            // ("..", an absolute path) would be unpacked outside the target by other tools.
            const fs::path rel = full.lexically_normal().lexically_relative(base.lexically_normal());
            entry = rel.generic_string();
            if (rel.empty() || rel.is_absolute() || entry == ".." || entry.rfind("../", 0) == 0) {
                reportError("Failed to get relative path for basedir=%s filename=%s\n", base.c_str(),
                            full.c_str());
                return;
            }
        }
        // A file that two patterns or folders name (a demo's shader folder that is also a
        // part's folder) is packed once.
        if (zip_name_locate(m_zip, entry.c_str(), 0) >= 0) return;
        std::string bytes;
        if (!readWhole(full.string(), &bytes)) {
            reportError("Failed to read file path=%s\n", full.c_str());
            return;
        }
        void* copy = std::malloc(bytes.size() ? bytes.size() : 1);
        if (copy) std::memcpy(copy, bytes.data(), bytes.size());
        zip_source_t* src = copy ? zip_source_buffer(m_zip, copy, bytes.size(), 1) : nullptr;
        zip_int64_t index = -1;
        if (src) {
            index = zip_file_add(m_zip, entry.c_str(), src, ZIP_FL_ENC_UTF_8);
            if (index < 0) zip_source_free(src);
        } else {
            std::free(copy);
        }
        if (index < 0 || zip_set_file_compression(m_zip, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE,
                                                  KE_PACKAGE_DEFLATE_LEVEL) != 0) {
            reportError("Failed to add file %s to archive %s\n", entry.c_str(), m_path.c_str());
        }
    }

    // Adds the files of `base`/`folder` (not of its subfolders) whose names match `pattern`
    // (ignoring case), in name order.
    void addFolder(const fs::path& base, const std::string& folder, const char* pattern) {
        const fs::path dir = folder.empty() ? base : base / folder;
        std::error_code ec;
        fs::directory_iterator it(dir, ec);
        if (ec) return;  // a folder that does not exist holds nothing to add
        std::vector<std::string> names;
        for (; it != fs::directory_iterator(); it.increment(ec)) {
            if (ec) break;
            const std::string name = it->path().filename().string();
            if (fnmatch(pattern, name.c_str(), FNM_CASEFOLD) != 0) continue;
            if (!it->is_regular_file(ec)) continue;
            names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) addFile(base, folder.empty() ? name : folder + "/" + name);
    }

    void addFolder(const fs::path& base, const std::string& folder, const char* const* patterns, size_t count) {
        for (size_t i = 0; i < count; ++i) addFolder(base, folder, patterns[i]);
    }

private:
    std::string m_path;
    zip* m_zip = nullptr;
};

void addShaderFolders(ArchiveWriter& w, const fs::path& engine) {
    for (const char* folder : kShaderFolders) {
        w.addFolder(engine, folder, kShaderPatterns, std::size(kShaderPatterns));
        w.addFolder(engine, folder, "*.h");
    }
}

void addEnginePart(ArchiveWriter& w, const fs::path& engine) {
    for (const char* p : {"*.vso", "*.pso", "*.vso.inf", "*.pso.inf"}) w.addFolder(engine, "shadersCache", p);
    addShaderFolders(w, engine);
    w.addFolder(engine, "textures", kImagePatterns, std::size(kImagePatterns));
}

void addScenePart(ArchiveWriter& w, const fs::path& scene) {
    const fs::path base = scene.parent_path();
    w.addFolder(base, "", "*.x");
    w.addFolder(base, "", "*.kmorph");
    w.addFolder(base, "", kImagePatterns, std::size(kImagePatterns));
    w.addFile(base, scene.filename().string(), "kolm.kscn");
    w.addFolder(base, "scene_backup", "*.lwo");
    w.addFolder(base, "scene_backup", "*.lws");
}

// -1 (reported) when the definition does not parse or names too many folders.
int addDemoPart(ArchiveWriter& w, const fs::path& demo, const KePackageSources& sources) {
    KeDemoPackList list;
    if (!sources.readDemo || !sources.readDemo(demo.c_str(), &list)) {
        reportError("Failed to load ini file %s\n", demo.c_str());
        return -1;
    }
    std::vector<std::string> folders;
    for (const std::string& d : list.directories) {
        // "", "." and "./" name the same folder, as do "a" and "a/".
        std::string folder = fs::path(slashes(d)).lexically_normal().generic_string();
        while (!folder.empty() && folder.back() == '/') folder.pop_back();
        if (folder == ".") folder.clear();
        const bool seen = std::any_of(folders.begin(), folders.end(), [&](const std::string& f) {
            return strcasecmp(f.c_str(), folder.c_str()) == 0;
        });
        if (seen) continue;
        if (static_cast<int>(folders.size()) == KE_PACKAGE_MAX_FOLDERS) {
            reportError("Reached max directories\n");
            return -1;
        }
        folders.push_back(folder);
    }
    const fs::path base = demo.parent_path();
    for (const std::string& folder : folders) {
        for (const char* p : {"*.x", "*.kmorph", "*.lws.ini.bin", "*.kolm", "*.kscn"}) w.addFolder(base, folder, p);
        w.addFolder(base, folder, kImagePatterns, std::size(kImagePatterns));
        w.addFolder(base, folder, kShaderPatterns, std::size(kShaderPatterns));
        w.addFolder(base, folder, "*.h");
    }
    if (!list.shadersDirectory.empty()) {
        for (const char* p : {"*.fx", "*.hlsl", "*.h"}) w.addFolder(base, slashes(list.shadersDirectory), p);
    }
    w.addFile(base, demo.filename().string(), "kolm.demo.ini");
    if (!list.musicDirectory.empty()) {
        for (const char* p : {"*.mp3", "*.mpg", "*.mpeg"}) w.addFolder(base, slashes(list.musicDirectory), p);
    }
    for (const char* name : {"loading.png", "loading.hlsl"}) {
        std::error_code ec;
        if (fs::is_regular_file(name, ec)) w.addFile(base, name, name);
    }
    return 0;
}

// Temporary files of one build; whatever is still named here when the build ends is removed,
// and then the folders that the build made for its output (deepest first) unless it succeeded.
struct Scratch {
    std::vector<std::string> paths;
    std::vector<fs::path> madeFolders;
    bool succeeded = false;
    ~Scratch() {
        for (const std::string& p : paths) std::remove(p.c_str());
        if (succeeded) return;
        std::error_code ec;
        for (const fs::path& f : madeFolders) fs::remove(f, ec);  // only when still empty
    }
    void keep(const std::string& p) { paths.erase(std::remove(paths.begin(), paths.end(), p), paths.end()); }
};

// The output's folder and any missing folder above it ("-demoexe out/demo" in a fresh tree).
void makeOutputFolder(Scratch& scratch, const fs::path& folder) {
    std::error_code ec;
    std::vector<fs::path> missing;
    for (fs::path f = folder; !f.empty() && !fs::exists(fs::symlink_status(f, ec)); f = f.parent_path()) {
        missing.push_back(f);
        if (f == f.parent_path()) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (!fs::create_directory(*it, ec)) return;  // the copy then fails with its own message
        scratch.madeFolders.insert(scratch.madeFolders.begin(), *it);
    }
}

bool moveIntoPlace(Scratch& scratch, const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        reportError("Failed to copy %s to %s\n", from.c_str(), to.c_str());
        return false;
    }
    scratch.keep(from);
    return true;
}

// Scrambles the archive file and appends it to the program copy as resource `id`.
bool appendArchive(const std::string& archive, const std::string& exe, uint32_t id) {
    std::string bytes;
    if (!readWhole(archive, &bytes)) {
        reportError("Failed to read  %s", archive.c_str());
        return false;
    }
    keScrambleWords(bytes.data(), bytes.size());
    std::string error;
    if (keAppendExeResource(exe.c_str(), id, bytes.data(), bytes.size(), &error) != 0) {
        reportError("Failed to UpdateResource %s", exe.c_str());
        return false;
    }
    return true;
}

enum class Kind { Demo, Scene, Shaders };

int build(const char* output, const char* source, bool sideFile, Kind kind, const KePackageSources& sources) {
    std::error_code ec;
    const fs::path out = fs::absolute(output, ec);
    if (ec || out.filename().empty()) {
        reportError("kedemorscfile is not implemented\n");
        return -1;
    }
    Scratch scratch;
    makeOutputFolder(scratch, out.parent_path());
    // The program copy is made under a temporary name beside the output.
    const std::string exeTmp = out.string() + ".tmp";
    scratch.paths.push_back(exeTmp);
    std::string error;
    if (keCopyExecutableImage(sources.executable.c_str(), exeTmp.c_str(), &error) != 0) {
        reportError("Failed to copy %s to %s\n", sources.executable.c_str(), out.c_str());
        return -1;
    }
    const std::string side = keSideFilePath(out.string());
    const std::string archive = side + ".tmp";
    if (fs::exists(fs::symlink_status(archive, ec)) && std::remove(archive.c_str()) != 0) {
        reportError("Failed to delete archive file %s\n", archive.c_str());
        return -1;
    }
    scratch.paths.push_back(archive);

    ArchiveWriter w(archive);
    if (!w.open()) {
        reportError("Failed to add file %s to archive %s\n", source ? source : "", archive.c_str());
        return -1;
    }
    const fs::path engine = sources.engineDir;
    switch (kind) {
    case Kind::Scene:
        addScenePart(w, fs::absolute(source, ec));
        addEnginePart(w, engine);
        break;
    case Kind::Demo:
        if (addDemoPart(w, fs::absolute(source, ec), sources) != 0) return -1;
        addEnginePart(w, engine);
        break;
    case Kind::Shaders:
        addShaderFolders(w, engine);
        w.addFolder(engine, "textures", kImagePatterns, std::size(kImagePatterns));
        break;
    }
    if (!w.close()) return -1;

    if (sideFile) {
        scratch.succeeded = moveIntoPlace(scratch, archive, side) && moveIntoPlace(scratch, exeTmp, out.string());
        return scratch.succeeded ? 0 : -1;
    }
    const uint32_t id = kind == Kind::Shaders ? KE_RESOURCE_SHADERS : KE_RESOURCE_PACKAGE;
    if (!appendArchive(archive, exeTmp, id)) return -1;
    scratch.succeeded = moveIntoPlace(scratch, exeTmp, out.string());
    return scratch.succeeded ? 0 : -1;
}

}  // namespace

void keScrambleWords(void* data, size_t size) {
    auto* p = static_cast<unsigned char*>(data);
    for (size_t i = 0; i + 4 <= size; i += 4) {
        p[i + 0] ^= static_cast<unsigned char>(KE_PACKAGE_SCRAMBLE_KEY);
        p[i + 1] ^= static_cast<unsigned char>(KE_PACKAGE_SCRAMBLE_KEY >> 8);
        p[i + 2] ^= static_cast<unsigned char>(KE_PACKAGE_SCRAMBLE_KEY >> 16);
        p[i + 3] ^= static_cast<unsigned char>(KE_PACKAGE_SCRAMBLE_KEY >> 24);
    }
}

std::string keSideFilePath(const std::string& executable) {
    fs::path p(executable);
    p.replace_extension(".dat");
    return p.string();
}

int keBuildPackage(const char* output, const char* source, bool sideFile, const KePackageSources& sources) {
    const bool scene = std::strstr(source, ".kscn") != nullptr;
    return build(output, source, sideFile, scene ? Kind::Scene : Kind::Demo, sources);
}

int keBuildShaderPackage(const char* output, const KePackageSources& sources) {
    return build(output, nullptr, false, Kind::Shaders, sources);
}

}  // namespace kolm
