// A runtime effect: an effect definition turned into one shader material per pass, a value
// cell per parameter and the binds that set every uniform at each draw. It reads like its
// definition, except that the six value readers answer the current values of the cells.
// Effects are reference counted; they keep their definition and their binds alive.
#pragma once

#include "fx/IKeEffectDef.h"
#include "fx/KeEffectRuntime.h"

#include <irrlicht/ITexture.h>
#include <irrlicht/SMaterial.h>

namespace irr {
namespace video {
class IMaterialRendererServices;
}
}  // namespace irr

namespace kolm {

class IKeEffect : public IKeEffectDef {
public:
    // Setters by name look the parameter up with getParameterByName and answer false (changing
    // nothing) when there is none; the others take the parameter element.
    virtual bool setFloat(const irr::c8* name, irr::f32 value) = 0;
    virtual bool setFloat(const SParameter* parameter, irr::f32 value) = 0;
    virtual bool setFloatArray(const irr::c8* name, const irr::f32* values, irr::u32 count) = 0;  // count <= 16
    virtual bool setFloatArray(const SParameter* parameter, const irr::f32* values, irr::u32 count) = 0;
    virtual bool setBool(const irr::c8* name, bool value) = 0;
    virtual bool setBool(const SParameter* parameter, bool value) = 0;
    virtual bool setInt(const irr::c8* name, irr::s32 value) = 0;
    virtual bool setInt(const SParameter* parameter, irr::s32 value) = 0;
    virtual bool setIntArray(const irr::c8* name, const irr::s32* values, irr::u32 count) = 0;  // count <= 16
    virtual bool setIntArray(const SParameter* parameter, const irr::s32* values, irr::u32 count) = 0;
    virtual bool setMatrix(const irr::c8* name, const irr::f32* values16) = 0;
    virtual bool setMatrix(const SParameter* parameter, const irr::f32* values16) = 0;
    virtual bool setTexture(const irr::c8* name, irr::video::ITexture* texture, bool srgb) = 0;
    virtual bool setTexture(const SParameter* parameter, irr::video::ITexture* texture, bool srgb) = 0;
    // Stores the texture (one reference) and the sRGB flag in the cell and in every pass
    // template layer that a texture bind of that parameter assigns.
    virtual bool setTextureByIndex(irr::s32 parameterIndex, irr::video::ITexture* texture, bool srgb) = 0;

    // Copies the pass template's material type, MaterialTypeParam and texture layers into
    // `material` (layers 0-3) and, when given, `side` (layers 4-7, engine-owned textures,
    // flag bytes). MaterialTypeParam2 is left alone: it holds the material's record handle.
    // False for an index out of range.
    virtual bool getPassMaterial(irr::s32 technique, irr::s32 pass, irr::video::SMaterial& material,
                                 KeMaterialBinding* side = nullptr) const = 0;
    // Puts the texture and sRGB flag into the layers of `material` (and `side`) that the pass's
    // texture binds assign to parameter `parameterIndex`. The material does not hold a reference.
    virtual bool setPassTexture(irr::s32 technique, irr::s32 pass, irr::s32 parameterIndex,
                                irr::video::SMaterial& material, KeMaterialBinding* side,
                                irr::video::ITexture* texture, bool srgb) const = 0;

    // Runs the binds of the record's technique and pass: every bind's onSetMaterial, then every
    // constant bind. False when a bind refused the material: the constants of the pass are then
    // zeroed, so the draw produces nothing instead of using the last object's values.
    virtual bool onSetShaderConstants(irr::video::IMaterialRendererServices* services, irr::s32 userData,
                                      const KeMaterialBinding* record) = 0;

    // True when a technique has the annotation "tangents" = "true".
    virtual bool needsTangents() const = 0;
    // A new effect (one reference) sharing the definition and binds, with copies of the cells
    // and techniques.
    virtual IKeEffect* clone() const = 0;

    // The technique records (for tools and renderers).
    virtual irr::u32 getTechniqueCount() const = 0;
    virtual const SKeFxTechnique* getFxTechnique(irr::u32 index) const = 0;
    virtual const SKeFxParameter* getCell(irr::u32 index) const = 0;
    virtual const IKeEffectDef* getDefinition() const = 0;
};

}  // namespace kolm
