// [KOLM_BEGIN]
//title Light pre-pass: one light into the light buffer
//subject light pre-pass
//comments Adds one light's contribution to the light buffer: rgb = light colour x N.L x fall-off (x shadow), a = specular strength (Blinn-Phong with the gloss of the normal target) x the light's luminance. Compiled once per light kind: USE_DISTANT, USE_POINT or USE_SPOTLIGHT, with USE_SHADOW and one of USE_SH0 .. USE_SH32 (the shadow map's softening, 0 to 32 texels) for shadowed lights. Drawn additively over the whole screen or over the light's sphere or cone.
//
// config baseMaterial : transparent_one_one
// float4x4 WorldViewProjection : 0 : vertex
// float4 ViewScale : 1, 1, 0, 0 : pixel
// float4 LightPosition : 0, 0, 0, 1 : pixel
// float4 LightDirection : 0, 0, 1, 0 : pixel
// float InvLightRadiusSqr : 0 : pixel
// float2 SpotlightAngles : 0, 0 : pixel
// float3 LightColor : 1, 1, 1 : pixel
// texture 0 : : clamp filterPoint noMipMap
// texture 1 : : clamp filterPoint noMipMap
//KOLM_PP:D:SHADOW:// float4x4 ShadowWorldViewProj : 0 : pixel
//KOLM_PP:D:SHADOW:// float ShadowMaxD : 1 : pixel
//KOLM_PP:D:SHADOW:// float3 ShadowColor : 0, 0, 0 : pixel
//KOLM_PP:D:SHADOW:// float2 ShadowMapSize : 512, 512 : pixel
//KOLM_PP:D:SHADOW:// float ShadowEpsilon : 0.00005 : pixel
//KOLM_PP:D:SHADOW:// texture 2 : : clamp filterPoint noMipMap
// [KOLM_END]
//
// Layers: 0 normal target, 1 depth target, 2 shadow map (see LppDepthClear.hlsl and
// LppShadowDepth.hlsl for their encodings). Positions and directions are in view space;
// ViewScale holds 1 / projection[0][0] and 1 / projection[1][1] of the camera, so that a
// pixel's view-space position is rebuilt from its depth. Matrices are the library's, applied
// to row vectors.

float4x4 WorldViewProjection;
float4 ViewScale;
float4 LightPosition;
float4 LightDirection;
float InvLightRadiusSqr;
float2 SpotlightAngles;
float3 LightColor;
sampler2D NormalMap : register(s0);
sampler2D DepthMap : register(s1);

#ifdef USE_SHADOW
float4x4 ShadowWorldViewProj;
float ShadowMaxD;
float3 ShadowColor;
float2 ShadowMapSize;
float ShadowEpsilon;
sampler2D ShadowMap : register(s2);

#if defined(USE_SH1)
#define SHADOW_STEP 0.5
#elif defined(USE_SH2)
#define SHADOW_STEP 1.0
#elif defined(USE_SH4)
#define SHADOW_STEP 2.0
#elif defined(USE_SH8)
#define SHADOW_STEP 4.0
#elif defined(USE_SH16)
#define SHADOW_STEP 8.0
#elif defined(USE_SH32)
#define SHADOW_STEP 16.0
#endif
#endif

struct VsOut {
    float4 pos : POSITION;
    float4 screen : TEXCOORD0;
};

VsOut vs_main(float3 pos : POSITION) {
    VsOut o;
    o.pos = mul(float4(pos, 1.0), WorldViewProjection);
    o.screen = o.pos;
    return o;
}

#ifdef USE_SHADOW
// 1 where the light reaches the point, 0 in full shadow. `depth` is the point's depth along
// the light's view in world units; the map holds the nearest caster's depth / 5000.
float shadowTap(float2 uv, float depth) {
    return (tex2D(ShadowMap, uv).r * 5000.0 < depth) ? 0.0 : 1.0;
}

float shadowTerm(float3 viewPos, float3 n) {
    // Looked up a little off the surface, along its normal (more with distance, where a pixel
    // covers more of the surface): surfaces at a grazing angle to the light do not shadow
    // themselves.
    float3 q = viewPos + n * (0.01 * viewPos.z + 0.02);
    float4 s = mul(float4(q, 1.0), ShadowWorldViewProj);
    if (s.w <= 0.0) return 1.0;
    float2 uv = s.xy / s.w * float2(0.5, -0.5) + 0.5;
    if (uv.x < 0.0 || uv.y < 0.0 || uv.x > 1.0 || uv.y > 1.0) return 1.0;
#ifdef USE_DISTANT
    float depth = s.z * 5000.0;
#else
    float depth = s.w;
#endif
    // The epsilon (5e-5 by default) grows with the depth: half a unit at a distance of 50.
    depth -= max(depth, 1.0) * ShadowEpsilon * 200.0;
#ifdef SHADOW_STEP
    float2 texel = SHADOW_STEP / max(ShadowMapSize, float2(1.0, 1.0));
    float lit = 0.0;
    for (int y = -1; y <= 1; ++y)
        for (int x = -1; x <= 1; ++x) lit += shadowTap(uv + float2(x, y) * texel, depth);
    return lit / 9.0;
#else
    return shadowTap(uv, depth);
#endif
}
#endif

float4 ps_main(VsOut i) : COLOR0 {
    float2 ndc = i.screen.xy / i.screen.w;
    float2 uv = ndc * float2(0.5, -0.5) + 0.5;
    float depth = tex2D(DepthMap, uv).r;
    if (depth <= 0.0) return float4(0.0, 0.0, 0.0, 0.0);
    float4 packed = tex2D(NormalMap, uv);
    float3 n = normalize(packed.xyz * 2.0 - 1.0);
    float3 p = float3(ndc * ViewScale.xy * depth, depth);

#ifdef USE_DISTANT
    float3 l = -normalize(LightDirection.xyz);
    float falloff = 1.0;
#else
    float3 d = LightPosition.xyz - p;
    float3 l = normalize(d);
    float falloff = saturate(1.0 - dot(d, d) * InvLightRadiusSqr);
#ifdef USE_SPOTLIGHT
    float c = dot(-l, normalize(LightDirection.xyz));
    falloff *= saturate((c - SpotlightAngles.y) / max(SpotlightAngles.x - SpotlightAngles.y, 0.0001));
#endif
#endif

    float3 light = LightColor;
#ifdef USE_SHADOW
    light = lerp(ShadowColor, LightColor, shadowTerm(p, n));
#endif
    float nl = saturate(dot(n, l));
    float3 h = normalize(l - normalize(p));
    float exponent = exp2(packed.a * 16.0);
    float specular = pow(saturate(dot(n, h)), exponent) * nl * falloff;
    float luminance = dot(light, float3(0.3, 0.59, 0.11));
    return float4(light * nl * falloff, specular * luminance);
}
