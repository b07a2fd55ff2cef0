#include "render/KeLppRules.h"

#include <cmath>
#include <strings.h>

namespace kolm {

using irr::f32;
using irr::s32;
using irr::u32;

// ---------------------------------------------------------------------------------------------
// Render targets

const KeLppTargetInfo kKeLppTargets[KE_LPP_TARGETS] = {
    {"BackRTT[0]", 0, false},          {"BackRTT[1]", 0, false},          {"BackRTT[2]", 0, false},
    {"DepthRTT", 0, true},             {"NormalRTT", 0, false},           {"LightRTT", 0, false},
    {"HalfScreen[0]", 1, false},       {"HalfScreen[1]", 1, false},       {"HalfScreen[2]", 1, false},
    {"QuarterScreen[0]", 2, false},    {"QuarterScreen[1]", 2, false},    {"EighthScreen[0]", 3, false},
    {"EighthScreen[1]", 3, false},     {"SixTeenthScreen[0]", 4, false},  {"SixTeenthScreen[1]", 4, false},
    {"ThirtyTwothScreen[0]", 5, false}, {"ThirtyTwothScreen[1]", 5, false}, {"SixtyFourthScreen[0]", 6, false},
    {"SixtyFourthScreen[1]", 6, false}, {"QuarterScreenR32F", 2, true},   {"EighthScreenR32F", 3, true},
};

const char* const kKeLppShadowMapNames[KE_LPP_SHADOW_MAPS] = {"ShadowMap.256", "ShadowMap.512", "ShadowMap.512.1",
                                                               "ShadowMap.1024"};
const u32 kKeLppShadowMapSizes[KE_LPP_SHADOW_MAPS] = {256, 512, 512, 1024};

irr::core::dimension2du keLppFullSize(u32 width, u32 height, const irr::core::dimension2du& screen) {
    if (width && height) return irr::core::dimension2du(width, height);
    return screen;
}

// ---------------------------------------------------------------------------------------------
// Shadow-map pool

s32 keLppChooseShadowMap(const KeLppPoolSlot* pool, u32 count, s32 requested) {
    if (!pool || count == 0) return -1;
    auto fits = [&](u32 i) {
        if (requested == s32(pool[i].width)) return true;
        return i + 1 < count && requested < s32(pool[i + 1].width);
    };
    for (u32 i = 0; i < count; ++i) {
        if (pool[i].heldByVolumetric) continue;
        if (i + 1 == count || fits(i)) return s32(i);
    }
    for (u32 i = 0; i + 1 < count; ++i)
        if (fits(i)) return s32(i);
    return s32(count - 1);
}

// ---------------------------------------------------------------------------------------------
// Light effects

s32 keLppLightEffectSlot(irr::video::E_LIGHT_TYPE type, bool shadow, f32 fuzz) {
    s32 index = 0;
    if (shadow) {
        if (fuzz < 1) index = 1;
        else if (fuzz < 2) index = 2;
        else if (fuzz < 4) index = 3;
        else if (fuzz < 8) index = 4;
        else if (fuzz < 16) index = 5;
        else if (fuzz < 32) index = 6;
        else index = 7;
    }
    switch (type) {
        case irr::video::ELT_DIRECTIONAL: return index;
        case irr::video::ELT_POINT: return 8 + index;
        case irr::video::ELT_SPOT: return 16 + index;
        default: return -1;
    }
}

u32 keLppLightEffectMacros(u32 slot, CKeMacro out[5]) {
    static const char* const kFuzz[7] = {"USE_SH0", "USE_SH1", "USE_SH2", "USE_SH4", "USE_SH8", "USE_SH16", "USE_SH32"};
    u32 n = 0;
    auto add = [&](const char* name) { out[n++] = CKeMacro{name, nullptr}; };
    if (slot == 0) {
        add("USE_DISTANT");
    } else if (slot == 8) {
        add("USE_POINT");
    } else if (slot >= 16 && slot < 24) {
        add("USE_SPOTLIGHT");
        if (slot > 16) {
            add("USE_SHADOW");
            add(kFuzz[slot - 17]);
        }
    } else if (slot >= 1 && slot < 8) {
        add("USE_DISTANT");
        add("USE_SHADOW");
        add(kFuzz[slot - 1]);
    }
    out[n] = CKeMacro{nullptr, nullptr};
    return n;
}

u32 keLppVolumetricMacros(u32 variant, CKeMacro out[4]) {
    static const char* const kQuality[4] = {"QUALITY_1", "QUALITY_2", "QUALITY_3", "QUALITY_4"};
    u32 n = 0;
    if (variant < KE_LPP_VOLUMETRIC_VARIANTS) {
        const u32 k = variant % 3;
        if (k == 1 || k == 2) out[n++] = CKeMacro{"USE_SHADOW", ""};
        if (k == 0 || k == 2) out[n++] = CKeMacro{"USE_PROJIMAGE", ""};
        out[n++] = CKeMacro{kQuality[variant / 3], ""};
    }
    out[n] = CKeMacro{nullptr, nullptr};
    return n;
}

s32 keLppVolumetricVariant(s32 mode, bool shadowMap, bool projectionImage) {
    if (mode < 1 || (!shadowMap && !projectionImage)) return -1;
    const s32 q = mode - 1 < 0 ? 0 : (mode - 1 > 3 ? 3 : mode - 1);
    const s32 k = shadowMap && projectionImage ? 2 : (shadowMap ? 1 : 0);
    return 3 * q + k;
}

// ---------------------------------------------------------------------------------------------
// Light volumes and views

KeLppSpotCone keLppSpotCone(f32 outerConeDeg, f32 radius) {
    KeLppSpotCone cone;
    cone.length = radius * 1.15f;
    const f32 widened = outerConeDeg * 1.1f;
    // Past 89 degrees the tangent runs off to infinity (and turns negative past 90): such a cone
    // covers everything in front of the light, so the light is drawn over the whole screen.
    if (!(widened > 0.0f) || widened > 89.0f) return cone;
    cone.base = std::tan(widened * irr::core::DEGTORAD) * cone.length;
    cone.fits = std::isfinite(cone.base);
    return cone;
}

f32 keLppPointVolumeScale(f32 radius) { return radius * 1.15f; }

irr::core::vector3df keLppLightUp(const irr::core::vector3df& direction) {
    irr::core::vector3df d = direction;
    d.normalize();
    // A view along (or nearly along) the vertical cannot use +Y as its up vector.
    if (std::fabs(d.Y) > 0.999f) return irr::core::vector3df(0, 0, 1);
    return irr::core::vector3df(0, 1, 0);
}

KeLppLightView keLppLightView(irr::video::E_LIGHT_TYPE type, const irr::core::vector3df& position,
                              const irr::core::vector3df& direction, f32 outerConeDeg, f32 radius) {
    KeLppLightView v;
    v.nearValue = 0.01f;
    v.farValue = 5000.0f;
    if (type == irr::video::ELT_SPOT && radius < v.farValue) v.farValue = radius;
    irr::core::vector3df dir = direction;
    dir.normalize();
    irr::core::vector3df eye = position;
    if (type == irr::video::ELT_DIRECTIONAL) {
        eye -= dir;
        v.projection.buildProjectionMatrixOrthoLH(30.0f, 30.0f, v.nearValue, v.farValue);
        v.farValue = 1.0f;
    } else {
        f32 fov = 2.0f * outerConeDeg;
        // Cones of 90 degrees and more would ask for a field of view of 180 or more.
        if (fov > 179.0f) fov = 179.0f;
        if (fov < 0.1f) fov = 0.1f;
        v.projection.buildProjectionMatrixPerspectiveFovLH(fov * irr::core::DEGTORAD, 1.0f, v.nearValue, v.farValue);
    }
    v.view.buildCameraLookAtMatrixLH(eye, eye + dir, keLppLightUp(dir));
    return v;
}

// ---------------------------------------------------------------------------------------------
// Camera effects

bool keLppEffectRunsAt(const char* annotation, const char* tag) {
    const bool hasAnnotation = annotation != nullptr, hasTag = tag != nullptr;
    if (hasAnnotation != hasTag) return false;
    if (!hasAnnotation) return true;
    return strcasecmp(annotation, tag) == 0;
}

irr::video::ITexture* keLppSpareTarget(irr::video::ITexture* target, irr::video::ITexture* back0,
                                       irr::video::ITexture* back1) {
    return target == back1 ? back0 : back1;
}

irr::video::ITexture* keLppRunChain(IKeLppChainRunner& runner, u32 count, irr::video::ITexture* target,
                                    irr::video::ITexture* spare, bool copyBack) {
    if (count == 0) return target;
    irr::video::ITexture* current = target;
    for (u32 i = 0; i < count; ++i) {
        irr::video::ITexture* dest = current == target ? spare : target;
        if (runner.applyEffect(i, dest, current)) current = dest;
    }
    if (copyBack && current != target) {
        runner.copy(target, current);
        current = target;
    }
    runner.makeCurrent(current);
    return current;
}

}  // namespace kolm
