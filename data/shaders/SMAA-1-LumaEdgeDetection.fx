// [KOLM_BEGIN]
//title SMAA: edges by luma
//subject post
//comments Drawn with the half-pixel aligned quad, so that the coordinate is a texel centre. Marks the edge between a pixel and its left neighbour in red and between it and the neighbour above in green (1 marked, 0 not), where their lumas (Rec. 709 weights of the colour clamped to 0..1) differ by at least 0.1. Pixels of the first column and row have no edge towards the outside.
// float2 PixelSize : PixelSize : pixel
// texture 0 : : clamp_to_edge filterPoint noMipMap
// [KOLM_END]

float2 PixelSize;
sampler2D Scene : register(s0);

struct VsOut {
    float4 pos : POSITION;
    float2 uv : TEXCOORD0;
};

VsOut vs_main(float3 pos : POSITION, float2 uv : TEXCOORD0) {
    VsOut o;
    o.pos = float4(pos, 1.0);
    o.uv = uv;
    return o;
}

float luma(float2 uv) {
    return dot(saturate(tex2Dlod(Scene, float4(uv, 0.0, 0.0)).rgb), float3(0.2126, 0.7152, 0.0722));
}

float4 ps_main(VsOut i) : COLOR0 {
    float l = luma(i.uv);
    float left = luma(i.uv - float2(PixelSize.x, 0.0));
    float top = luma(i.uv - float2(0.0, PixelSize.y));
    float2 edges = step(float2(0.1, 0.1), abs(float2(l - left, l - top)));
    return float4(edges, 0.0, 0.0);
}
