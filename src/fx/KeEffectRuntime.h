// The runtime records of an effect: parameter value cells, techniques, passes with their
// material templates, and the constant and texture binds through which uniforms and samplers
// get their values at every draw.
#pragma once

#include "fx/KeEffectRecords.h"
#include "fx/KeMaterialBinding.h"

#include <irrlicht/ITexture.h>
#include <irrlicht/SMaterial.h>
#include <irrlicht/irrArray.h>
#include <irrlicht/irrTypes.h>

#include <cstring>

namespace irr {
namespace video {
class IMaterialRendererServices;
}
}  // namespace irr

namespace kolm {

class IKeEffectBind;
struct STechnique;

// A texture parameter's sampler settings, as copied into a material's texture layer.
struct SKeFxTextureLayer {
    irr::video::ITexture* texture = nullptr;  // the owning cell holds a reference
    irr::u8 wrapU = 0;                        // E_TEXTURE_CLAMP
    irr::u8 wrapV = 0;
    bool bilinear = true;
    bool trilinear = false;
    irr::u8 anisotropy = 0;  // 0 or 8
    irr::s8 lodBias = 0;
    bool srgb = false;
};

// One value cell per effect parameter: room for 16 floats. bool is the first byte, int the
// first 32-bit integer, float..float4x4 the first 1..16 floats (a matrix in file order); a
// texture parameter's value is its layer setting, whose texture the cell holds a reference to.
struct SKeFxParameter {
    SKeFxParameter() { std::memset(data, 0, sizeof(data)); }
    SKeFxParameter(const SKeFxParameter& o) : layer(o.layer) {
        std::memcpy(data, o.data, sizeof(data));
        if (layer.texture) layer.texture->grab();
    }
    SKeFxParameter& operator=(const SKeFxParameter& o) {
        if (o.layer.texture) o.layer.texture->grab();
        if (layer.texture) layer.texture->drop();
        std::memcpy(data, o.data, sizeof(data));
        layer = o.layer;
        return *this;
    }
    ~SKeFxParameter() {
        if (layer.texture) layer.texture->drop();
    }
    void setTexture(irr::video::ITexture* t) {
        if (t) t->grab();
        if (layer.texture) layer.texture->drop();
        layer.texture = t;
    }
    irr::f32* floats() { return reinterpret_cast<irr::f32*>(data); }
    const irr::f32* floats() const { return reinterpret_cast<const irr::f32*>(data); }
    irr::s32 asInt() const {
        irr::s32 v;
        std::memcpy(&v, data, sizeof(v));
        return v;
    }
    bool asBool() const { return data[0] != 0; }

    alignas(16) irr::u8 data[64];
    SKeFxTextureLayer layer;
};

struct SKeFxConstBind;

// A bind's function: sends one constant's value through the material renderer services.
// `cell` is the constant's parameter cell in the effect being drawn. False when the value
// could not be sent (the effect then reports the constant once).
using KeBindFunction = bool (*)(IKeEffectBind* bind, irr::video::IMaterialRendererServices* services,
                                const SKeFxConstBind& constant, const SKeFxParameter& cell);

struct SKeFxConstBind {
    irr::s32 stage = 0;             // 2 vertex, 4 pixel
    irr::s32 type = 0;              // parameter type
    const irr::c8* symbol = "";     // uniform symbol (the definition's text)
    const irr::c8* semantic = "";   // "" when none
    irr::s32 cell = -1;             // index of the parameter's cell in the effect drawn
    irr::u32 floatCount = 0;        // generic path: 1, 2, 3, 4 or 16
    irr::s32 registerIndex = -1;    // -1: set by name
    irr::s32 registerCount = 0;
    IKeEffectBind* bind = nullptr;  // the pass holds the reference
    KeBindFunction function = nullptr;
    alignas(8) irr::u8 data[8] = {};  // bind-private (an object or light index, a record pointer)
    mutable bool reported = false;    // a failure of this constant was logged
};

struct SKeFxTextureBind {
    irr::s32 stage = 0;
    irr::s32 type = 0;
    const irr::c8* symbol = nullptr;  // none for binds made from a pass's texture states
    irr::s32 parameter = -1;
    irr::s32 sampler = -1;            // -1 until numbered
};

struct SKeFxShader {
    irr::s32 stage = 0;
    irr::core::array<SKeFxConstBind> constants;
    irr::core::array<SKeFxTextureBind> textures;
};

struct SKeFxPass {
    SKeFxPass() = default;
    SKeFxPass(const SKeFxPass& o);
    SKeFxPass& operator=(const SKeFxPass& o);
    ~SKeFxPass();
    void addBind(IKeEffectBind* bind);  // once each, with a reference

    // Material type = the pass's shader material, MaterialTypeParam = from the base material,
    // layers 0-3 the library's textures of the bound cells.
    irr::video::SMaterial material;
    irr::s32 baseMaterial = 0;  // the library material the shader material blends like
    // All 8 layer settings (texture pointers borrowed from the cells).
    SKeFxTextureLayer layers[KE_MATERIAL_LAYERS];
    irr::core::array<SKeFxShader> shaders;
    irr::core::array<IKeEffectBind*> binds;  // distinct, first-use order, one reference each
};

struct SKeFxTechnique {
    const STechnique* technique = nullptr;
    irr::core::array<SKeFxPass> passes;
};

// Fills a material texture layer from a layer setting: layers below KE_LIBRARY_LAYERS go to
// the library material (or to the side data, for the engine's own textures), the others and
// every flag byte to the side data (when given).
void keApplyTextureLayer(irr::u32 index, const SKeFxTextureLayer& setting, irr::video::SMaterial& material,
                         KeMaterialBinding* side);

}  // namespace kolm
