// [KOLM_BEGIN]
//title Post: the glow mask, the scene colour weighted by its alpha
//subject post
//comments The scene's alpha carries the glow of its surfaces (0 no glow, 1 full glow); the glow chain starts from colour x alpha.
// float2 HalfPixel : HalfPixelSize : vertex
// texture 0 : : clamp_to_edge filterPoint noMipMap
// [KOLM_END]

float2 HalfPixel;
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
    float4 c = tex2D(Source, i.uv);
    return float4(c.rgb * saturate(c.a), c.a);
}
