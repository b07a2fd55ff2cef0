// [KOLM_BEGIN]
//title Post: one direction of a Gaussian blur
//subject post
//comments Blurs layer 0 along Direction ((1, 0) horizontal, (0, 1) vertical) and scales the result by Intensity. Radius is the blur's reach in pixels of the screen, whatever the size of the level it runs on, so that the glow's levels blur twice as wide each.
// float2 HalfPixel : HalfPixelSize : vertex
// float2 Screen : ScreenSize : pixel
// float2 Direction : 1, 0 : pixel
// float Radius : 4 : pixel
// float Intensity : 1 : pixel
// texture 0 : : clamp_to_edge noMipMap
// [KOLM_END]

float2 HalfPixel;
float2 Screen;
float2 Direction;
float Radius;
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

// 13 taps from -Radius to +Radius; the weights are a Gaussian with a standard deviation of
// half the reach (exp(-2 (k / 6)^2)), normalised to a sum of 1.
float4 ps_main(VsOut i) : COLOR0 {
    float2 step = Direction * (Radius / 6.0) / max(Screen, float2(1.0, 1.0));
    float4 sum = float4(0.0, 0.0, 0.0, 0.0);
    float total = 0.0;
    for (int k = -6; k <= 6; ++k) {
        float x = float(k) / 6.0;
        float w = exp(-2.0 * x * x);
        sum += tex2D(Source, i.uv + step * float(k)) * w;
        total += w;
    }
    return sum * (Intensity / total);
}
