// [KOLM_BEGIN]
//title Post: down-sample to half size with a 4 x 4 box
//subject post
//comments Draws its layer 0 into a target of half its size: every target pixel is the average of the 4 x 4 source texels around it (four bilinear taps), so that a chain of halvings stays free of flicker.
// float2 HalfPixel : HalfPixelSize : vertex
// texture 0 : : clamp_to_edge noMipMap
// [KOLM_END]
//
// HalfPixel is half a pixel of the target, which is one texel of a source twice its size.

float2 HalfPixel;
sampler2D Source : register(s0);

struct VsOut {
    float4 pos : POSITION;
    float4 uv : TEXCOORD0;  // xy: target pixel centre; zw: one source texel
};

VsOut vs_main(float3 pos : POSITION, float2 uv : TEXCOORD0) {
    VsOut o;
    o.pos = float4(pos, 1.0);
    o.uv = float4(uv + HalfPixel, HalfPixel);
    return o;
}

float4 ps_main(VsOut i) : COLOR0 {
    // The centre of a target pixel is the corner of four source texels; one texel away on
    // each side the bilinear taps average the next squares of four.
    float2 t = i.uv.zw;
    float4 c = tex2D(Source, i.uv.xy + float2(-t.x, -t.y));
    c += tex2D(Source, i.uv.xy + float2(t.x, -t.y));
    c += tex2D(Source, i.uv.xy + float2(-t.x, t.y));
    c += tex2D(Source, i.uv.xy + float2(t.x, t.y));
    return c * 0.25;
}
