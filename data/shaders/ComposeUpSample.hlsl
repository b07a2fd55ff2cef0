// [KOLM_BEGIN]
//title Post: adds a picture, scaled by Intensity, to the target
//subject post
//comments Layer 0 (usually a smaller level, read bilinear) times Intensity is added to the target's colour; the target's alpha stays as it is.
// config baseMaterial : transparent_one_one
// float2 HalfPixel : HalfPixelSize : vertex
// float Intensity : 1 : pixel
// texture 0 : : clamp_to_edge noMipMap
// [KOLM_END]

float2 HalfPixel;
float Intensity;
sampler2D Source : register(s0);

struct VsOut {
    float4 pos : POSITION;
    float2 uv : TEXCOORD0;
};

VsOut vs_main(float3 pos : POSITION, float2 uv : TEXCOORD0) {
    VsOut o;
    o.pos = float4(pos, 1.0);
    o.uv = uv + HalfPixel;
    return o;
}

float4 ps_main(VsOut i) : COLOR0 {
    return float4(tex2D(Source, i.uv).rgb * Intensity, 0.0);
}
