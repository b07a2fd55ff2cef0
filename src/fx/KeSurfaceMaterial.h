// What both surface kinds share: texture layers of a material with its record, and writing a
// macro list from a bit set.
#pragma once

#include "fx/SShaderMacro.h"

#include <irrlicht/SMaterial.h>

namespace kolm {

struct KeMaterialBinding;

// Puts `texture` (an indirect texture resolved to its target) into layer `index` (0-7):
// the library's own textures into the material's layers 0-3, engine textures and layers 4-7
// into `side` (skipped without one); the colour-space flag into `side`.
void keSetMaterialLayer(irr::video::SMaterial& material, KeMaterialBinding* side, irr::u32 index,
                        irr::video::ITexture* texture, bool srgb);
// The texture of layer `index` from the material or its side data (null when empty).
irr::video::ITexture* keMaterialLayerTexture(const irr::video::SMaterial& material, const KeMaterialBinding* side,
                                             irr::u32 index);

// Writes the names of the set bits of `bits` (lowest first; names[i] for bit 1 << i), then
// `last` when not null, each without a value, then the terminating pair. `count` is in: room
// in entries, the terminating pair included (0: nothing written, count 0); out: macros written.
// False, after logging `overflowMessage` (ERROR), when they do not fit.
bool keWriteMacroBits(irr::u32 bits, const char* const* names, irr::u32 nameCount, const char* last,
                      CKeMacro* macros, irr::u32& count, const char* overflowMessage);

}  // namespace kolm
