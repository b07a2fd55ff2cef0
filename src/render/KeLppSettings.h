// The light pre-pass renderer's records: its creation record, the per-frame post settings that
// the frame loop writes, and the light-streak settings.
#pragma once

#include <irrlicht/SColor.h>
#include <irrlicht/irrString.h>
#include <irrlicht/irrTypes.h>

namespace kolm {

// Creation record of the light pre-pass renderer. File names are searched by the start-up
// (keFindFile) before the renderer gets them; a name found nowhere stays as written.
struct RendererLppParams {
    // Format of every colour render target (the library's enum; start-up sets
    // ECF_A16B16G16R16F).
    irr::video::ECOLOR_FORMAT colorFormat = irr::video::ECF_A8R8G8B8;
    // Size of the full-size targets in pixels; used only when both are non-zero, else the
    // screen size.
    irr::u32 width = 0, height = 0;
    bool smaa = false;  // SMAA anti-aliasing at the end of the frame

    irr::core::stringc finalPass = "LppFinalPass3.hlsl";   // opaque surface materials
    irr::core::stringc uberShader = "UberShader3.hlsl";    // transparent surface materials
    irr::core::stringc depthClear = "LppDepthClear.hlsl";
    irr::core::stringc lightPass = "LppLightPass.hlsl";
    irr::core::stringc shadowDepth = "LppShadowDepth.hlsl";
    irr::core::stringc gaussianBlur = "GaussianBlur.hlsl";
    irr::core::stringc downSampleBlur = "DownSampleBlur.hlsl";
    irr::core::stringc composeUpSample = "ComposeUpSample.hlsl";
    irr::core::stringc lightStreakMaxInt = "LightStreakMaxInt.hlsl";
    irr::core::stringc lightStreakDraw = "LightStreakDraw.hlsl";
    irr::core::stringc glowAlphaMul = "GlowAlphaMul.hlsl";
    irr::core::stringc dofCocArtist = "DofCocArtist.hlsl";
    irr::core::stringc dofCocPhysical = "DofCocPhysical.hlsl";
    irr::core::stringc dof = "Dof.hlsl";
    irr::core::stringc gamma = "Gamma.hlsl";
    irr::core::stringc volumetricSpot = "VolumetricSpotLight.hlsl";
    irr::core::stringc volumetricPoint = "VolumetricPointLight.hlsl";
    irr::core::stringc smaaEdge = "SMAA-1-LumaEdgeDetection.fx";
    irr::core::stringc smaaWeights = "SMAA-2-BlendingWeightCalculation.fx";
    irr::core::stringc smaaBlend = "SMAA-3-NeighborhoodBlending.fx";
    irr::core::stringc areaTex = "AreaTexDX9.png";
    irr::core::stringc searchTex = "SearchTex.png";

    // The 22 file names in the order above, for the start-up's search.
    static constexpr irr::u32 kFileCount = 22;
    irr::core::stringc* file(irr::u32 i);
};

// Per-frame post settings, all zero after construction.
struct LppPostSettings {
    bool dofEnabled = false;
    irr::f32 focalDistance = 0;
    irr::f32 fStop = 0;
    irr::f32 dofAdvanced = 0;  // 0.0 physical circle of confusion, 1.0 artist
    irr::f32 dofFocalRangeMin = 0;
    irr::f32 dofFocalRangeMax = 0;
    irr::f32 dofFocalRangeFocused = 0;
    irr::f32 dofRadiusScale = 0;
    bool glowEnabled = false;
    irr::f32 glowIntensity = 0;
    irr::f32 glowRadius = 0;
    bool streakEnabled = false;
    bool bloomEnabled = false;
    irr::f32 bloomSpecularMin = 0;
    irr::f32 bloomCompose = 0;
    // The scene's ambient occlusion settings: kept, drawn by no stage.
    bool ssaoEnabled = false;
    irr::f32 ssao[4] = {0, 0, 0, 0};
    bool shadowEpsilonOverride = false;
    irr::f32 shadowEpsilon = 0;
    bool gammaEnabled = false;
};

// The light-streak object's 13 values, in the order the frame loop writes them.
struct LightStreakSettings {
    irr::f32 glowMin = 0;
    irr::f32 colorKeyMatch = 0.8f;
    irr::f32 colorKey[4] = {1, 1, 1, 1};  // r, g, b; the fourth is not used
    irr::f32 angle = 0;                   // degrees
    irr::f32 colorize[4] = {0, 0.5f, 1, 1};
    irr::f32 attenuation = 0.5f;
    irr::f32 compose = 1;
};

}  // namespace kolm
