// [KOLM_BEGIN]
//title LightWave surface for the light pre-pass renderer (opaque)
//subject surfaces
//comments The effect of opaque LightWave surfaces under the light pre-pass renderer, compiled with the surface's macros and USE_OUTDEPTH. The "depth" technique writes the view-space normal with the surface's gloss and the view-space depth; the default technique reads the light buffer at its pixel and shades the surface with it: colour x Diffuse x (light + ambient) + specular x Specularity + colour x Luminosity, with the surface's glow value (0 to 1) as alpha, the mask of the glow post effect. With USE_OUTDEPTH it also writes its depth into the second target.
//
// config techniques : depth
// function vertexMain : vs_main
// function pixelMain : ps_main
//
// float4x4 WorldViewProj : WorldViewProjection
// float4x4 WorldViewM : WorldView
// float4x4 WorldViewIT : WorldViewInverseTranspose
// float4 Ambient : LightAmbient0 : pixel
// float3 SurfColor : Surface_BaseColor : pixel
// float SurfLuminosity : Surface_Luminosity : pixel
// float SurfDiffuse : Surface_Diffuse : pixel
// float SurfSpecularity : Surface_Specularity : pixel
// float SurfGlossExponent : Surface_Roughness : pixel
// float SurfColorHighlights : Surface_ColorHighlights : pixel
// float SurfGlowValue : Surface_GlowValue : pixel
// float SurfBump : Surface_Bump : pixel
// float BumpStep : 0.00390625 : pixel
//
//KOLM_PP:D:TEX_COLOR:// texture 0 : Color : repeat trilinear
//KOLM_PP:D:TEX_NORMAL:// texture 1 : Bump : repeat trilinear
//KOLM_PP:D:TEX_SPECULAR:// texture 2 : Specularity : repeat trilinear
//KOLM_PP:D:TEX_GLOSSINESS:// texture 6 : Glossiness : repeat trilinear
//KOLM_PP:D:TEX_DIFFUSE:// texture 4 : Diffuse : repeat trilinear
//KOLM_PP:D:TEX_LUMINOSITY:// texture 5 : Luminosity : repeat trilinear
//KOLM_PP:U:TECH_DEPTH:// texture 3 : LightRTT : preset clamp filterPoint noMipMap
// [KOLM_END]
//
// Layers: 0 colour, 1 bump (height), 2 specularity, 3 the light buffer ("LightRTT", see
// data/shaders/LppLightPass.hlsl; a layer the library binds itself, read at every pixel of
// every opaque surface), 4 diffuse, 5 luminosity, 6 glossiness. Transparency,
// translucency and reflection are not drawn by this opaque pass.

#ifdef USE_UV2_TEX_COLOR
#define UV_COLOR uv.zw
#else
#define UV_COLOR uv.xy
#endif
#ifdef USE_UV2_TEX_NORMAL
#define UV_NORMAL uv.zw
#else
#define UV_NORMAL uv.xy
#endif
#ifdef USE_UV2_TEX_SPECULAR
#define UV_SPECULAR uv.zw
#else
#define UV_SPECULAR uv.xy
#endif
#ifdef USE_UV2_TEX_GLOSSINESS
#define UV_GLOSSINESS uv.zw
#else
#define UV_GLOSSINESS uv.xy
#endif
#ifdef USE_UV2_TEX_DIFFUSE
#define UV_DIFFUSE uv.zw
#else
#define UV_DIFFUSE uv.xy
#endif
#ifdef USE_UV2_TEX_LUMINOSITY
#define UV_LUMINOSITY uv.zw
#else
#define UV_LUMINOSITY uv.xy
#endif

#if defined(USE_TEX_NORMAL) && !defined(USE_COMPTANGENT)
#define USE_VERTEX_TANGENTS
#endif

float4x4 WorldViewProj;
float4x4 WorldViewM;
float4x4 WorldViewIT;
float4 Ambient;
float3 SurfColor;
float SurfLuminosity;
float SurfDiffuse;
float SurfSpecularity;
float SurfGlossExponent;
float SurfColorHighlights;
float SurfGlowValue;
float SurfBump;
float BumpStep;

#ifdef USE_TEX_COLOR
sampler2D ColorMap : register(s0);
#endif
#ifdef USE_TEX_NORMAL
sampler2D HeightMap : register(s1);
#endif
#ifdef USE_TEX_SPECULAR
sampler2D SpecularMap : register(s2);
#endif
#ifdef USE_TEX_GLOSSINESS
sampler2D GlossinessMap : register(s6);
#endif
#ifdef USE_TEX_DIFFUSE
sampler2D DiffuseMap : register(s4);
#endif
#ifdef USE_TEX_LUMINOSITY
sampler2D LuminosityMap : register(s5);
#endif
#ifndef USE_TECH_DEPTH
sampler2D LightMap : register(s3);
#endif

struct VsIn {
    float3 pos : POSITION;
    float3 normal : NORMAL;
    float2 uv : TEXCOORD0;
#if defined(USE_VERTEX_TANGENTS) || (defined(USE_UV2) && !defined(USE_UV2INTEX2))
    float3 slot1 : TEXCOORD1;
#endif
#if defined(USE_VERTEX_TANGENTS) || defined(USE_UV2INTEX2)
    float3 slot2 : TEXCOORD2;
#endif
};

