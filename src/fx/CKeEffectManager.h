// The effect manager (see IKeEffectManager.h) and its definition cache.
//
// Cache key: the file's absolute path, whether its loader depends on macros, and (only then)
// the macro set sorted by name and value. Entries stay sorted by key and are compared exactly,
// so a lookup with any macro set finds the one definition of a file whose loader ignores
// macros. Lookups build the key in buffers the manager keeps, so a hit allocates nothing.
#pragma once

#include "fx/IKeEffectManager.h"
#include "fx/KeEffectBindContext.h"
#include "kf/kfile.h"

#include <utility>
#include <vector>

namespace kolm {

class CKeEffectManager : public IKeEffectManager {
public:
    CKeEffectManager(IKeGPUProgrammingServices* services, bool targetIsOpenGL, KeEffectFileReader reader);
    ~CKeEffectManager() override;

    IKeEffectDef* getEffectDef(const irr::c8* name, const CKeMacro* macros) override;
    IKeEffect* createEffect(const irr::c8* name, irr::s32 baseMaterial, const CKeMacro* macros,
                            irr::video::IShaderConstantSetCallBack* callback = nullptr) override;
    IKeEffectBindSemanticMap* createSemanticMap() override;
    KeEffectBindContext& getBindContext() override { return *mContext; }
    void addShaderDirectory(const irr::c8* directory) override;
    void addTextureDirectory(const irr::c8* directory) override;
    void addEffectBind(IKeEffectBind* bind) override;
    void addTextureResolver(IKeEffectTextureResolver* resolver) override;
    void addEffectDefLoader(IKeEffectDefLoader* loader) override;
    const irr::c8* getLastError() const override { return mLastError.c_str(); }
    const irr::core::array<IKeEffectBind*>& getEffectBinds() const override { return mBinds; }
    const irr::core::array<IKeEffectTextureResolver*>& getTextureResolvers() const override { return mResolvers; }
    const irr::core::array<irr::core::stringc>& getShaderDirectories() const override { return mShaderDirs; }
    const irr::core::array<irr::core::stringc>& getTextureDirectories() const override { return mTextureDirs; }

    IKeGPUProgrammingServices* getGPUProgrammingServices() const { return mServices; }
    irr::u32 getCachedEffectDefCount() const { return irr::u32(mCache.size()); }

    // The absolute, lexically flattened path under which `name` is cached ("/" separators).
    // Lives in a buffer of the manager until the next call.
    const char* absolutePath(const char* name);

private:
    struct SEffectDefEntry {
        irr::core::stringc path;
        bool dependsOnMacros;
        std::vector<SShaderMacro> macros;  // sorted; empty when the loader ignores macros
        IKeEffectDef* def;                 // one reference
    };
    using MacroRef = std::pair<const char*, const char*>;  // name, value ("" when absent)

    void probeMacros(const CKeMacro* macros);
    int compare(const SEffectDefEntry& e, const char* path, bool dependsOnMacros) const;
    IKeEffectDef* find(const char* path, bool dependsOnMacros) const;
    IKeEffectDef* load(const char* name, const char* path, const CKeMacro* macros);

    IKeGPUProgrammingServices* mServices;  // borrowed
    bool mTargetIsOpenGL;
    KeEffectFileReader mReader;
    irr::core::array<IKeEffectDefLoader*> mLoaders;  // registration order
    std::vector<SEffectDefEntry> mCache;               // sorted by key
    irr::core::array<IKeEffectBind*> mBinds;
    irr::core::array<IKeEffectTextureResolver*> mResolvers;
    irr::core::array<irr::core::stringc> mShaderDirs;
    irr::core::array<irr::core::stringc> mTextureDirs;
    irr::core::stringc mLastError;
    KeEffectBindContextPtr mContext;
    irr::video::IShaderConstantSetCallBack* mCallback;  // the default callback, one reference

    // Lookup buffers, reused.
    char mPath[KFILE_PATH_CAPACITY];
    std::vector<MacroRef> mProbe;
};

}  // namespace kolm
