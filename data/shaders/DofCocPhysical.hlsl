// [KOLM_BEGIN]
//title Post: depth of field, circle of confusion of a lens
//subject post
//comments Layer 0 the scene, layer 1 the depth target (view-space depth, 0 where nothing was drawn, which counts as infinitely far). Writes the scene colour with the circle of confusion in alpha, 0 sharp to 1 the widest blur: a thin lens focused at FocalDistance blurs a point at depth d by |d - FocalDistance| / d, scaled by 4 / FStop (so f/4 reaches the widest blur for points far behind the focal plane).
// float2 HalfPixel : HalfPixelSize : vertex
// float FocalDistance : FocalDistance : pixel
// float FStop : FStop : pixel
// texture 0 : : clamp_to_edge filterPoint noMipMap
// texture 1 : : clamp_to_edge filterPoint noMipMap
// [KOLM_END]

float2 HalfPixel;
float FocalDistance;
float FStop;
sampler2D Scene : register(s0);
sampler2D Depth : register(s1);

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
    float d = tex2D(Depth, i.uv).r;
    float spread = d > 0.0 ? abs(d - FocalDistance) / d : 1.0;
    float coc = saturate(spread * 4.0 / max(FStop, 0.5));
    return float4(tex2D(Scene, i.uv).rgb, coc);
}
