// [KOLM_BEGIN]
//title Post: the sources of light streaks
//subject post
//comments Draws its layer 0 into a target of half its size, keeping of each 2 x 2 texels the brightest one, and only where the texel glows (alpha between limitalpha.x and limitalpha.y fades it in) and its colour is close to colorkey (the cosine between both colours between limitcolor.x and limitcolor.y fades it in).
// float2 HalfPixel : HalfPixelSize : vertex
// float2 limitalpha : 0, 0.02 : pixel
// float2 limitcolor : 0.79, 0.81 : pixel
// float3 colorkey : 1, 1, 1 : pixel
// texture 0 : : clamp_to_edge filterPoint noMipMap
// [KOLM_END]

float2 HalfPixel;
float2 limitalpha;
float2 limitcolor;
float3 colorkey;
sampler2D Source : register(s0);

struct VsOut {
    float4 pos : POSITION;
    float4 uv : TEXCOORD0;  // xy: target pixel centre (a corner of four source texels); zw: half a source texel
};

VsOut vs_main(float3 pos : POSITION, float2 uv : TEXCOORD0) {
    VsOut o;
    o.pos = float4(pos, 1.0);
    o.uv = float4(uv + HalfPixel, HalfPixel * 0.5);
    return o;
}

float ramp(float2 limits, float x) {
    return limits.y > limits.x ? saturate((x - limits.x) / (limits.y - limits.x)) : step(limits.x, x);
}

float4 source(float2 uv) {
    float4 c = tex2D(Source, uv);
    float len = length(c.rgb) * length(colorkey);
    float match = len > 0.0 ? dot(c.rgb, colorkey) / len : 0.0;
    return float4(c.rgb * (ramp(limitalpha, c.a) * ramp(limitcolor, match)), 1.0);
}

float4 brighter(float4 a, float4 b) {
    return dot(a.rgb, float3(0.299, 0.587, 0.114)) >= dot(b.rgb, float3(0.299, 0.587, 0.114)) ? a : b;
}

float4 ps_main(VsOut i) : COLOR0 {
    float2 h = i.uv.zw;
    float4 c = source(i.uv.xy + float2(-h.x, -h.y));
    c = brighter(c, source(i.uv.xy + float2(h.x, -h.y)));
    c = brighter(c, source(i.uv.xy + float2(-h.x, h.y)));
    c = brighter(c, source(i.uv.xy + float2(h.x, h.y)));
    return c;
}
