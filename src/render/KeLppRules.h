// The light pre-pass renderer's rules that need no GPU: which render targets exist at which
// size, which shadow map a light gets, which light-buffer and volumetric effect variant draws
// a light, light volumes and light views, and the camera-effect ping-pong. The renderer and its
// stages call these; tests check them as tables.
//
// Sections: render targets; shadow-map pool; light effects; light volumes and views; camera
// effects.
#pragma once

#include "fx/SShaderMacro.h"

#include <irrlicht/dimension2d.h>
#include <irrlicht/matrix4.h>
#include <irrlicht/vector3d.h>
#include <irrlicht/SLight.h>

namespace irr {
namespace video {
class ITexture;
}
}  // namespace irr

namespace kolm {

// ---------------------------------------------------------------------------------------------
// Render targets

struct KeLppTargetInfo {
    const char* name;
    irr::u32 shift;  // the size is (W >> shift) x (H >> shift)
    bool r32f;       // ECF_R32F instead of the colour format
};

// The screen-size and reduced targets, in creation order.
constexpr irr::u32 KE_LPP_TARGETS = 21;
extern const KeLppTargetInfo kKeLppTargets[KE_LPP_TARGETS];

// The shadow-map pool, sorted by size: 256, 512, 512, 1024 (ECF_R32F, depth of their own).
constexpr irr::u32 KE_LPP_SHADOW_MAPS = 4;
extern const char* const kKeLppShadowMapNames[KE_LPP_SHADOW_MAPS];
extern const irr::u32 kKeLppShadowMapSizes[KE_LPP_SHADOW_MAPS];

// W x H: the record's size when both are non-zero, else the screen's.
irr::core::dimension2du keLppFullSize(irr::u32 width, irr::u32 height, const irr::core::dimension2du& screen);

// ---------------------------------------------------------------------------------------------
// Shadow-map pool

struct KeLppPoolSlot {
    irr::u32 width;         // of the map
    bool heldByVolumetric;  // taken this frame by a light with the volumetric switch on
};

// Index of the map a light asking for `requested` texels gets, or -1 for an empty pool. Maps
// held by volumetric lights must survive until the volumetric stage and are passed over,
// unless every map is held.
irr::s32 keLppChooseShadowMap(const KeLppPoolSlot* pool, irr::u32 count, irr::s32 requested);

// ---------------------------------------------------------------------------------------------
// Light effects

// Slots of the light buffer's effect table (all from the light-pass file).
constexpr irr::u32 KE_LPP_LIGHT_EFFECTS = 24;
// Slot for a light: directional 0-7, point 8-15, spot 16-23; +1..7 with a shadow map by its
// fuzz (below 1, 2, 4, 8, 16, 32, else). -1 for other light types.
irr::s32 keLppLightEffectSlot(irr::video::E_LIGHT_TYPE type, bool shadow, irr::f32 fuzz);
// The macros of a slot (at most 4, no definitions), written into `out` with the terminating
// record; returns how many. 0 for a slot without an effect. Slots 1-7 (directional light with
// a shadow map) use the spot slots' shadow macros with "USE_DISTANT".
irr::u32 keLppLightEffectMacros(irr::u32 slot, CKeMacro out[5]);

// The volumetric stage's twelve spot variants: 3 q + k for quality q = 0..3 ("QUALITY_1" ..
// "QUALITY_4", last), k = 0 projection image, 1 shadow map, 2 both.
constexpr irr::u32 KE_LPP_VOLUMETRIC_VARIANTS = 12;
irr::u32 keLppVolumetricMacros(irr::u32 variant, CKeMacro out[4]);
// The variant for a spot light of quality `mode` with or without a shadow map and a projection
// image; -1 for the standard effect (neither, or quality below 1).
irr::s32 keLppVolumetricVariant(irr::s32 mode, bool shadowMap, bool projectionImage);

// ---------------------------------------------------------------------------------------------
// Light volumes and views

// A spot light's cone, widened by 1.1 in angle and 1.15 in length. Cones wider than 89
// degrees after widening have no finite cone: `fits` is false and the light is drawn over the
// whole screen.
struct KeLppSpotCone {
    bool fits = false;
    irr::f32 base = 0;    // radius of the cone's base
    irr::f32 length = 0;  // apex to base
};
KeLppSpotCone keLppSpotCone(irr::f32 outerConeDeg, irr::f32 radius);
// The scale of a point light's sphere: radius x 1.15.
irr::f32 keLppPointVolumeScale(irr::f32 radius);

// View and projection of a light's shadow map (left-handed). Spot and point lights look along
// their direction with a field of view of twice the outer cone (at most 179 degrees), near
// 0.01, far 5000 or the radius when smaller; directional lights look from one unit behind
// their position over an orthographic 30 x 30 box and report a far value of 1.
struct KeLppLightView {
    irr::core::matrix4 view;
    irr::core::matrix4 projection;
    irr::f32 nearValue = 0.01f;
    irr::f32 farValue = 5000.0f;
};
KeLppLightView keLppLightView(irr::video::E_LIGHT_TYPE type, const irr::core::vector3df& position,
                              const irr::core::vector3df& direction, irr::f32 outerConeDeg, irr::f32 radius);
// The up vector of a light view: +Y, or +Z for directions within 2.6 degrees of vertical.
irr::core::vector3df keLppLightUp(const irr::core::vector3df& direction);

// ---------------------------------------------------------------------------------------------
// Camera effects

// Whether an effect whose technique 0 carries the "render" annotation `annotation` (null:
// none) runs at the chain tagged `tag` (null: the untagged chain). Case-insensitive.
bool keLppEffectRunsAt(const char* annotation, const char* tag);

// The chain's second buffer for a chain on `target`: a target that holds nothing the frame
// still needs. "BackRTT[1]", or "BackRTT[0]" when the chain runs on "BackRTT[1]"; the scene
// colour in "BackRTT[0]" is never the spare of a chain on another target.
irr::video::ITexture* keLppSpareTarget(irr::video::ITexture* target, irr::video::ITexture* back0,
                                       irr::video::ITexture* back1);

// What a camera-effect chain does with the GPU, so that the ping-pong runs the same on a
// recorder.
class IKeLppChainRunner {
public:
    virtual ~IKeLppChainRunner() {}
    // Runs effect `index` from `src`; true when its result is in `dest`.
    virtual bool applyEffect(irr::u32 index, irr::video::ITexture* dest, irr::video::ITexture* src) = 0;
    // Makes `dest` current (no clear) and copies `src` onto it.
    virtual void copy(irr::video::ITexture* dest, irr::video::ITexture* src) = 0;
    // Makes `texture` the current render target (no clear).
    virtual void makeCurrent(irr::video::ITexture* texture) = 0;
};
// Runs `count` effects in order, ping-ponging between `target` and `spare`; with `copyBack` the
// result ends in `target`. Returns the texture holding the result, which is current. With no
// effect nothing is drawn and `target` is returned.
irr::video::ITexture* keLppRunChain(IKeLppChainRunner& runner, irr::u32 count, irr::video::ITexture* target,
                                    irr::video::ITexture* spare, bool copyBack);

}  // namespace kolm
