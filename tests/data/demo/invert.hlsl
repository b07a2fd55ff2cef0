// [KOLM_BEGIN]
//title Test camera effect: inverts the picture
//subject camera effects
//comments Turns every colour of the finished picture into its complement, so that frames with and without it are told apart at a glance.
//
// texture 0 : : clamp filterPoint noMipMap
// [KOLM_END]

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
    return float4(1.0 - c.rgb, c.a);
}
