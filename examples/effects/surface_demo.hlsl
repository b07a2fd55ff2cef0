// [KOLM_BEGIN]
//title A demo surface: tinted, optionally textured, with depth and shadow techniques
//subject examples
//comments Load it with: kolm-fxdump -D USE_TEX_COLOR examples/effects/surface_demo.hlsl
//
// The lines of this block are HLSL comments that the engine reads as annotations. Lines that do
// not start with a keyword (function, config, texture, or a parameter type) are ignored, like
// these ones.
//
// config techniques : depth shadow
// config baseMaterial : solid
// function vertexMain : vs_main
// function pixelMain : ps_main
//
// float4x4 WorldViewProj : WorldViewProjection
// float4x4 World : World : vertex
// float4 TintColor : 1, 0.85, 0.6, 1 : color pixel
// float Glossiness : Surface_Glossiness : pixel
// float Fade : 0.5 : percent both
// float Time : Time : pixel
//
// The colour map only when the surface has one (macro USE_TEX_COLOR), never in the depth and
// shadow passes:
//KOLM_PP:D:TEX_COLOR://KOLM_PP:U:TECH_NDFLT:// texture 0 : Color : repeat trilinear srgb
// A lookup texture of this effect's own, point-sampled, in the last layer:
//KOLM_PP:U:TECH_NDFLT:// texture 7 : ramp.png : clamp_to_edge filterPoint noMipMap
// [KOLM_END]
//
//   kolm-shaderc -D USE_TEX_COLOR examples/effects/surface_demo.hlsl

float4x4 WorldViewProj;
float4x4 World;
float4 TintColor;
float Glossiness;
float Fade;
float Time;

#ifdef USE_TEX_COLOR
sampler2D Tex__0 : register(s0);
#endif
#ifndef USE_TECH_NDFLT
sampler2D Tex__7 : register(s7);
#endif

struct VsOut {
    float4 pos : POSITION;
    float2 uv : TEXCOORD0;
    float3 normal : TEXCOORD1;
};

VsOut vs_main(float3 pos : POSITION, float3 normal : NORMAL, float2 uv : TEXCOORD0) {
    VsOut o;
    o.pos = mul(WorldViewProj, float4(pos, 1.0));
    o.uv = uv;
    o.normal = mul(World, float4(normal, 0.0)).xyz;
    return o;
}

float4 ps_main(float2 uv : TEXCOORD0, float3 normal : TEXCOORD1) : COLOR0 {
#ifdef USE_TECH_NDFLT
    return float4(0, 0, 0, 1);
#else
    float4 c = TintColor;
#ifdef USE_TEX_COLOR
    c *= tex2D(Tex__0, uv);
#endif
    float light = saturate(normalize(normal).y * 0.5 + 0.5);
    float ramp = tex2D(Tex__7, float2(light, 0.5)).r;
    c.rgb *= ramp + Glossiness * 0.25 * (0.5 + 0.5 * sin(Time * 0.001));
    c.a *= Fade;
    return c;
#endif
}
