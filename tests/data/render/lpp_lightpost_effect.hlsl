// [KOLM_BEGIN]
//title A camera effect on the light buffer that hands it on unchanged
// config render : lightpost
// float2 HalfPixel : HalfPixelSize : vertex
// texture 0 : : clamp filterPoint noMipMap
// [KOLM_END]

float2 HalfPixel;
sampler2D Tex0 : register(s0);

struct VsOut { float4 pos : POSITION; float2 uv : TEXCOORD0; };

VsOut vs_main(float3 pos : POSITION, float2 uv : TEXCOORD0) {
    VsOut o;
    o.pos = float4(pos, 1.0);
    o.uv = uv + HalfPixel;
    return o;
}

float4 ps_main(float2 uv : TEXCOORD0) : COLOR0 { return tex2D(Tex0, uv); }
