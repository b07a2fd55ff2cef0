// [KOLM_BEGIN]
//title Post: one pass of a light streak
//subject post
//comments Pass passn (1, 2, 3) sums four taps of layer 0 along direction, 4^(passn - 1) texels apart, weighted attenuation^(4^(passn - 1) k) and normalised; three passes make a streak 64 texels long. The first pass tints the farther taps towards colorize.
// float2 HalfPixel : HalfPixelSize : vertex
// float2 PixelSize : PixelSize : pixel
// float2 direction : 1, 0 : pixel
// float3 colorize : 0, 0.5, 1 : pixel
// float attenuation : 0.95 : pixel
// float passn : 1 : pixel
// texture 0 : : clamp_to_edge noMipMap
// [KOLM_END]

float2 HalfPixel;
float2 PixelSize;
float2 direction;
float3 colorize;
float attenuation;
float passn;
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
    float b = pow(4.0, max(passn, 1.0) - 1.0);
    float2 step = direction * PixelSize * b;
    float3 sum = float3(0.0, 0.0, 0.0);
    float total = 0.0;
    for (int k = 0; k < 4; ++k) {
        float w = pow(saturate(attenuation), b * float(k));
        float3 tint = passn < 1.5 ? lerp(float3(1.0, 1.0, 1.0), colorize, float(k) / 3.0) : float3(1.0, 1.0, 1.0);
        sum += tex2D(Source, i.uv + step * float(k)).rgb * tint * w;
        total += w;
    }
    return float4(sum / total, 1.0);
}
