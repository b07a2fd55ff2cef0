// A textured, tinted surface in the engine's Direct3D 9 style: world-view-projection by
// name, a sampler on unit 0, an optional fog term.
//   kolm-shaderc examples/shaders/textured.hlsl
//   kolm-shaderc -D FOG=1 examples/shaders/textured.hlsl
#include "common.hlsl"

float4x4 mWorldViewProj;
float4 tint = float4(1, 1, 1, 1);
texture diffuseMap < string ResourceName = "stone.png"; >;
sampler2D diffuse : register(s0) = sampler_state {
    Texture = <diffuseMap>;
    MinFilter = Linear;
    MagFilter = Linear;
};

struct VsOut {
    float4 pos : POSITION;
    float2 uv : TEXCOORD0;
    float4 colour : COLOR0;
    float depth : TEXCOORD1;
};

VsOut vs_main(float3 pos : POSITION, float3 normal : NORMAL, float2 uv : TEXCOORD0, float4 colour : COLOR0) {
    VsOut o;
    o.pos = mul(float4(pos, 1.0), mWorldViewProj);
    o.uv = uv;
    o.colour = colour * saturate(dot(normal, LIGHT_DIR) * 0.5 + 0.5);
    o.depth = o.pos.z;
    return o;
}

float4 ps_main(float2 uv : TEXCOORD0, float4 colour : COLOR0, float depth : TEXCOORD1) : COLOR0 {
    float4 c = tex2D(diffuse, uv) * colour * tint;
#ifdef FOG
    c.rgb = lerp(c.rgb, FOG_COLOUR, fogFactor(depth));
#endif
    return c;
}

technique Textured {
    pass P0 {
        VertexShader = compile vs_3_0 vs_main();
        PixelShader = compile ps_3_0 ps_main();
    }
}
