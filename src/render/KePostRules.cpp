#include "render/KePostRules.h"

#include <algorithm>
#include <cmath>

namespace kolm {

using namespace irr;

namespace {

f32 clamp01(f32 x) { return std::min(std::max(x, 0.0f), 1.0f); }

}  // namespace

KeGlowLevels keGlowLevels(f32 radius) {
    KeGlowLevels l;
    l.d = radius * 2.0f * 0.0625f;
    const f32 f = l.d * 0.5f;
    l.w1 = clamp01(f - 1.0f);
    l.w2 = clamp01(f - 1.5f);
    l.w3 = clamp01(f - 2.0f);
    return l;
}

KeStreakSource keStreakSource(const LightStreakSettings& s) {
    KeStreakSource v;
    v.limitAlpha[0] = std::max(s.glowMin - 0.02f, 0.0f);
    v.limitAlpha[1] = std::min(s.glowMin + 0.02f, 1.0f);
    v.limitColor[0] = std::max(s.colorKeyMatch - 0.01f, 0.0f);
    v.limitColor[1] = std::min(s.colorKeyMatch + 0.01f, 1.0f);
    for (u32 i = 0; i < 3; ++i) v.colorKey[i] = s.colorKey[i];
    return v;
}

KeStreakPass keStreakPass(const LightStreakSettings& s, u32 k) {
    KeStreakPass v;
    const f64 a = f64(s.angle) * 3.14159265358979323846 / 180.0;
    const f32 sign = k < 3 ? 1.0f : -1.0f;
    v.direction[0] = sign * f32(std::cos(a));
    v.direction[1] = sign * f32(std::sin(a));
    for (u32 i = 0; i < 3; ++i) v.colorize[i] = s.colorize[i];
    v.attenuation = 1.0f - s.attenuation * 0.1f;
    v.passn = f32(k < 3 ? k + 1 : k - 2);
    return v;
}

void keRunLightStreaks(IKePostPasses& passes, KePostTarget dest, KePostTarget src, KePostTarget a, KePostTarget b,
                       const LightStreakSettings& s) {
    passes.streakSource(b, src, keStreakSource(s));
    for (u32 k = 0; k < 6; ++k) {
        const bool even = (k & 1) == 0;
        passes.streakPass(even ? a : b, even ? b : a, keStreakPass(s, k));
    }
    passes.compose(dest, b, s.compose);
}

void keRunGlow(IKePostPasses& p, f32 radius, f32 intensity, bool streaks, const LightStreakSettings& streakSettings) {
    const KeGlowLevels l = keGlowLevels(radius);
    const f32 d = l.d;
    p.alphaMul(KE_POST_HALF1, KE_POST_SOURCE);
    p.downSample(KE_POST_QUARTER1, KE_POST_HALF1);
    if (l.w1 != 0) p.downSample(KE_POST_EIGHTH1, KE_POST_QUARTER1);
    if (l.w2 != 0) p.downSample(KE_POST_SIXTEENTH1, KE_POST_EIGHTH1);
    if (l.w3 != 0) p.downSample(KE_POST_THIRTYSECOND1, KE_POST_SIXTEENTH1);

    if (l.w3 != 0) {
        p.blur(KE_POST_THIRTYSECOND0, KE_POST_THIRTYSECOND1, true, 16 * d, l.w3);
        p.blur(KE_POST_THIRTYSECOND1, KE_POST_THIRTYSECOND0, false, 16 * d, l.w3);
    }
    if (l.w2 != 0) {
        p.blur(KE_POST_SIXTEENTH0, KE_POST_SIXTEENTH1, true, 8 * d, l.w2);
        p.blur(KE_POST_SIXTEENTH1, KE_POST_SIXTEENTH0, false, 8 * d, l.w2);
    }
    if (l.w1 != 0) {
        p.blur(KE_POST_EIGHTH0, KE_POST_EIGHTH1, true, 4 * d, l.w1);
        p.blur(KE_POST_EIGHTH1, KE_POST_EIGHTH0, false, 4 * d, l.w1);
    }
    p.blur(KE_POST_QUARTER0, KE_POST_QUARTER1, true, 2 * d, 1);
    p.blur(KE_POST_QUARTER1, KE_POST_QUARTER0, false, 2 * d, 1);
    p.blur(KE_POST_HALF0, KE_POST_HALF1, true, d, 1);
    p.blur(KE_POST_HALF1, KE_POST_HALF0, false, d, 1);

    if (l.w3 != 0) p.compose(KE_POST_SIXTEENTH1, KE_POST_THIRTYSECOND1, 1);
    if (l.w2 != 0) p.compose(KE_POST_EIGHTH1, KE_POST_SIXTEENTH1, 1);
    if (l.w1 != 0) p.compose(KE_POST_QUARTER1, KE_POST_EIGHTH1, 1);
    p.compose(KE_POST_HALF1, KE_POST_QUARTER1, 1);

    if (streaks) keRunLightStreaks(p, KE_POST_HALF1, KE_POST_SOURCE, KE_POST_QUARTER0, KE_POST_QUARTER1, streakSettings);
    p.compose(KE_POST_SCENE, KE_POST_HALF1, intensity);
}

}  // namespace kolm
