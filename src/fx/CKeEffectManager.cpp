#include "fx/CKeEffectManager.h"

#include "core/KeError.h"
#include "files/KeReadFile.h"
#include "fx/CKeEffect.h"
#include "fx/CKeEffectBinds.h"
#include "fx/CKeEffectDefLoaderCollada.h"
#include "fx/CKeEffectDefLoaderKolm.h"
#include "fx/CKeEffectTextureResolver.h"
#include "fx/IKeEffectBind.h"
#include "fx/IKeEffectTextureResolver.h"

#include <algorithm>
#include <cstring>
#include <unistd.h>

namespace kolm {

using namespace irr;

namespace {

template <typename T> void dropAll(core::array<T*>& a) {
    for (u32 i = 0; i < a.size(); ++i) a[i]->drop();
    a.clear();
}

// Appends the segments of `in` to `out` (which holds `len` bytes and starts with "/"),
// flattening "." and "..". Both separators count; the result uses "/". Cut at the capacity.
void appendFlattened(char* out, size_t& len, size_t capacity, const char* in) {
    const char* p = in;
    while (*p) {
        while (*p == '/' || *p == '\\') ++p;
        const char* start = p;
        while (*p && *p != '/' && *p != '\\') ++p;
        const size_t n = size_t(p - start);
        if (n == 0 || (n == 1 && start[0] == '.')) continue;
        if (n == 2 && start[0] == '.' && start[1] == '.') {
            while (len > 1 && out[len - 1] != '/') --len;
            if (len > 1) --len;  // the separator before the dropped segment
            continue;
        }
        if (len > 1 && len < capacity - 1) out[len++] = '/';
        const size_t room = capacity - 1 - len;
        const size_t take = n < room ? n : room;
        std::memcpy(out + len, start, take);
        len += take;
    }
    out[len] = '\0';
}

}  // namespace

CKeEffectManager::CKeEffectManager(IKeGPUProgrammingServices* services, bool targetIsOpenGL, KeEffectFileReader reader)
    : mServices(services), mTargetIsOpenGL(targetIsOpenGL), mReader(reader ? reader : static_cast<KeEffectFileReader>(&keReadWholeFile)),
      mContext(std::make_shared<KeEffectBindContext>()), mCallback(new CKeEffectCallback()) {
    mPath[0] = '\0';
    mProbe.reserve(64);
    mBinds = keCreateBuiltinBinds(mContext);  // generic bind last; later binds go in front
    auto* resolver = new CKeEffectTextureResolver(mContext);
    addTextureResolver(resolver);
    resolver->drop();
    // Loaders are tried from the last registered: annotated HLSL before COLLADA.
    auto* collada = new CKeEffectDefLoaderCollada();
    addEffectDefLoader(collada);
    collada->drop();
    auto* kolm = new CKeEffectDefLoaderKolm();
    addEffectDefLoader(kolm);
    kolm->drop();
}

CKeEffectManager::~CKeEffectManager() {
    for (SEffectDefEntry& e : mCache) e.def->drop();
    mCache.clear();
    dropAll(mBinds);
    dropAll(mResolvers);
    dropAll(mLoaders);
    mCallback->drop();
}

const char* CKeEffectManager::absolutePath(const char* name) {
    const char* full = kfile_fullpath(name ? name : "");
    size_t len = 0;
    mPath[len++] = '/';
    mPath[len] = '\0';
    if (full[0] != '/') {
        char cwd[KFILE_PATH_CAPACITY];
        if (::getcwd(cwd, sizeof(cwd))) appendFlattened(mPath, len, sizeof(mPath), cwd);
    }
    appendFlattened(mPath, len, sizeof(mPath), full);
    return mPath;
}

void CKeEffectManager::probeMacros(const CKeMacro* macros) {
    mProbe.clear();
    for (const CKeMacro* m = macros; m && m->Name; ++m) mProbe.emplace_back(m->Name, m->Definition ? m->Definition : "");
    std::sort(mProbe.begin(), mProbe.end(), [](const MacroRef& a, const MacroRef& b) {
        const int c = std::strcmp(a.first, b.first);
        return c != 0 ? c < 0 : std::strcmp(a.second, b.second) < 0;
    });
}

// Order of keys: path, then the macro flag (without first), then the number of macros, then the
// macros pair by pair, name before value. A key without the flag has no macros.
int CKeEffectManager::compare(const SEffectDefEntry& e, const char* path, bool dependsOnMacros) const {
    int c = std::strcmp(e.path.c_str(), path);
    if (c != 0) return c;
    if (e.dependsOnMacros != dependsOnMacros) return e.dependsOnMacros ? 1 : -1;
    if (!dependsOnMacros) return 0;
    if (e.macros.size() != mProbe.size()) return e.macros.size() < mProbe.size() ? -1 : 1;
    for (size_t i = 0; i < mProbe.size(); ++i) {
        c = std::strcmp(e.macros[i].name.c_str(), mProbe[i].first);
        if (c != 0) return c;
        c = std::strcmp(e.macros[i].value.c_str(), mProbe[i].second);
        if (c != 0) return c;
    }
    return 0;
}

IKeEffectDef* CKeEffectManager::find(const char* path, bool dependsOnMacros) const {
    auto it = std::lower_bound(mCache.begin(), mCache.end(), 0, [&](const SEffectDefEntry& e, int) {
        return compare(e, path, dependsOnMacros) < 0;
    });
    return it != mCache.end() && compare(*it, path, dependsOnMacros) == 0 ? it->def : nullptr;
}

IKeEffectDef* CKeEffectManager::getEffectDef(const c8* name, const CKeMacro* macros) {
    if (!name || !*name) return nullptr;
    const char* path = absolutePath(name);
    probeMacros(macros);
    for (u32 i = mLoaders.size(); i-- > 0;) {
        if (!mLoaders[i]->isLoadableFile(name)) continue;
        if (IKeEffectDef* def = find(path, mLoaders[i]->dependsOnMacros())) return def;
    }
    return load(name, path, macros);
}

IKeEffectDef* CKeEffectManager::load(const char* name, const char* probePath, const CKeMacro* macros) {
    const core::stringc path = probePath;
    for (u32 i = mLoaders.size(); i-- > 0;) {
        IKeEffectDefLoader* loader = mLoaders[i];
        if (!loader->isLoadableFile(name)) continue;
        core::stringc error;
        IKeEffectDef* def = loader->createEffectDef(mReader, path.c_str(), macros, mTargetIsOpenGL, error);
        if (!def && error.empty()) continue;
        if (!error.empty()) {
            printMessage(KE_ERROR, "CKeEffectManager: ERROR IKeEffectDef : %s", error.c_str());
            mLastError = error;
            if (def) def->drop();
            return nullptr;
        }
        SEffectDefEntry entry;
        entry.path = path;
        entry.dependsOnMacros = loader->dependsOnMacros();
        if (entry.dependsOnMacros)
            for (const MacroRef& m : mProbe) entry.macros.push_back(SShaderMacro{m.first, m.second});
        entry.def = def;
        auto at = std::lower_bound(mCache.begin(), mCache.end(), 0, [&](const SEffectDefEntry& e, int) {
            return compare(e, path.c_str(), entry.dependsOnMacros) < 0;
        });
        mCache.insert(at, std::move(entry));
        return def;
    }
    return nullptr;
}

IKeEffect* CKeEffectManager::createEffect(const c8* name, s32 baseMaterial, const CKeMacro* macros,
                                          video::IShaderConstantSetCallBack* callback) {
    IKeEffectDef* def = getEffectDef(name, macros);
    if (!def) return nullptr;
    KeEffectBuildInputs in;
    in.services = mServices;
    in.binds = &mBinds;
    in.resolvers = &mResolvers;
    in.shaderDirectories = &mShaderDirs;
    in.textureDirectories = &mTextureDirs;
    in.baseMaterial = baseMaterial;
    in.macros = macros;
    in.callback = callback ? callback : mCallback;
    CKeEffect* effect = new CKeEffect(in, def);
    if (effect->isValid()) return effect;
    printMessage(KE_ERROR, "CKeEffectManager: ERROR CKeEffect : %s", effect->getError());
    mLastError = effect->getError();
    effect->drop();
    return nullptr;
}

IKeEffectBindSemanticMap* CKeEffectManager::createSemanticMap() {
    IKeEffectBindSemanticMap* map = keCreateSemanticMap();
    addEffectBind(map);
    return map;
}

void CKeEffectManager::addShaderDirectory(const c8* directory) { mShaderDirs.push_back(directory ? directory : ""); }

void CKeEffectManager::addTextureDirectory(const c8* directory) { mTextureDirs.push_back(directory ? directory : ""); }

void CKeEffectManager::addEffectBind(IKeEffectBind* bind) {
    if (!bind) return;
    bind->grab();
    mBinds.insert(bind, 0);
}

void CKeEffectManager::addTextureResolver(IKeEffectTextureResolver* resolver) {
    if (!resolver) return;
    resolver->grab();
    mResolvers.insert(resolver, 0);
}

void CKeEffectManager::addEffectDefLoader(IKeEffectDefLoader* loader) {
    if (!loader) return;
    loader->grab();
    mLoaders.push_back(loader);
}

IKeEffectManager* createKeEffectManager(IKeGPUProgrammingServices* services, bool targetIsOpenGL,
                                        KeEffectFileReader reader) {
    return new CKeEffectManager(services, targetIsOpenGL, reader);
}

}  // namespace kolm
