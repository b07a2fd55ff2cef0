// A LightWave surface: the material description LightWave attaches to a polygon group. A
// surface chooses the macros and the base material its effect is compiled with, puts its
// textures into the effect's texture parameters, and answers its values to the surface binds
// while a material is drawn (IKeBindSurface). It also converts to and from the library's
// fixed-function material.
//
// Kinds: "lwsr" (IKeSurfaceLightwave) and "lwhv" (IKeSurfaceLightwaveHV), four-character codes
// with the first character in the lowest byte (KE_SURFACE_* of IKeSurfaceManager.h).
// Surfaces are reference counted; they never own the textures they point at.
#pragma once

#include "fx/KeEffectBindContext.h"
#include "fx/SShaderMacro.h"

#include <irrlicht/EMaterialTypes.h>
#include <irrlicht/IReferenceCounted.h>
#include <irrlicht/SMaterial.h>

namespace irr {
namespace scene {
class ISceneNode;
}
}  // namespace irr

namespace kolm {

class IKeEffect;
struct KeMaterialBinding;

class IKeSurface : public virtual irr::IReferenceCounted, public IKeBindSurface {
public:
    virtual ~IKeSurface() {}

    virtual irr::u32 getKind() const = 0;
    // Derives the surface from a fixed-function material (the whole block is reset first).
    virtual void initFromMaterial(const irr::video::SMaterial& material) = 0;
    // Writes the surface into a fixed-function material.
    virtual void applyToMaterial(irr::video::SMaterial& material) const = 0;
    virtual bool needsTangents() const = 0;

    // The macros and base material the surface's effect is compiled with. `node` (may be null)
    // is the node whose extension holds the surface. `count` is in: the room of `macros` in
    // entries, the terminating pair included (0: write no macros); out: the macros written,
    // the terminating pair not counted. False (with the message) when the list does not fit.
    virtual bool getEffectCompileParameters(irr::video::E_MATERIAL_TYPE& baseMaterial, CKeMacro* macros,
                                            irr::u32& count, irr::scene::ISceneNode* node) const = 0;
    // Puts the surface's textures into the effect's texture parameters (by semantic). False at
    // the first texture that cannot be set (with the message).
    virtual bool setEffectTextures(IKeEffect* effect) const = 0;
    // The same into one material of the effect's technique and pass: layers 0-3 of `material`,
    // layers 4-7 and the flag bytes of `side`. Layer 0, when still empty afterwards, receives
    // the surface's main texture.
    virtual bool setEffectTextureOnMaterial(irr::video::SMaterial& material, KeMaterialBinding& side,
                                            IKeEffect* effect, irr::s32 technique, irr::s32 pass) const = 0;
    // A new surface of the same kind with a copy of the block (one reference for the caller).
    virtual IKeSurface* clone() const = 0;
};

}  // namespace kolm
