// Shader compilation services: HLSL files to shader materials of the video driver, with three
// caches (materials, compiled shaders in memory, compiled shaders on disk), constant-table
// questions and rebuilding after source changes.
//
// Constants are set by name on every driver this engine runs on: the constant-register
// questions answer register -1 and count 0 with success, and callers set uniforms by name
// through the material renderer services. Sampler questions answer the texture unit named by
// register(sN).
#pragma once

#include "fx/SShaderMacro.h"

#include <irrlicht/EMaterialTypes.h>
#include <irrlicht/EShaderTypes.h>
#include <irrlicht/IReferenceCounted.h>
#include <irrlicht/irrArray.h>
#include <irrlicht/irrString.h>
#include <irrlicht/irrTypes.h>

namespace irr {
class IrrlichtDevice;
namespace video {
class IShaderConstantSetCallBack;
}
}  // namespace irr

namespace kolm {

// Cache mode bits.
enum KeShaderCacheMode : irr::u32 {
    KE_SHADER_CACHE_READ = 0x1,   // read compiled shaders from the cache directory
    KE_SHADER_CACHE_CHECK = 0x2,  // ... only when no source file is newer than the cache file
    KE_SHADER_CACHE_WRITE = 0x4,  // write compiled shaders to the cache directory
};

class IKeGPUProgrammingServices : public virtual irr::IReferenceCounted {
public:
    // Frees both caches.
    virtual ~IKeGPUProgrammingServices() {}

    virtual void setShaderCache(const irr::c8* directory, irr::u32 mode) = 0;

    // The material type of an existing or new shader material, or -1. `macros` is a list ended
    // by a null name (or null). With `error` the failure text goes there instead of the log.
    virtual irr::s32 getShaderMaterial(const irr::c8* vertexFile, const irr::c8* vertexEntry,
                                       irr::video::E_VERTEX_SHADER_TYPE vertexTarget, const irr::c8* pixelFile,
                                       const irr::c8* pixelEntry, irr::video::E_PIXEL_SHADER_TYPE pixelTarget,
                                       irr::video::IShaderConstantSetCallBack* callback,
                                       irr::video::E_MATERIAL_TYPE baseMaterial, irr::s32 userData,
                                       const CKeMacro* macros, irr::core::stringc* error = 0) = 0;

    // Rebuilds every compiled shader that read one of the changed paths (exact text match of
    // '/'-separated paths) and updates the materials that use it in place. Material types
    // stay the same. False when anything failed.
    virtual bool recompileShaders(const irr::core::array<irr::core::stringc>& changedFiles,
                                  irr::core::array<irr::s32>& updatedMaterials,
                                  irr::core::array<irr::core::stringc>* errors = 0) = 0;

    virtual bool getPixelConstantRegisters(irr::s32 materialType, const irr::c8* name, irr::s32& registerIndex,
                                           irr::s32& registerCount) = 0;
    virtual bool getVertexConstantRegisters(irr::s32 materialType, const irr::c8* name, irr::s32& registerIndex,
                                            irr::s32& registerCount) = 0;
    virtual bool getPixelSamplerIndex(irr::s32 materialType, const irr::c8* name, irr::s32& index) = 0;
    virtual bool getVertexSamplerIndex(irr::s32 materialType, const irr::c8* name, irr::s32& index) = 0;

    // Logs both constant tables of a shader material.
    virtual void printConstants(irr::s32 materialType) = 0;

    // Compiles and creates without consulting the material cache; the ids of the compiled
    // shaders used come back in vertexId and pixelId.
    virtual irr::s32 createShaderMaterial(const irr::c8* vertexFile, const irr::c8* vertexEntry,
                                          irr::video::E_VERTEX_SHADER_TYPE vertexTarget, const irr::c8* pixelFile,
                                          const irr::c8* pixelEntry, irr::video::E_PIXEL_SHADER_TYPE pixelTarget,
                                          irr::video::IShaderConstantSetCallBack* callback,
                                          irr::video::E_MATERIAL_TYPE baseMaterial, irr::s32 userData,
                                          const CKeMacro* macros, irr::core::stringc* error, irr::s32* vertexId,
                                          irr::s32* pixelId) = 0;
};

// A shader material from HLSL source text (both stages in one text, no includes, no caches),
// as the engine's built-in shaders are made. -1 with `error` set on failure.
irr::s32 keAddShaderMaterialFromSource(IKeGPUProgrammingServices* services, const char* source,
                                       const char* vertexEntry, const char* pixelEntry,
                                       irr::video::IShaderConstantSetCallBack* callback,
                                       irr::video::E_MATERIAL_TYPE baseMaterial, irr::s32 userData,
                                       irr::core::stringc* error);

// Services for a device; one reference held by the caller.
IKeGPUProgrammingServices* keCreateGPUProgrammingServices(irr::IrrlichtDevice* device);

}  // namespace kolm
