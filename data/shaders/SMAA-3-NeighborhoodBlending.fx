// [KOLM_BEGIN]
//title SMAA: blending with the neighbours
//subject post
//comments Layer 0 the scene, layer 1 the blending weights; drawn with the half-pixel aligned quad. A pixel takes its share from above and from the left out of its own weights (red, blue), from below and from the right out of those neighbours' weights (green, alpha); the stronger direction (vertical or horizontal) is blended. A pixel without weights is written exactly as it was.
// float2 PixelSize : PixelSize : pixel
// texture 0 : : clamp_to_edge filterPoint noMipMap
// texture 1 : : clamp_to_edge filterPoint noMipMap
// [KOLM_END]

float2 PixelSize;
sampler2D Scene : register(s0);
sampler2D Weights : register(s1);

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

float4 at(sampler2D s, float2 uv) { return tex2Dlod(s, float4(uv, 0.0, 0.0)); }

float4 ps_main(VsOut i) : COLOR0 {
    float2 px = PixelSize;
    float4 own = at(Weights, i.uv);
    float fromTop = own.r;
    float fromLeft = own.b;
    // The last row and column have no neighbour below or right.
    float fromBottom = i.uv.y + px.y < 1.0 ? at(Weights, i.uv + float2(0.0, px.y)).g : 0.0;
    float fromRight = i.uv.x + px.x < 1.0 ? at(Weights, i.uv + float2(px.x, 0.0)).a : 0.0;
    float4 c = at(Scene, i.uv);
    float vertical = max(fromTop, fromBottom);
    float horizontal = max(fromLeft, fromRight);
    if (vertical + horizontal <= 0.0) return c;
    if (vertical >= horizontal)
        return c * (1.0 - fromTop - fromBottom) + at(Scene, i.uv - float2(0.0, px.y)) * fromTop +
               at(Scene, i.uv + float2(0.0, px.y)) * fromBottom;
    return c * (1.0 - fromLeft - fromRight) + at(Scene, i.uv - float2(px.x, 0.0)) * fromLeft +
           at(Scene, i.uv + float2(px.x, 0.0)) * fromRight;
}
