// [KOLM_BEGIN]
//title A surface effect whose colour map exists only when the surface has a BaseColor texture
// float4x4 WorldViewProj : WorldViewProjection
//KOLM_PP:D:TEX_COLOR:// texture 0 : Color : repeat
// [KOLM_END]

float4x4 WorldViewProj;
#ifdef USE_TEX_COLOR
sampler2D Tex__0 : register(s0);
#endif

struct VsOut { float4 pos : POSITION; float2 uv : TEXCOORD0; };

VsOut vs_main(float3 pos : POSITION, float2 uv : TEXCOORD0) {
    VsOut o;
    o.pos = mul(float4(pos, 1.0), WorldViewProj);
    o.uv = uv;
    return o;
}

float4 ps_main(float2 uv : TEXCOORD0) : COLOR0 {
#ifdef USE_TEX_COLOR
    return tex2D(Tex__0, uv);
#else
    return float4(1.0, 1.0, 1.0, 1.0);
#endif
}
