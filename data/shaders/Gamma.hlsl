// [KOLM_BEGIN]
//title Post: gamma
//subject post
//comments Turns the linear colours of the scene into display colours: each channel to the power 1 / Gamma (2.2 unless an effect parameter says otherwise; 1 leaves the picture as it is). Alpha is kept.
// float2 HalfPixel : HalfPixelSize : vertex
// float Gamma : 2.2 : pixel
// texture 0 : : clamp_to_edge filterPoint noMipMap
// [KOLM_END]

float2 HalfPixel;
float Gamma;
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

float4 ps_main(VsOut i) : COLOR0 {
    float4 c = tex2D(Source, i.uv);
    return float4(pow(max(c.rgb, float3(0.0, 0.0, 0.0)), 1.0 / max(Gamma, 0.01)), c.a);
}