struct VsOut {
    float4 pos : POSITION;
    float4 uv : TEXCOORD0;
    float3 viewPos : TEXCOORD1;
    float3 normal : TEXCOORD2;
    float3 tangent : TEXCOORD3;
    float3 binormal : TEXCOORD4;
    float4 screen : TEXCOORD5;
};

VsOut vs_main(VsIn i) {
    VsOut o;
    o.pos = mul(WorldViewProj, float4(i.pos, 1.0));
    o.screen = o.pos;
    o.viewPos = mul(WorldViewM, float4(i.pos, 1.0)).xyz;
    o.normal = mul(WorldViewIT, float4(i.normal, 0.0)).xyz;
    o.uv = float4(i.uv, i.uv);
    o.tangent = float3(0.0, 0.0, 0.0);
    o.binormal = float3(0.0, 0.0, 0.0);
#ifdef USE_UV2
#ifdef USE_UV2INTEX2
    o.uv.zw = i.slot2.xy;
#else
    o.uv.zw = i.slot1.xy;
#endif
#endif
#ifdef USE_VERTEX_TANGENTS
    o.tangent = mul(WorldViewM, float4(i.slot1, 0.0)).xyz;
#ifdef USE_UV2INTEX2
    o.binormal = cross(o.normal, o.tangent);
#else
    o.binormal = mul(WorldViewM, float4(i.slot2, 0.0)).xyz;
#endif
#endif
    return o;
}

// The shading normal in view space, bumped by the height map.
float3 surfaceNormal(VsOut i) {
    float4 uv = i.uv;
    float3 n = normalize(i.normal);
#ifdef USE_TEX_NORMAL
    float3 t, b;
#ifdef USE_COMPTANGENT
    float3 dpx = ddx(i.viewPos), dpy = ddy(i.viewPos);
    float2 dtx = ddx(UV_NORMAL), dty = ddy(UV_NORMAL);
    float3 px = cross(n, dpx), py = cross(dpy, n);
    t = py * dtx.x + px * dty.x;
    b = py * dtx.y + px * dty.y;
    float frame = rsqrt(max(max(dot(t, t), dot(b, b)), 1e-20));
    t *= frame;
    b *= frame;
#else
    t = normalize(i.tangent - n * dot(n, i.tangent));
    b = normalize(i.binormal - n * dot(n, i.binormal) - t * dot(t, i.binormal));
#endif
    float2 h = UV_NORMAL;
    float slopeU = tex2D(HeightMap, h + float2(BumpStep, 0.0)).r - tex2D(HeightMap, h - float2(BumpStep, 0.0)).r;
    float slopeV = tex2D(HeightMap, h + float2(0.0, BumpStep)).r - tex2D(HeightMap, h - float2(0.0, BumpStep)).r;
    n = normalize(n - SurfBump * 0.5 * (slopeU * t + slopeV * b));
#endif
    return n;
}

struct PsOut {
    float4 colour : COLOR0;
#if defined(USE_TECH_DEPTH) || defined(USE_OUTDEPTH)
    float4 depth : COLOR1;
#endif
};

PsOut ps_main(VsOut i) {
    PsOut o;
    float4 uv = i.uv;
#ifdef USE_TECH_DEPTH
    float exponent = SurfGlossExponent;
#ifdef USE_TEX_GLOSSINESS
    exponent = exp2(tex2D(GlossinessMap, UV_GLOSSINESS).r * 10.0 + 2.0);
#endif
    o.colour = float4(surfaceNormal(i) * 0.5 + 0.5, saturate(log2(max(exponent, 1.0)) / 16.0));
    o.depth = float4(i.viewPos.z, 0.0, 0.0, 0.0);
#else
    float2 screen = i.screen.xy / i.screen.w * float2(0.5, -0.5) + 0.5;
    float4 light = tex2D(LightMap, screen);
    float3 colour = SurfColor;
#ifdef USE_TEX_COLOR
    colour *= tex2D(ColorMap, UV_COLOR).rgb;
#endif
    float diffuse = SurfDiffuse;
#ifdef USE_TEX_DIFFUSE
    diffuse *= tex2D(DiffuseMap, UV_DIFFUSE).r;
#endif
    float specularity = SurfSpecularity;
#ifdef USE_TEX_SPECULAR
    specularity *= tex2D(SpecularMap, UV_SPECULAR).r;
#endif
    float luminosity = SurfLuminosity;
#ifdef USE_TEX_LUMINOSITY
    luminosity *= tex2D(LuminosityMap, UV_LUMINOSITY).r;
#endif
    float3 highlight = lerp(float3(1.0, 1.0, 1.0), colour, saturate(SurfColorHighlights));
    float3 lit = colour * diffuse * (light.rgb + Ambient.rgb) + highlight * specularity * light.a + colour * luminosity;
    // Alpha is the glow mask that the glow post effect weights the scene with: the surface's
    // glow value, so that only glowing surfaces glow.
    o.colour = float4(lit, saturate(SurfGlowValue));
#ifdef USE_OUTDEPTH
    o.depth = float4(i.viewPos.z, 0.0, 0.0, 0.0);
#endif
#endif
    return o;
}
