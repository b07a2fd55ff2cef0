// The effect manager: the effect file loaders, the cache of loaded effect definitions, the lists
// of semantic binds and texture resolvers, and the shader and texture search directories that
// effects are built with. The engine manager creates one at start-up and keeps it for the run.
// Main thread only.
#pragma once

#include "fx/IKeEffectDefLoader.h"

#include <irrlicht/IReferenceCounted.h>
#include <irrlicht/IShaderConstantSetCallBack.h>
#include <irrlicht/irrArray.h>
#include <irrlicht/irrString.h>

namespace kolm {

class IKeEffect;
class IKeEffectBind;
class IKeEffectBindSemanticMap;
class IKeEffectTextureResolver;
class IKeGPUProgrammingServices;
struct KeEffectBindContext;

class IKeEffectManager : public virtual irr::IReferenceCounted {
public:
    // Releases the cached definitions, the binds, the resolvers and the loaders.
    virtual ~IKeEffectManager() {}

    // The definition of an effect file for a macro set (a list ended by a null name, or null),
    // from the cache or newly loaded; null when no loader takes the file or loading fails (then
    // getLastError tells why, except when no loader took it). The caller gets no reference of
    // its own. Files whose loader does not depend on macros have one definition for every set.
    // A cache hit allocates nothing.
    virtual IKeEffectDef* getEffectDef(const irr::c8* name, const CKeMacro* macros) = 0;

    // A runtime effect of an effect file for a macro set, built on `baseMaterial` (a material
    // type of the library, -1 for none) with `callback` (null: the manager's own) given to its
    // shader materials. One reference for the caller; null when the definition cannot be had or
    // the build fails (logged as "CKeEffectManager: ERROR CKeEffect : <text>", see getLastError).
    virtual IKeEffect* createEffect(const irr::c8* name, irr::s32 baseMaterial, const CKeMacro* macros,
                                    irr::video::IShaderConstantSetCallBack* callback = nullptr) = 0;

    virtual void addShaderDirectory(const irr::c8* directory) = 0;
    virtual void addTextureDirectory(const irr::c8* directory) = 0;
    // Each takes a reference. Binds and resolvers go in front of the ones already there, so
    // that the generic bind added first stays last; loaders are appended and tried last first.
    virtual void addEffectBind(IKeEffectBind* bind) = 0;
    virtual void addTextureResolver(IKeEffectTextureResolver* resolver) = 0;
    virtual void addEffectDefLoader(IKeEffectDefLoader* loader) = 0;

    // A new semantic map, already added in front of the binds; the caller gets one reference.
    virtual IKeEffectBindSemanticMap* createSemanticMap() = 0;

    // The engine state the built-in binds and the texture resolver read. The engine sets its
    // services there once they exist and the frame loop updates the last-frame information.
    virtual KeEffectBindContext& getBindContext() = 0;

    // The text of the last failure, or "".
    virtual const irr::c8* getLastError() const = 0;

    // What effects are built with.
    virtual const irr::core::array<IKeEffectBind*>& getEffectBinds() const = 0;
    virtual const irr::core::array<IKeEffectTextureResolver*>& getTextureResolvers() const = 0;
    virtual const irr::core::array<irr::core::stringc>& getShaderDirectories() const = 0;
    virtual const irr::core::array<irr::core::stringc>& getTextureDirectories() const = 0;
};

// A new effect manager with one reference, the built-in binds, the texture resolver and the
// annotated HLSL loader registered. `services`
// (borrowed, may be null) compiles the effects' shaders and must outlive the manager;
// `targetIsOpenGL` is handed to the loaders; `reader` reads effect files (null: the engine's
// file layer, archives included).
IKeEffectManager* createKeEffectManager(IKeGPUProgrammingServices* services, bool targetIsOpenGL,
                                        KeEffectFileReader reader = nullptr);

}  // namespace kolm
