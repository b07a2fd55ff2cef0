// [KOLM_BEGIN]
//title Example scene: warm flash
//subject camera effects
//comments A full-screen camera effect of the example scene, shown from frame 45 to frame 75: lifts the picture towards a warm white by "Amount" (0 leaves it as it is).
//
// float Amount : : pixel
// texture 0 : : clamp
// [KOLM_END]
//
// Drawn as one full-screen quad over the finished picture, read from texture layer 0.

float Amount = 0.3;
sampler2D Picture : register(s0);

struct VsOut {
    float4 pos : POSITION;
    float2 uv : TEXCOORD0;
};

VsOut vs_main(float3 pos : POSITION) {
    VsOut o;
    o.pos = float4(pos.xy, 0.0, 1.0);
    o.uv = float2(pos.x * 0.5 + 0.5, 0.5 - pos.y * 0.5);
    return o;
}

float4 ps_main(VsOut i) : COLOR0 {
    float4 c = tex2D(Picture, i.uv);
    c.rgb = lerp(c.rgb, float3(1.0, 0.92, 0.78), Amount);
    return c;
}
