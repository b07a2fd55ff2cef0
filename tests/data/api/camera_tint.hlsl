// [KOLM_BEGIN]
//title A camera effect that multiplies the picture by a colour, texel for pixel
//comments Written as post effects are for Direct3D 9: half a texel added to the quad's coordinate lands on texel centres.
// float2 HalfPixel : HalfPixelSize : vertex
// float4 Tint : 0.5, 1.0, 0.25, 1.0 : pixel
// texture 0 : : clamp filterPoint noMipMap
// [KOLM_END]

float2 HalfPixel;
float4 Tint;
sampler2D Tex0 : register(s0);

struct VsOut { float4 pos : POSITION; float2 uv : TEXCOORD0; };

VsOut vs_main(float3 pos : POSITION, float2 uv : TEXCOORD0) {
    VsOut o;
    o.pos = float4(pos, 1.0);
    o.uv = uv + HalfPixel;
    return o;
}

float4 ps_main(float2 uv : TEXCOORD0) : COLOR0 { return tex2D(Tex0, uv) * Tint; }
