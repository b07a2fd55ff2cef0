#include "fx/KeSurfaceMaterial.h"

#include "core/KeError.h"
#include "fx/KeMaterialBinding.h"
#include "fx/KeTextureIndirect.h"
#include "gl/KeGlTexture.h"

namespace kolm {

using namespace irr;

void keSetMaterialLayer(video::SMaterial& material, KeMaterialBinding* side, u32 index, video::ITexture* texture,
                        bool srgb) {
    if (index >= KE_MATERIAL_LAYERS) return;
    texture = keResolveTexture(texture);
    const bool engineOwned = texture && keAsEngineTexture(texture);
    if (index < KE_LIBRARY_LAYERS) material.TextureLayer[index].Texture = engineOwned ? nullptr : texture;
    if (!side) return;
    side->layers[index].Texture = index < KE_LIBRARY_LAYERS && !engineOwned ? nullptr : texture;
    side->layerFlags[index] = srgb ? KE_LAYER_SRGB : 0;
}

video::ITexture* keMaterialLayerTexture(const video::SMaterial& material, const KeMaterialBinding* side, u32 index) {
    if (index >= KE_MATERIAL_LAYERS) return nullptr;
    if (index < KE_LIBRARY_LAYERS && material.TextureLayer[index].Texture) return material.TextureLayer[index].Texture;
    return side ? side->layers[index].Texture : nullptr;
}

bool keWriteMacroBits(u32 bits, const char* const* names, u32 nameCount, const char* last, CKeMacro* macros,
                      u32& count, const char* overflowMessage) {
    const u32 room = count;
    count = 0;
    if (room == 0) return true;
    u32 needed = last ? 1 : 0;
    for (u32 i = 0; i < nameCount; ++i)
        if (bits & (1u << i)) ++needed;
    // The terminating pair takes an entry of its own.
    if (needed + 1 > room) {
        printMessage(KE_ERROR, "%s", overflowMessage);
        return false;
    }
    u32 n = 0;
    for (u32 i = 0; i < nameCount; ++i)
        if (bits & (1u << i)) macros[n++] = {names[i], nullptr};
    if (last) macros[n++] = {last, nullptr};
    macros[n] = {nullptr, nullptr};
    count = n;
    return true;
}

}  // namespace kolm
