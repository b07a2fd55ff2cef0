// [KOLM_BEGIN]
//title Post: depth of field, circle of confusion set by hand
//subject post
//comments Layer 0 the scene, layer 1 the depth target (view-space depth, 0 where nothing was drawn, which counts as infinitely far). Writes the scene colour with the circle of confusion in alpha: 0 (sharp) at DofFocalRangeFocused, rising linearly to 1 at DofFocalRangeMin in front and at DofFocalRangeMax behind.
// float2 HalfPixel : HalfPixelSize : vertex
// float RangeMin : DofFocalRangeMin : pixel
// float RangeFocused : DofFocalRangeFocused : pixel
// float RangeMax : DofFocalRangeMax : pixel
// texture 0 : : clamp_to_edge filterPoint noMipMap
// texture 1 : : clamp_to_edge filterPoint noMipMap
// [KOLM_END]

float2 HalfPixel;
float RangeMin;
float RangeFocused;
float RangeMax;
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
    float coc;
    if (d <= 0.0)
        coc = RangeMax > RangeFocused ? 1.0 : 0.0;
    else if (d < RangeFocused)
        coc = RangeFocused > RangeMin ? saturate((RangeFocused - d) / (RangeFocused - RangeMin)) : 0.0;
    else
        coc = RangeMax > RangeFocused ? saturate((d - RangeFocused) / (RangeMax - RangeFocused)) : 0.0;
    return float4(tex2D(Scene, i.uv).rgb, coc);
}
