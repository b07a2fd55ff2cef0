// [KOLM_BEGIN]
//title Light pre-pass: light scattered in the air of a spot light
//subject light pre-pass
//comments Marches the camera ray of each pixel through the light's cone up to the scene depth and adds the light scattered towards the camera: colour x LightPower x fall-off along the axis and towards the cone's edge (SoftEdgeRatio), at most IntensityClamp. QUALITY_1 .. QUALITY_4 take 16 to 128 steps (8 without a quality macro); USE_SHADOW darkens what the shadow map hides from the light, USE_PROJIMAGE tints the light by its projection image.
//
// config baseMaterial : transparent_one_one
// float4x4 WorldViewProjection : 0 : vertex
// float4x4 ViewToWorld : 0 : pixel
// float4 ViewScale : 1, 1, 0, 0 : pixel
// float2 PixelCount : TargetSize : pixel
// float4 LightPosition : 0, 0, 0, 1 : pixel
// float3 LightColor : 1, 1, 1 : pixel
// float LightRadius : 1 : pixel
// float LightPower : 1 : pixel
// float IntensityClamp : 1000000 : pixel
// float LightTanThetaSqr : 1 : pixel
// float LightConeBase : 0 : pixel
// float SoftEdgeRatio : 0 : pixel
// float4x4 invConeTransform : 0 : pixel
// texture 0 : : clamp filterPoint noMipMap
//KOLM_PP:D:SHADOW:// float4x4 LightWorldViewProj : 0 : pixel
//KOLM_PP:D:SHADOW:// texture 1 : : clamp filterPoint noMipMap
//KOLM_PP:D:PROJIMAGE://KOLM_PP:U:SHADOW:// float4x4 LightWorldViewProj : 0 : pixel
//KOLM_PP:D:PROJIMAGE://KOLM_PP:U:SHADOW:// texture 1 : : clamp trilinear
//KOLM_PP:D:PROJIMAGE://KOLM_PP:D:SHADOW:// texture 2 : : clamp trilinear
// [KOLM_END]
//
// Layers: 0 the depth target (view-space depth, 0 where nothing was drawn), 1 the shadow map
// (or the projection image without one), 2 the projection image with a shadow map. The cone
// transform puts the apex at the origin and the axis along +z; invConeTransform (its inverse,
// transposed) takes world points into that frame.

float4x4 WorldViewProjection;
float4x4 ViewToWorld;
float4 ViewScale;
float2 PixelCount;
float4 LightPosition;
float3 LightColor;
float LightRadius;
float LightPower;
float IntensityClamp;
float LightTanThetaSqr;
float LightConeBase;
float SoftEdgeRatio;
float4x4 invConeTransform;
sampler2D DepthMap : register(s0);
#if defined(USE_SHADOW) || defined(USE_PROJIMAGE)
float4x4 LightWorldViewProj;
#endif
#ifdef USE_SHADOW
sampler2D ShadowMap : register(s1);
#ifdef USE_PROJIMAGE
sampler2D ProjectionImage : register(s2);
#endif
#elif defined(USE_PROJIMAGE)
sampler2D ProjectionImage : register(s1);
#endif

#if defined(QUALITY_4)
#define STEPS 128
#elif defined(QUALITY_3)
#define STEPS 64
#elif defined(QUALITY_2)
#define STEPS 32
#elif defined(QUALITY_1)
#define STEPS 16
#else
#define STEPS 8
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

// Light scattered at world point `p`, before the density.
float3 scatterAt(float3 p) {
    float3 local = mul(invConeTransform, float4(p, 1.0)).xyz;
    if (local.z <= 0.0 || local.z >= LightRadius) return float3(0.0, 0.0, 0.0);
    float across = dot(local.xy, local.xy) / max(local.z * local.z * LightTanThetaSqr, 1e-6);
    if (across >= 1.0) return float3(0.0, 0.0, 0.0);
    float edge = saturate((1.0 - sqrt(across)) / max(SoftEdgeRatio, 0.001));
    float along = 1.0 - local.z / LightRadius;
    float3 light = LightColor * edge * along * along;
#if defined(USE_SHADOW) || defined(USE_PROJIMAGE)
    float4 s = mul(float4(p, 1.0), LightWorldViewProj);
    float2 uv = s.xy / max(s.w, 1e-6) * float2(0.5, -0.5) + 0.5;
#ifdef USE_SHADOW
    if (tex2Dlod(ShadowMap, float4(uv, 0.0, 0.0)).r * 5000.0 < s.w * 0.99) return float3(0.0, 0.0, 0.0);
#endif
#ifdef USE_PROJIMAGE
    light *= tex2Dlod(ProjectionImage, float4(uv, 0.0, 0.0)).rgb;
#endif
#endif
    return light;
}

float4 ps_main(VsOut i) : COLOR0 {
    float2 ndc = i.screen.xy / i.screen.w;
    float2 uv = ndc * float2(0.5, -0.5) + 0.5;
    float depth = tex2D(DepthMap, uv).r;
    float3 viewRay = float3(ndc * ViewScale.xy, 1.0);
    float3 eye = mul(float4(0.0, 0.0, 0.0, 1.0), ViewToWorld).xyz;
    float3 dir = mul(float4(viewRay, 0.0), ViewToWorld).xyz;
    // The march covers the part of the ray inside the light's reach (a sphere of its radius
    // around it) in front of the scene; each pixel starts at its own fraction of a step, so
    // that the steps do not show as bands.
    float len = length(dir);
    float3 n = dir / len;
    float3 toLight = LightPosition.xyz - eye;
    float centre = dot(toLight, n);
    float miss = dot(toLight, toLight) - centre * centre;
    if (miss >= LightRadius * LightRadius) return float4(0.0, 0.0, 0.0, 0.0);
    float chord = sqrt(LightRadius * LightRadius - miss);
    float tStart = max(centre - chord, 0.0);
    float tEnd = centre + chord;
    if (depth > 0.0) tEnd = min(tEnd, depth * len);
    if (tEnd <= tStart) return float4(0.0, 0.0, 0.0, 0.0);
    float step = (tEnd - tStart) / STEPS;
    float jitter = frac(52.9829189 * frac(dot(floor(uv * PixelCount), float2(0.06711056, 0.00583715))));
    float3 sum = float3(0.0, 0.0, 0.0);
    for (int k = 0; k < STEPS; ++k) sum += scatterAt(eye + n * (tStart + step * (k + jitter)));
    float3 result = sum * step * LightPower * 0.5;
    return float4(min(result, float3(IntensityClamp, IntensityClamp, IntensityClamp)), 0.0);
}
