// The post chain's rules, apart from the GPU: the glow's levels and their weights, the order of
// its passes, and the light streaks' parameters. The passes go to an IKePostPasses, which the
// post objects implement with effects and targets and tests implement with a recorder.
#pragma once

#include "render/KeLppSettings.h"

#include <irrlicht/irrTypes.h>

namespace kolm {

// The targets a glow frame touches: the scene (the destination), the glow's source (the
// half-size scene copy "HalfScreen[2]"), and the pairs Half, Quarter, Eighth, Sixteenth and
// Thirty-second (index 0 and 1 of each).
enum KePostTarget : irr::u8 {
    KE_POST_SCENE,
    KE_POST_SOURCE,
    KE_POST_HALF0,
    KE_POST_HALF1,
    KE_POST_QUARTER0,
    KE_POST_QUARTER1,
    KE_POST_EIGHTH0,
    KE_POST_EIGHTH1,
    KE_POST_SIXTEENTH0,
    KE_POST_SIXTEENTH1,
    KE_POST_THIRTYSECOND0,
    KE_POST_THIRTYSECOND1,
    KE_POST_TARGET_COUNT
};

// Glow radius r: d = r / 8 (the Gaussian radius of the half level; each smaller level doubles
// it), f = d / 2, and the weights of the eighth, sixteenth and thirty-second levels
// w1 = clamp(f - 1), w2 = clamp(f - 1.5), w3 = clamp(f - 2) (0 skips the level).
struct KeGlowLevels {
    irr::f32 d = 0;
    irr::f32 w1 = 0, w2 = 0, w3 = 0;
};
KeGlowLevels keGlowLevels(irr::f32 radius);

// Values of the streak source pass ("limitalpha", "limitcolor", "colorkey").
struct KeStreakSource {
    irr::f32 limitAlpha[2];
    irr::f32 limitColor[2];
    irr::f32 colorKey[3];
};
KeStreakSource keStreakSource(const LightStreakSettings& s);

// Values of streak pass k (0 to 5): "direction" (cos, sin of the angle, negated from pass 3 on),
// "colorize", "attenuation" = 1 - attenuation x 0.1, "passn" = 1, 2, 3, 1, 2, 3.
struct KeStreakPass {
    irr::f32 direction[2];
    irr::f32 colorize[3];
    irr::f32 attenuation;
    irr::f32 passn;
};
KeStreakPass keStreakPass(const LightStreakSettings& s, irr::u32 k);

class IKePostPasses {
public:
    virtual ~IKePostPasses() {}
    // The glow mask (colour x alpha) of src into dest.
    virtual void alphaMul(KePostTarget dest, KePostTarget src) = 0;
    virtual void downSample(KePostTarget dest, KePostTarget src) = 0;
    virtual void blur(KePostTarget dest, KePostTarget src, bool horizontal, irr::f32 radius, irr::f32 intensity) = 0;
    // src x intensity added to dest.
    virtual void compose(KePostTarget dest, KePostTarget src, irr::f32 intensity) = 0;
    virtual void streakSource(KePostTarget dest, KePostTarget src, const KeStreakSource& values) = 0;
    virtual void streakPass(KePostTarget dest, KePostTarget src, const KeStreakPass& values) = 0;
};

// The glow of `radius` and `intensity` added to KE_POST_SCENE from KE_POST_SOURCE; the light
// streaks inside it when `streaks`. HALF1 holds the finished glow (with the streaks) afterwards.
void keRunGlow(IKePostPasses& passes, irr::f32 radius, irr::f32 intensity, bool streaks,
               const LightStreakSettings& streakSettings);

// The light streaks of `src` added to `dest`, through the scratch pair (a, b).
void keRunLightStreaks(IKePostPasses& passes, KePostTarget dest, KePostTarget src, KePostTarget a, KePostTarget b,
                       const LightStreakSettings& s);

}  // namespace kolm
