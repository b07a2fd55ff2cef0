// [KOLM_BEGIN]
//title A screen pass for the render services' quad: layer 0 tinted, plus layer 6 in the right half
// float4 Tint : 1.0 : pixel
// texture 0 : : clamp filterPoint noMipMap
// texture 6 : : clamp filterPoint noMipMap
// [KOLM_END]

float4 Tint;
sampler2D Tex__0 : register(s0);
sampler2D Tex__6 : register(s6);

struct VsOut { float4 pos : POSITION; float2 uv : TEXCOORD0; };

VsOut vs_main(float3 pos : POSITION, float2 uv : TEXCOORD0) {
    VsOut o;
    o.pos = float4(pos, 1.0);
    o.uv = uv;
    return o;
}

float4 ps_main(float2 uv : TEXCOORD0) : COLOR0 {
    if (uv.x >= 0.5) return tex2D(Tex__6, uv);
    return tex2D(Tex__0, uv) * Tint;
}
