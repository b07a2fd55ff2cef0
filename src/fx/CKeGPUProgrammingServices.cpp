#include "fx/CKeGPUProgrammingServices.h"

#include "core/KeError.h"
#include "fx/CKeShaderMaterialRenderer.h"
#include "fx/KeHlslCompiler.h"
#include "fx/KeShaderCacheName.h"
#include "platform/KeFileStamp.h"

#include <irrlicht/IReadFile.h>
#include <irrlicht/IVideoDriver.h>
#include <irrlicht/IWriteFile.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

namespace kolm {

using namespace irr;

// ---------------------------------------------------------------------------------------------
// Entries and their keys

namespace {

int compareMacros(const std::vector<SShaderMacro>& a, const std::vector<SShaderMacro>& b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    for (size_t i = 0; i < a.size(); ++i) {
        if (int c = a[i].name.compare(b[i].name)) return c;
        if (int c = a[i].value.compare(b[i].value)) return c;
    }
    return 0;
}

const char* stageName(bool vertex) { return vertex ? "Vertex" : "Pixel"; }

void slashes(std::string& s) { std::replace(s.begin(), s.end(), '\\', '/'); }

// A failure goes into the caller's text when one is given, else into the log at ERROR.
void fail(std::string* error, const std::string& text, const std::string& logText) {
    if (error)
        *error = text;
    else
        printMessage(KE_ERROR, "%s", logText.c_str());
}

std::string withLineEnd(const std::string& s) { return s.empty() || s.back() == '\n' ? s : s + "\n"; }

// One spelling per file: absolute, "." and ".." resolved, symbolic links followed as far as
// the path exists, '/' separators. Relative paths are taken from the current directory.
std::string normalPath(const std::string& path) {
    std::string p = path;
    slashes(p);
    if (p.empty()) return p;
    std::error_code ec;
    std::filesystem::path abs = std::filesystem::absolute(p, ec);
    if (ec) return p;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(abs, ec);
    return (ec ? abs.lexically_normal() : canonical).generic_string();
}

}  // namespace

bool operator<(const SShaderCompiledEntry& a, const SShaderCompiledEntry& b) {
    if (a.vertex != b.vertex) return !a.vertex;
    if (int c = a.file.compare(b.file)) return c < 0;
    if (int c = a.entry.compare(b.entry)) return c < 0;
    return compareMacros(a.macros, b.macros) < 0;
}

bool operator<(const SShaderMaterialTypeEntry& a, const SShaderMaterialTypeEntry& b) {
    if (int c = a.vertexFile.compare(b.vertexFile)) return c < 0;
    if (int c = a.vertexEntry.compare(b.vertexEntry)) return c < 0;
    if (int c = a.pixelFile.compare(b.pixelFile)) return c < 0;
    if (int c = a.pixelEntry.compare(b.pixelEntry)) return c < 0;
    if (a.callback != b.callback) return std::less<const void*>()(a.callback, b.callback);
    if (a.baseMaterial != b.baseMaterial) return a.baseMaterial < b.baseMaterial;
    if (a.userData != b.userData) return a.userData < b.userData;
    return compareMacros(a.macros, b.macros) < 0;
}

template <typename T>
static bool lessPtr(const std::unique_ptr<T>& a, const std::unique_ptr<T>& b) {
    return *a < *b;
}

// ---------------------------------------------------------------------------------------------
// The include callback

ShaderIncludeCallback::ShaderIncludeCallback(io::IFileSystem* fs, const std::string& shaderDir) : mFs(fs) {
    mDirs.push_back(shaderDir);
}

ShaderIncludeCallback::~ShaderIncludeCallback() {
    for (char* p : mLive) delete[] p;
}

bool ShaderIncludeCallback::open(const char* fileName, const char** data, size_t* size) {
    printMessage(KE_DEBUG, "KeGPU: ShaderIncludeCallback: FileName='%s'", fileName);
    for (const std::string& dir : mDirs) {
        std::string candidate = dir + "/" + fileName;
        slashes(candidate);
        io::IReadFile* f = mFs ? mFs->createAndOpenFile(candidate.c_str()) : nullptr;
        if (f) {
            const long len = f->getSize();
            char* buf = new char[static_cast<size_t>(len > 0 ? len : 0) + 1];
            const s32 got = len > 0 ? f->read(buf, static_cast<u32>(len)) : 0;
            f->drop();
            if (got == len) {
                buf[len] = 0;
                printMessage(KE_DEBUG, "KeGPU: Include found: '%s'", candidate.c_str());
                const std::string candDir = keShaderFileDir(candidate);
                if (std::find(mDirs.begin(), mDirs.end(), candDir) == mDirs.end()) {
                    mDirs.push_back(candDir);
                    std::sort(mDirs.begin(), mDirs.end());
                }
                if (std::find(mOpened.begin(), mOpened.end(), candidate) == mOpened.end())
                    mOpened.push_back(candidate);
                mLive.push_back(buf);
                *data = buf;
                *size = static_cast<size_t>(len);
                return true;
            }
            delete[] buf;
        }
        printMessage(KE_DEBUG, "KeGPU: Include Not found: '%s'", candidate.c_str());
    }
    printMessage(KE_ERROR, "KeGPU: ShaderIncludeCallback:Open FileName='%s' FAILED", fileName);
    return false;
}

void ShaderIncludeCallback::close(const char* data) {
    if (!data) {
        printMessage(KE_ERROR, "KeGPU: ShaderIncludeCallback:Close pData IS NULL!");
        return;
    }
    printMessage(KE_DEBUG, "ShaderIncludeCallback:Close pData=0x%08lx",
                 static_cast<unsigned long>(reinterpret_cast<uintptr_t>(data)));
    auto it = std::find(mLive.begin(), mLive.end(), data);
    if (it != mLive.end()) {
        delete[] *it;
        mLive.erase(it);
    }
}

// ---------------------------------------------------------------------------------------------
// The services

CKeGPUProgrammingServices::CKeGPUProgrammingServices(IrrlichtDevice* device)
    : mDevice(device), mDriver(device ? device->getVideoDriver() : nullptr) {}

CKeGPUProgrammingServices::~CKeGPUProgrammingServices() = default;

IKeGPUProgrammingServices* keCreateGPUProgrammingServices(IrrlichtDevice* device) {
    return new CKeGPUProgrammingServices(device);
}

s32 keAddShaderMaterialFromSource(IKeGPUProgrammingServices* services, const char* source, const char* vertexEntry,
                                  const char* pixelEntry, video::IShaderConstantSetCallBack* callback,
                                  video::E_MATERIAL_TYPE baseMaterial, s32 userData, core::stringc* error) {
    auto* s = dynamic_cast<CKeGPUProgrammingServices*>(services);
    std::string why;
    s32 type = -1;
    if (!s || !s->shaderDriver().videoDriver()) {
        why = "KeGPU: failed to get gpu";
    } else {
        std::vector<uint8_t> vs, ps;
        if (s->shaderDriver().compile(true, source ? source : "", vertexEntry ? vertexEntry : "", {}, nullptr, vs, why) &&
            s->shaderDriver().compile(false, source ? source : "", pixelEntry ? pixelEntry : "", {}, nullptr, ps, why))
            type = s->shaderDriver().addShaderMaterial(vs, ps, callback, baseMaterial, userData, why);
    }
    if (type < 0 && error) *error = why.c_str();
    return type;
}

void CKeGPUProgrammingServices::setShaderCache(const c8* directory, u32 mode) {
    mCacheDir = directory ? directory : "";
    mCacheMode = mode;
}

const SShaderCompiledEntry* CKeGPUProgrammingServices::compiledEntry(s32 id) const {
    for (const auto& e : mCompiled)
        if (e->id == id) return e.get();
    return nullptr;
}

bool CKeGPUProgrammingServices::readFile(const std::string& path, std::string& data) {
    io::IFileSystem* fs = mDevice ? mDevice->getFileSystem() : nullptr;
    io::IReadFile* f = fs ? fs->createAndOpenFile(path.c_str()) : nullptr;
    if (!f) return false;
    const long len = f->getSize();
    data.assign(static_cast<size_t>(len > 0 ? len : 0), '\0');
    const s32 got = len > 0 ? f->read(&data[0], static_cast<u32>(len)) : 0;
    f->drop();
    return got == len;
}

s32 CKeGPUProgrammingServices::getShaderMaterial(const c8* vertexFile, const c8* vertexEntry,
                                                 video::E_VERTEX_SHADER_TYPE vertexTarget, const c8* pixelFile,
                                                 const c8* pixelEntry, video::E_PIXEL_SHADER_TYPE pixelTarget,
                                                 video::IShaderConstantSetCallBack* callback,
                                                 video::E_MATERIAL_TYPE baseMaterial, s32 userData,
                                                 const CKeMacro* macros, core::stringc* error) {
    auto key = std::make_unique<SShaderMaterialTypeEntry>();
    key->vertexFile = vertexFile ? vertexFile : "";
    key->vertexEntry = vertexEntry ? vertexEntry : "";
    key->pixelFile = pixelFile ? pixelFile : "";
    key->pixelEntry = pixelEntry ? pixelEntry : "";
    key->callback = callback;
    key->baseMaterial = baseMaterial;
    key->userData = userData;
    key->macros = keSortedMacros(macros);
    auto it = std::lower_bound(mMaterials.begin(), mMaterials.end(), key, lessPtr<SShaderMaterialTypeEntry>);
    if (it != mMaterials.end() && !(*key < **it)) {
        printMessage(KE_DEBUG, "KeGPU: Found already created shader %s %s", key->vertexFile.c_str(),
                     key->pixelFile.c_str());
        return (*it)->materialType;
    }
    io::IFileSystem* fs = mDevice ? mDevice->getFileSystem() : nullptr;
    if (!fs || !fs->existFile(key->vertexFile.c_str()) || !fs->existFile(key->pixelFile.c_str())) {
        if (error)
            *error = ("Shader files not found : " + key->vertexFile + " " + key->pixelFile).c_str();
        else
            printMessage(KE_ERROR, "KeGPU: Shader files not found %s %s", key->vertexFile.c_str(),
                         key->pixelFile.c_str());
        return -1;
    }
    s32 vsId = 0, psId = 0;
    const s32 type = createShaderMaterial(vertexFile, vertexEntry, vertexTarget, pixelFile, pixelEntry, pixelTarget,
                                          callback, baseMaterial, userData, macros, error, &vsId, &psId);
    if (type == -1) {
        if (!error)
            printMessage(KE_ERROR, "KeGPU: Failed to get shader %s %s", key->vertexFile.c_str(),
                         key->pixelFile.c_str());
        return -1;
    }
    key->vertexId = vsId;
    key->pixelId = psId;
    key->materialType = type;
    it = std::lower_bound(mMaterials.begin(), mMaterials.end(), key, lessPtr<SShaderMaterialTypeEntry>);
    mMaterials.insert(it, std::move(key));
    return type;
}

// The rest of a report of a shader material that could not be made: the macros, and when GL
// refused the generated code, the paths of that code written beside the cache files (or into
// the temporary folder without a cache directory), so that its line numbers can be read.
std::string CKeGPUProgrammingServices::failureDetails(const std::string& vertexFile, const std::string& vertexEntry,
                                                      const std::string& pixelFile, const std::string& pixelEntry,
                                                      const std::vector<SShaderMacro>& macros) {
    std::string text = "macros: " + keShaderMacroText(macros);
    if (!mDriver.failedInGl()) return text;
    std::string dir = mCacheDir;
    if (dir.empty()) {
        std::error_code ec;
        dir = std::filesystem::temp_directory_path(ec).string();
    }
    const struct { bool vertex; const std::string& file; const std::string& entry; } stages[] = {
        {true, vertexFile, vertexEntry}, {false, pixelFile, pixelEntry}};
    for (const auto& st : stages) {
        const std::string path = dir + "/" + keShaderCacheFileName(st.file, st.entry, st.vertex, macros) + ".glsl";
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << mDriver.failedGlsl(st.vertex);
        out.close();
        text += std::string("\n") + (st.vertex ? "vertex" : "pixel") + " GLSL: " +
                (out ? path : "(cannot be written to " + path + ")");
    }
    return text;
}

s32 CKeGPUProgrammingServices::createShaderMaterial(const c8* vertexFile, const c8* vertexEntry,
                                                    video::E_VERTEX_SHADER_TYPE vertexTarget, const c8* pixelFile,
                                                    const c8* pixelEntry, video::E_PIXEL_SHADER_TYPE pixelTarget,
                                                    video::IShaderConstantSetCallBack* callback,
                                                    video::E_MATERIAL_TYPE baseMaterial, s32 userData,
                                                    const CKeMacro* macros, core::stringc* error, s32* vertexId,
                                                    s32* pixelId) {
    std::string err;
    std::string* errp = error ? &err : nullptr;
    auto finish = [&](s32 result) {
        if (error && !err.empty()) *error = err.c_str();
        return result;
    };
    if (!mDriver.videoDriver()) {
        fail(errp, "KeGPU: failed to get gpu", "KeGPU: failed to get gpu");
        return finish(-1);
    }
    const std::vector<SShaderMacro> sorted = keSortedMacros(macros);
    s32 vsId = 0, psId = 0;
    const std::vector<uint8_t>* vs =
        compiledShader(vertexFile ? vertexFile : "", vertexEntry ? vertexEntry : "", true, vertexTarget, sorted, errp, &vsId);
    if (!vs) return finish(-1);
    const std::vector<uint8_t> vsCopy = *vs;  // the entry array may move while the pixel shader is added
    const std::vector<uint8_t>* ps =
        compiledShader(pixelFile ? pixelFile : "", pixelEntry ? pixelEntry : "", false, pixelTarget, sorted, errp, &psId);
    if (!ps) return finish(-1);
    std::string why;
    const s32 type = mDriver.addShaderMaterial(vsCopy, *ps, callback, baseMaterial, userData, why);
    if (type == -1) {
        const std::string details = withLineEnd(why) + failureDetails(vertexFile ? vertexFile : "", vertexEntry ? vertexEntry : "",
                                                         pixelFile ? pixelFile : "", pixelEntry ? pixelEntry : "", sorted);
        if (errp) {
            *errp = "KeGPU: addHighLevelShaderMaterial failed\n" + details;
        } else {
            printMessage(KE_ERROR, "KeGPU: addHighLevelShaderMaterial failed");
            printMessage(KE_ERROR, "%s", details.c_str());
        }
        return finish(-1);
    }
    if (vertexId) *vertexId = vsId;
    if (pixelId) *pixelId = psId;
    return finish(type);
}

const std::vector<uint8_t>* CKeGPUProgrammingServices::compiledShader(const std::string& file, const std::string& entry,
                                                                      bool vertex, s32 target,
                                                                      const std::vector<SShaderMacro>& macros,
                                                                      std::string* error, s32* id) {
    auto key = std::make_unique<SShaderCompiledEntry>();
    key->vertex = vertex;
    key->file = file;
    key->entry = entry;
    key->macros = macros;
    key->target = target;
    auto it = std::lower_bound(mCompiled.begin(), mCompiled.end(), key, lessPtr<SShaderCompiledEntry>);
    if (it != mCompiled.end() && !(*key < **it)) {
        printMessage(KE_DEBUG, "KeGPU: Found already compiled shader %s %s", file.c_str(), stageName(vertex));
        if (!(*it)->byteCode.empty()) {
            if (id) *id = (*it)->id;
            return &(*it)->byteCode;
        }
        fail(error, "KeGPU: Found compiled shader but Buffer is NULL !!!!! ",
             "KeGPU: Found compiled shader but Buffer is NULL !!!!! ");
        if (compileShader(**it, error)) {
            writeToCache(**it);
            if (id) *id = (*it)->id;
            return &(*it)->byteCode;
        }
        return nullptr;
    }
    std::vector<uint8_t> cached;
    std::vector<std::string> included;
    if (readFromCache(*key, cached, included)) {
        key->byteCode = std::move(cached);
        key->includedFiles = std::move(included);
    } else {
        if (!compileShader(*key, error)) return nullptr;
        writeToCache(*key);
    }
    key->id = mNextId++;
    if (id) *id = key->id;
    it = std::lower_bound(mCompiled.begin(), mCompiled.end(), key, lessPtr<SShaderCompiledEntry>);
    it = mCompiled.insert(it, std::move(key));
    return &(*it)->byteCode;
}

bool CKeGPUProgrammingServices::compileShader(SShaderCompiledEntry& e, std::string* error) {
    io::IFileSystem* fs = mDevice ? mDevice->getFileSystem() : nullptr;
    if (!mDriver.videoDriver()) {
        fail(error, "KeGPU: failed to get gpu", "KeGPU: failed to get gpu");
        return false;
    }
    if (!fs) {
        fail(error, "KeGPU: failed to get filesystem", "KeGPU: failed to get filesystem");
        return false;
    }
    io::IReadFile* f = fs->createAndOpenFile(e.file.c_str());
    if (!f) {
        fail(error, "Shader file " + e.file + " not found", "KeGPU: Shader file not found " + e.file);
        return false;
    }
    const long len = f->getSize();
    std::string source(static_cast<size_t>(len > 0 ? len : 0), '\0');
    const s32 got = len > 0 ? f->read(&source[0], static_cast<u32>(len)) : 0;
    f->drop();
    if (got != len) {
        fail(error, "Shader file " + e.file + " cannot be read", "KeGPU: Shader file cannot be read " + e.file);
        return false;
    }
    ShaderIncludeCallback includes(fs, keShaderFileDir(e.file));
    printMessage(KE_DEBUG, "KeGPU: compile shader %s", e.file.c_str());
    std::vector<uint8_t> byteCode;
    std::string messages;
    if (!mDriver.compile(e.vertex, source, e.entry, e.macros, &includes, byteCode, messages)) {
        if (!messages.empty() && messages.back() != '\n') messages += '\n';
        messages += "macros: " + keShaderMacroText(e.macros) + "\n";
        if (error) {
            const size_t at = messages.find("memory(");
            *error = std::string("Failed to Compile ") + stageName(e.vertex) + " shader " + e.file + "\n" +
                     (at == std::string::npos ? messages : messages.substr(at));
        } else {
            printMessage(KE_ERROR, "KeGPU: Failed to Compile %s shader %s\n%s", stageName(e.vertex), e.file.c_str(),
                         messages.c_str());
        }
        return false;
    }
    e.byteCode = std::move(byteCode);
    e.includedFiles = includes.openedFiles();
    std::string self = e.file;
    slashes(self);
    e.includedFiles.push_back(self);
    for (std::string& p : e.includedFiles) slashes(p);
    std::sort(e.includedFiles.begin(), e.includedFiles.end());
    e.includedFiles.erase(std::unique(e.includedFiles.begin(), e.includedFiles.end()), e.includedFiles.end());
    return true;
}

std::string CKeGPUProgrammingServices::cachePath(const SShaderCompiledEntry& e) const {
    return mCacheDir + "/" + keShaderCacheFileName(e.file, e.entry, e.vertex, e.macros);
}

// The info file: the macro text, then a line feed and the shader file's path relative to the
// folder that holds the cache folder (the base directory, or the root of a packaged archive),
// so that two shader files of the same name in different folders never share cache files
// while a cache built in one place still matches when the folder moves or is packaged; a
// file outside that folder keeps its absolute path. Then a line feed and the hash of the
// byte code written with it, so that a damaged cache file is never handed to the GLSL
// converter. This is the identity part (without the hash).
// The library's absolute path of `p`, but a rooted path that the disk does not have (a member of
// a packaged run's archive, "/shaders/a.hlsl") as it stands: the library's answer, a real path,
// would stop at its first missing folder ("/shaders").
static std::string absoluteShaderPath(io::IFileSystem* fs, const std::string& p) {
    std::error_code ec;
    if (!fs || (!p.empty() && (p[0] == '/' || p[0] == '\\') && !std::filesystem::exists(p, ec))) return p;
    return fs->getAbsolutePath(p.c_str()).c_str();
}

std::string CKeGPUProgrammingServices::infoText(const SShaderCompiledEntry& e) const {
    io::IFileSystem* fs = mDevice ? mDevice->getFileSystem() : nullptr;
    std::string abs = absoluteShaderPath(fs, e.file);
    std::string base = absoluteShaderPath(fs, mCacheDir);
    slashes(abs);
    slashes(base);
    abs = std::filesystem::path(abs).lexically_normal().generic_string();
    base = std::filesystem::path(base).lexically_normal().parent_path().generic_string();
    if (base == "/" && abs.size() > 1 && abs[0] == '/') {
        // The cache folder of a packaged run is "/shadersCache": paths below the root.
        abs = abs.substr(1);
    } else if (!base.empty() && base != "/" && abs.size() > base.size() + 1 && abs.compare(0, base.size(), base) == 0 &&
               abs[base.size()] == '/') {
        abs = abs.substr(base.size() + 1);
    }
    return keShaderMacroText(e.macros) + "\n" + abs;
}

bool CKeGPUProgrammingServices::isCachedShaderMatch(const std::string& path, const SShaderCompiledEntry& e,
                                                    std::string& checksum) {
    std::string stored;
    if (!readFile(path + ".inf", stored)) {
        printMessage(KE_ERROR, "KeGPU: isCachedShaderMatch:read file '%s' FAILED", (path + ".inf").c_str());
        return false;
    }
    const std::string wanted = infoText(e);
    const size_t last = stored.rfind('\n');
    checksum.clear();
    if (last != std::string::npos && stored.find('\n') != last) {
        checksum = stored.substr(last + 1);
        stored.resize(last);
    }
    if (stored == wanted) return true;
    const size_t nl = stored.find('\n');
    const std::string storedMacros = stored.substr(0, nl);
    const std::string newMacros = keShaderMacroText(e.macros);
    if (storedMacros != newMacros) {
        printMessage(KE_WARN, "KeGPU: WARNING ! Conflict in Shader Cache on '%s' : Cached Macros : '%s' ; New Macros '%s'",
                     path.c_str(), storedMacros.c_str(), newMacros.c_str());
    } else {
        const std::string storedFile = nl == std::string::npos ? "" : stored.substr(nl + 1);
        printMessage(KE_WARN, "KeGPU: WARNING ! Conflict in Shader Cache on '%s' : Cached File : '%s' ; New File '%s'",
                     path.c_str(), storedFile.c_str(), wanted.substr(wanted.find('\n') + 1).c_str());
    }
    return false;
}

const std::vector<std::string>& CKeGPUProgrammingServices::scanIncludes(const std::string& file) {
    auto it = mIncludeScans.find(file);
    if (it != mIncludeScans.end()) return it->second;
    std::vector<std::string> included;
    keGetShaderIncludes(file, 4, [this](const std::string& p, std::string& d) { return readFile(p, d); }, included);
    return mIncludeScans.emplace(file, std::move(included)).first->second;
}

bool CKeGPUProgrammingServices::sourceTime(const std::string& path, int64_t& ns) {
    auto it = mSourceTimes.find(path);
    if (it != mSourceTimes.end()) {
        ns = it->second;
        return true;
    }
    KeFileStamp s;
    if (!keReadFileStamp(path.c_str(), &s)) return false;
    mSourceTimes.emplace(path, s.writeTimeNs);
    ns = s.writeTimeNs;
    return true;
}

bool CKeGPUProgrammingServices::readFromCache(const SShaderCompiledEntry& e, std::vector<uint8_t>& byteCode,
                                              std::vector<std::string>& included) {
    io::IFileSystem* fs = mDevice ? mDevice->getFileSystem() : nullptr;
    if (!fs) {
        printMessage(KE_ERROR, "KeGPU: failed to get filesystem");
        return false;
    }
    if (!(mCacheMode & KE_SHADER_CACHE_READ) || mCacheDir.empty()) {
        printMessage(KE_DEBUG, "KeGPU: Cache not read enabled");
        return false;
    }
    const std::string path = cachePath(e);
    printMessage(KE_DEBUG, "KeGPU: Read from cache = '%s'", path.c_str());
    // Opened once: a missing file is the common miss, and an open handle is all the later
    // read needs.
    io::IReadFile* f = fs->createAndOpenFile(path.c_str());
    if (!f) {
        printMessage(KE_DEBUG, "KeGPU: File does not exist in the cache '%s'", path.c_str());
        return false;
    }
    struct Closer {
        io::IReadFile* f;
        ~Closer() { f->drop(); }
    } closer{f};
    std::string checksum;
    if (!isCachedShaderMatch(path, e, checksum)) return false;

    included = scanIncludes(e.file);
    std::string self = e.file;
    slashes(self);
    included.push_back(self);
    std::sort(included.begin(), included.end());
    included.erase(std::unique(included.begin(), included.end()), included.end());

    if (mCacheMode & KE_SHADER_CACHE_CHECK) {
        KeFileStamp cacheStamp;
        bool upToDate = true;
        if (!keReadFileStamp(path.c_str(), &cacheStamp)) {
            printMessage(KE_ERROR, "KeGPU: failed to stat '%s'", path.c_str());
            upToDate = false;
        } else {
            for (const std::string& inc : included) {
                int64_t ns = 0;
                if (!sourceTime(inc, ns)) {
                    printMessage(KE_ERROR, "KeGPU: failed to stat file '%s'", inc.c_str());
                    continue;
                }
                if (ns > cacheStamp.writeTimeNs) {
                    printMessage(KE_DEBUG, "KeGPU: file '%s' more recent", inc.c_str());
                    upToDate = false;
                }
            }
        }
        if (upToDate)
            printMessage(KE_DEBUG, "KeGPU: '%s' is up to date", path.c_str());
        else
            printMessage(KE_DEBUG, "KeGPU: '%s' not up to date against shader files", path.c_str());
        if (!upToDate) return false;
    }

    const long len = f->getSize();
    byteCode.assign(static_cast<size_t>(len > 0 ? len : 0), 0);
    const s32 got = len > 0 ? f->read(byteCode.data(), static_cast<u32>(len)) : 0;
    if (got != len) {
        printMessage(KE_ERROR, "KeGPU: Cached Compiled Shader file cannot be read %s", path.c_str());
        return false;
    }
    // Anything but the byte code written with the info file (a truncated, damaged or foreign
    // file) is a miss: compile again.
    if (!keIsSpirv(byteCode.data(), byteCode.size()) ||
        checksum != keShaderMacroHash(std::string(byteCode.begin(), byteCode.end()))) {
        printMessage(KE_WARN, "KeGPU: Cached Compiled Shader is not valid byte code '%s'", path.c_str());
        byteCode.clear();
        return false;
    }
    return true;
}

void CKeGPUProgrammingServices::writeToCache(const SShaderCompiledEntry& e) {
    io::IFileSystem* fs = mDevice ? mDevice->getFileSystem() : nullptr;
    if (!fs) {
        printMessage(KE_ERROR, "KeGPU: failed to get filesystem");
        return;
    }
    if (!(mCacheMode & KE_SHADER_CACHE_WRITE) || mCacheDir.empty()) {
        printMessage(KE_DEBUG, "KeGPU: Cache not write enabled");
        return;
    }
    const std::string path = cachePath(e);
    printMessage(KE_DEBUG, "KeGPU: Write to cache '%s'", path.c_str());
    // Each file is written under a name of its own and renamed into place, so that another
    // process sharing the cache folder never reads half a file (a stale pair fails the hash
    // check and is compiled again).
    const std::string tag = ".tmp" + std::to_string(std::random_device{}());
    auto writeWhole = [fs, &tag](const std::string& target, const void* data, size_t size) -> int {
        const std::string temp = target + tag;
        io::IWriteFile* w = fs->createAndWriteFile(temp.c_str(), false);
        if (!w) return -1;
        const s32 put = w->write(data, static_cast<u32>(size));
        w->drop();
        std::error_code ec;
        if (put != static_cast<s32>(size)) {
            std::filesystem::remove(temp, ec);
            return -2;
        }
        std::filesystem::rename(temp, target, ec);
        if (ec) {
            std::filesystem::remove(temp, ec);
            return -2;
        }
        return 0;
    };
    const int wrote = writeWhole(path, e.byteCode.data(), e.byteCode.size());
    if (wrote == -1) {
        printMessage(KE_DEBUG, "KeGPU: Cached Compiled Shader cannot be opened for write '%s'", path.c_str());
        return;
    }
    if (wrote != 0) {
        printMessage(KE_ERROR, "KeGPU: Cached Compiled Shader file cannot be write %s", path.c_str());
        return;
    }
    const std::string info =
        infoText(e) + "\n" + keShaderMacroHash(std::string(e.byteCode.begin(), e.byteCode.end()));
    const int wroteInfo = writeWhole(path + ".inf", info.data(), info.size());
    if (wroteInfo == -1)
        printMessage(KE_ERROR, "KeGPU: Cached Shader Info cannot be opened for write '%s'", (path + ".inf").c_str());
    else if (wroteInfo != 0)
        printMessage(KE_ERROR, "KeGPU: Cached Shader Info cannot be write %s", (path + ".inf").c_str());
}

// ---------------------------------------------------------------------------------------------
// Hot update

bool CKeGPUProgrammingServices::recompileShaders(const core::array<core::stringc>& changedFiles,
                                                 core::array<s32>& updatedMaterials,
                                                 core::array<core::stringc>* errors) {
    mIncludeScans.clear();
    mSourceTimes.clear();
    std::vector<std::string> errs;
    std::vector<s32> rebuilt;
    // The watcher reports absolute paths; shaders may have been registered by relative ones.
    std::vector<std::string> changed;
    for (u32 i = 0; i < changedFiles.size(); ++i) changed.push_back(normalPath(changedFiles[i].c_str()));
    std::sort(changed.begin(), changed.end());
    for (auto& e : mCompiled) {
        bool hit = false;
        for (size_t i = 0; i < e->includedFiles.size() && !hit; ++i)
            hit = std::binary_search(changed.begin(), changed.end(), normalPath(e->includedFiles[i]));
        if (!hit) continue;
        logLine("KeGPU: recompile %s (%s)...\n", e->file.c_str(), stageName(e->vertex));
        std::string why;
        if (compileShader(*e, &why)) {
            writeToCache(*e);
            rebuilt.push_back(e->id);
        } else {
            errs.push_back("Failed to compile " + e->file + "\n" + why);
        }
    }
    for (auto& m : mMaterials) {
        if (std::find(rebuilt.begin(), rebuilt.end(), m->vertexId) == rebuilt.end() &&
            std::find(rebuilt.begin(), rebuilt.end(), m->pixelId) == rebuilt.end())
            continue;
        const SShaderCompiledEntry* vs = compiledEntry(m->vertexId);
        const SShaderCompiledEntry* ps = compiledEntry(m->pixelId);
        if (!vs || !ps) continue;
        makeTablesCurrent(m->materialType);
        KeGlslShader oldVs, oldPs;
        if (mVertexTable) oldVs = *mVertexTable;
        if (mPixelTable) oldPs = *mPixelTable;
        std::string why;
        if (!mDriver.replaceShaderMaterial(m->materialType, vs->byteCode, ps->byteCode, why)) {
            errs.push_back("Failed to update material " + m->vertexFile + "\n" + withLineEnd(why) +
                           failureDetails(m->vertexFile, m->vertexEntry, m->pixelFile, m->pixelEntry, m->macros));
            continue;
        }
        updatedMaterials.push_back(m->materialType);
        mCurrentType = -1;
        makeTablesCurrent(m->materialType);
        const struct { const char* stage; const KeGlslShader* before; const KeGlslShader* after; } checks[] = {
            {"vertex", &oldVs, mVertexTable}, {"pixel", &oldPs, mPixelTable}};
        for (const auto& c : checks) {
            if (!c.after) continue;
            uint32_t before = 0, after = 0;
            for (uint32_t r : c.before->bufferRegisters) before += r;
            for (uint32_t r : c.after->bufferRegisters) after += r;
            bool same = before == after && c.before->constants.size() == c.after->constants.size();
            for (size_t i = 0; same && i < c.before->constants.size(); ++i) {
                const KeShaderConstant& a = c.before->constants[i];
                const KeShaderConstant& b = c.after->constants[i];
                same = a.name == b.name && a.offset == b.offset && a.size == b.size && a.samplerIndex == b.samplerIndex;
            }
            if (before != after)
                printMessage(KE_WARN, "KeGPU: you may restart the engine: %s: %s contant buffer sizes are different prev=%d new=%d",
                             m->vertexFile.c_str(), c.stage, static_cast<int>(before * 16), static_cast<int>(after * 16));
            else if (!same)
                printMessage(KE_WARN, "KeGPU: you may restart the engine: %s: %s contant buffer sizes are different",
                             m->vertexFile.c_str(), c.stage);
        }
    }
    for (const std::string& e : errs) {
        if (errors)
            errors->push_back(e.c_str());
        else
            printMessage(KE_ERROR, "KeGPU: %s", e.c_str());
    }
    return errs.empty();
}

// ---------------------------------------------------------------------------------------------
// Constant tables

bool CKeGPUProgrammingServices::makeTablesCurrent(s32 materialType) {
    if (materialType == mCurrentType && mVertexTable && mPixelTable) return true;
    mVertexTable = mDriver.vertexTable(materialType);
    mPixelTable = mDriver.pixelTable(materialType);
    if (!mVertexTable || !mPixelTable) {
        printMessage(KE_ERROR, "KeGPU: getMaterialTypeConstantTables failed");
        mCurrentType = -1;
        mVertexTable = mPixelTable = nullptr;
        return false;
    }
    mCurrentType = materialType;
    return true;
}

// Constants are set by name on this driver: registers are not handed out.
bool CKeGPUProgrammingServices::getPixelConstantRegisters(s32 materialType, const c8*, s32& registerIndex,
                                                          s32& registerCount) {
    makeTablesCurrent(materialType);
    registerIndex = -1;
    registerCount = 0;
    return true;
}

bool CKeGPUProgrammingServices::getVertexConstantRegisters(s32 materialType, const c8*, s32& registerIndex,
                                                           s32& registerCount) {
    makeTablesCurrent(materialType);
    registerIndex = -1;
    registerCount = 0;
    return true;
}

static bool samplerIndexOf(const KeGlslShader* table, const c8* name, s32& index) {
    index = -1;
    if (!table) return true;
    const KeShaderConstant* c = keFindConstant(*table, name ? name : "");
    if (!c) return false;
    index = c->samplerIndex;
    return true;
}

bool CKeGPUProgrammingServices::getPixelSamplerIndex(s32 materialType, const c8* name, s32& index) {
    makeTablesCurrent(materialType);
    return samplerIndexOf(mPixelTable, name, index);
}

bool CKeGPUProgrammingServices::getVertexSamplerIndex(s32 materialType, const c8* name, s32& index) {
    makeTablesCurrent(materialType);
    return samplerIndexOf(mVertexTable, name, index);
}

void CKeGPUProgrammingServices::printConstants(s32 materialType) {
    if (!mDriver.renderer(materialType)) {
        printMessage(KE_ERROR, "printConstants not supported for this DriverType");
        return;
    }
    makeTablesCurrent(materialType);
    const struct { const char* title; const KeGlslShader* table; } stages[] = {
        {"Vertex Shader Constants\n", mVertexTable}, {"Pixel Shader Constants\n", mPixelTable}};
    for (const auto& s : stages) {
        logLine("%s", s.title);
        for (const KeShaderConstant& c : s.table->constants)
            logLine("Name='%s' RegisterIndex=%d RegisterCount=%d\n", c.name.c_str(), c.registerIndex, c.registerCount);
    }
}

}  // namespace kolm
