// [KOLM_BEGIN]
//title Light pre-pass: shadow-map depth of a caster seen from a light
//subject light pre-pass
//comments Drawn with the light's view and projection as the driver's transforms. Writes the depth along the light's view direction divided by 5000 (the light view's greatest far value), so the map's clear value 1 means nothing in front of the light.
//
// float4x4 WorldViewProj : WorldViewProjection
// float4x4 WorldView : WorldView
// [KOLM_END]

float4x4 WorldViewProj;
float4x4 WorldView;

struct VsOut {
    float4 pos : POSITION;
    float depth : TEXCOORD0;
};

VsOut vs_main(float3 pos : POSITION) {
    VsOut o;
    o.pos = mul(WorldViewProj, float4(pos, 1.0));
    o.depth = mul(WorldView, float4(pos, 1.0)).z;
    return o;
}

float4 ps_main(VsOut i) : COLOR0 {
    return float4(i.depth / 5000.0, 0.0, 0.0, 1.0);
}
