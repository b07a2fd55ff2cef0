// Positions pass through; the pixel colour comes from a constant, texture or VPOS.
float4x4 mTransform;
float4 color;
sampler2D tex0 : register(s0);
sampler2D tex1 : register(s1);

struct VsOut { float4 pos : POSITION; float2 uv : TEXCOORD0; };

VsOut vs_main(float3 pos : POSITION, float2 uv : TEXCOORD0) {
    VsOut o;
    o.pos = float4(pos, 1.0);
    o.uv = uv;
    return o;
}

VsOut vs_transform(float3 pos : POSITION, float2 uv : TEXCOORD0) {
    VsOut o;
    o.pos = mul(float4(pos, 1.0), mTransform);
    o.uv = uv;
    return o;
}

float4 ps_color(float2 uv : TEXCOORD0) : COLOR0 { return color; }
float4 ps_tex0(float2 uv : TEXCOORD0) : COLOR0 { return tex2D(tex0, uv); }
float4 ps_tex1(float2 uv : TEXCOORD0) : COLOR0 { return tex2D(tex1, uv); }
float4 ps_vpos(float2 vp : VPOS) : COLOR0 { return float4(vp.x / 255.0, vp.y / 255.0, 0, 1); }
