// [KOLM_BEGIN]
//title A picture with a marker: white in the upper-left quarter, dark blue elsewhere
// [KOLM_END]

struct VsOut { float4 pos : POSITION; float2 uv : TEXCOORD0; };

VsOut vs_main(float3 pos : POSITION, float2 uv : TEXCOORD0) {
    VsOut o;
    o.pos = float4(pos, 1.0);
    o.uv = uv;
    return o;
}

float4 ps_main(float2 uv : TEXCOORD0) : COLOR0 {
    return (uv.x < 0.5 && uv.y < 0.5) ? float4(1, 1, 1, 1) : float4(0, 0, 0.5, 1);
}
