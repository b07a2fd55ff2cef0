// The engine's record behind a material: which effect, technique and pass draw it, for which
// node and material index, and the material's side data that the library's SMaterial cannot
// carry (texture layers 4-7, engine-owned textures in layers 0-3, and the flag byte of each of
// the 8 layers).
//
// A material points at its record through a small integer handle stored in
// `MaterialTypeParam2` (exact as a float up to 2^24); 0 means "no record". Records register
// themselves on construction and unregister on destruction, so a handle never outlives its
// record: a material whose record went away finds nothing. Main thread only; lookups allocate
// nothing.
#pragma once

#include <irrlicht/SMaterial.h>
#include <irrlicht/irrTypes.h>

namespace irr {
namespace scene {
class ISceneNode;
}
}  // namespace irr

namespace kolm {

class IKeEffect;

constexpr irr::u32 KE_MATERIAL_BINDING_MAGIC = 0x123456;
constexpr irr::u32 KE_MATERIAL_LAYERS = 8;  // texture layers of an engine material
constexpr irr::u32 KE_LIBRARY_LAYERS = 4;   // of them, held by the library's SMaterial

// Flag byte of a texture layer.
enum KeLayerFlags : irr::u8 {
    KE_LAYER_SRGB = 0x1,  // the texture holds sRGB colours: sampled through an sRGB view
};

struct KeMaterialBinding {
    KeMaterialBinding();
    KeMaterialBinding(const KeMaterialBinding& other);  // same fields, a handle of its own
    KeMaterialBinding& operator=(const KeMaterialBinding& other);  // keeps its own handle
    ~KeMaterialBinding();

    irr::u32 magic = KE_MATERIAL_BINDING_MAGIC;
    IKeEffect* effect = nullptr;  // borrowed: whoever fills the record holds the effect
    irr::s32 technique = 0;
    irr::s32 pass = 0;
    irr::scene::ISceneNode* node = nullptr;  // borrowed
    irr::s32 materialIndex = 0;

    // Side data. layers[4..7] are the material's layers 4-7; layers[0..3] hold a texture only
    // when it is one of the engine's own GL textures (cube, volume, float), which the
    // library's material must not carry; the library's own textures stay in SMaterial.
    // Samplers read layer i on GL texture unit i.
    irr::video::SMaterialLayer layers[KE_MATERIAL_LAYERS];
    irr::u8 layerFlags[KE_MATERIAL_LAYERS] = {};

    // The handle materials store in MaterialTypeParam2 (never 0).
    irr::u32 handle() const { return m_handle; }
    // Points the material at this record.
    void attach(irr::video::SMaterial& material) const { material.MaterialTypeParam2 = irr::f32(m_handle); }

private:
    irr::u32 m_handle;
};

// The record of a handle, or null (0, unknown, or released).
KeMaterialBinding* keFindMaterialBinding(irr::u32 handle);
// The record a material points at through MaterialTypeParam2, or null.
KeMaterialBinding* keMaterialBindingOf(const irr::video::SMaterial& material);
// The same from the value of MaterialTypeParam2.
KeMaterialBinding* keMaterialBindingOfParam(irr::f32 materialTypeParam2);
// Records currently registered (for tests and leak checks).
irr::u32 keMaterialBindingCount();

}  // namespace kolm
