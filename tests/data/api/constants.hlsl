// [KOLM_BEGIN]
//title Constants of every kind and one colour map, for the effect commands
// bool Flag : 0 : pixel
// int Count : 3 : pixel
// float Gain : 0.5 : pixel
// float4 Tint : 0.25, 0.5, 0.75, 1 : pixel
// float4x4 Mat : 0 : vertex
// texture 0 : : clamp filterPoint noMipMap
// [KOLM_END]

bool Flag;
int Count;
float Gain;
float4 Tint;
float4x4 Mat;
sampler2D Tex__0 : register(s0);

struct VsOut { float4 pos : POSITION; float2 uv : TEXCOORD0; };

VsOut vs_main(float3 pos : POSITION, float2 uv : TEXCOORD0) {
    VsOut o;
    o.pos = mul(Mat, float4(pos, 1.0));
    o.uv = uv;
    return o;
}

float4 ps_main(float2 uv : TEXCOORD0) : COLOR0 {
    float4 c = tex2D(Tex__0, uv) * Tint * Gain;
    if (Flag) c.r += float(Count);
    return c;
}
