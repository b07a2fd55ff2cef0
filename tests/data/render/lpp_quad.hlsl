// [KOLM_BEGIN]
//title Screen passes of the light pre-pass tests: layer 0 scaled plus a colour, at a chosen depth, into one or two targets
// float4 Color : 0, 0, 0, 0 : pixel
// float4 Second : 0, 0, 0, 0 : pixel
// float Scale : 1 : pixel
// float Depth : 0.5 : vertex
// texture 0 : : clamp filterPoint noMipMap
// [KOLM_END]
//
// COLOR0 = layer 0 x Scale + Color, COLOR1 = Second (for a pair of targets). Positions pass
// through at depth Depth (clip space).

float4 Color;
float4 Second;
float Scale;
float Depth;
sampler2D Tex0 : register(s0);

struct VsOut { float4 pos : POSITION; float2 uv : TEXCOORD0; };

VsOut vs_main(float3 pos : POSITION, float2 uv : TEXCOORD0) {
    VsOut o;
    o.pos = float4(pos.xy, Depth, 1.0);
    o.uv = uv;
    return o;
}

struct PsOut { float4 first : COLOR0; float4 second : COLOR1; };

PsOut ps_main(float2 uv : TEXCOORD0) {
    PsOut o;
    o.first = tex2D(Tex0, uv) * Scale + Color;
    o.second = Second;
    return o;
}
