// [KOLM_BEGIN]
//title Post: depth of field, one blur direction
//subject post
//comments Layer 0 holds the colour with the circle of confusion in alpha (0 sharp, 1 the widest blur of 8 pixels x radiusScale). Each pixel gathers 13 taps along the line at angle (radians) across its own circle; a tap counts as far as its own circle reaches the pixel, so that sharp things are not smeared over their neighbours. Two passes (0 and 60 degrees) make the blur two-dimensional. The circle of confusion stays in alpha for the next pass. Layer 1 is the depth target.
// float2 HalfPixel : HalfPixelSize : vertex
// float2 PixelSize : PixelSize : pixel
// float angle : 0 : pixel
// float radiusScale : 1 : pixel
// texture 0 : : clamp_to_edge noMipMap
// texture 1 : : clamp_to_edge filterPoint noMipMap
// [KOLM_END]

float2 HalfPixel;
float2 PixelSize;
float angle;
float radiusScale;
sampler2D Source : register(s0);
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
    float4 centre = tex2D(Source, i.uv);
    float maxRadius = 8.0 * max(radiusScale, 0.0);
    float radius = centre.a * maxRadius;  // pixels
    float2 dir = float2(cos(angle), sin(angle)) * PixelSize;
    float3 sum = centre.rgb;
    float total = 1.0;
    for (int k = -6; k <= 6; ++k) {
        if (k == 0) continue;
        float dist = radius * abs(float(k)) / 6.0;
        float4 s = tex2D(Source, i.uv + dir * (radius * float(k) / 6.0));
        float w = saturate(s.a * maxRadius - dist + 1.0) * step(0.5, radius);
        sum += s.rgb * w;
        total += w;
    }
    return float4(sum / total, centre.a);
}
