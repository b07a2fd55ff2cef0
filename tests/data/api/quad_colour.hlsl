// [KOLM_BEGIN]
//title A rectangle given in pixels, filled with the colour and the texture of layer 0 (white
//title without one), for the 2D layer's effect entries
// float4 Rectangle : 0, 0, 0, 0 : vertex
// float4 Color : 1, 1, 1, 1 : pixel
// float2 Screen : 320, 240 : vertex
// float UseTexture : 0 : pixel
// texture 0 : : clamp filterPoint noMipMap
// [KOLM_END]

float4 Rectangle;
float4 Color;
float2 Screen;
float UseTexture;
sampler2D Tex__0 : register(s0);

struct VsOut { float4 pos : POSITION; float2 uv : TEXCOORD0; };

VsOut vs_main(float3 pos : POSITION, float2 uv : TEXCOORD0) {
    VsOut o;
    float2 px = Rectangle.xy + uv * Rectangle.zw;
    o.pos = float4(px.x / Screen.x * 2.0 - 1.0, 1.0 - px.y / Screen.y * 2.0, 0.0, 1.0);
    o.uv = uv;
    return o;
}

float4 ps_main(float2 uv : TEXCOORD0) : COLOR0 {
    float4 t = UseTexture > 0.5 ? tex2D(Tex__0, uv) : float4(1.0, 1.0, 1.0, 1.0);
    return t * Color;
}
