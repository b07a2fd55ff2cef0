// Texture layers of engine shader materials that the library does not bind: layers 4-7 on GL
// units 4-7 (any texture), and the engine's own textures (cube, volume, float) in any layer,
// each read through a sampler object with the states of its layer: wrap U and V (W follows U),
// bilinear / trilinear filtering (mip-maps only where the texture has them), anisotropy, and
// the LOD bias in eighths of a level, as the library counts it.
//
// The library caches what it bound on units 0-3 and never reads GL back. A unit below 4 that
// an engine texture took, and the sampler objects that override a unit's own states, are put
// back by keGlReleaseLayer / keGlRestoreLayers; call keGlRestoreLayers before the library
// draws with another material. Main thread only; nothing is allocated after the first call.
#pragma once

#include <irrlicht/SMaterial.h>
#include <irrlicht/SMaterialLayer.h>

namespace irr {
namespace video {
class IVideoDriver;
class ITexture;
}  // namespace video
}  // namespace irr

namespace kolm {

constexpr irr::u32 KE_GL_LAYER_UNITS = 8;

// Binds `texture` on unit `unit` (0-7) with the sampler states of `states`. An engine texture
// binds on its own target; a library texture (units 4-7 only) is found through the driver,
// which binds it once on unit 0 and is then given `current` (the material being drawn) back:
// bind layers 4-7 before engine textures of layers 0-3.
// False, binding nothing, for a unit out of range, a library texture on units 0-3 or a
// texture of neither kind.
bool keGlBindLayer(irr::video::IVideoDriver* driver, const irr::video::SMaterial& current, irr::u32 unit,
                   irr::video::ITexture* texture, const irr::video::SMaterialLayer& states);
// The unit's sampler object unbound and, on units 0-3, the library's texture put back.
void keGlReleaseLayer(irr::u32 unit);
// keGlReleaseLayer on every unit.
void keGlRestoreLayers();

}  // namespace kolm
