// A lit, reflective surface as effect files write it: the light block as arrays of structures
// set member by member ("LightParams[1].LightColor", "LightsNum.LightPointsNum"), a cube map
// sampler, and a vertex stage that writes wider texture coordinates than the pixel stage reads.
//   kolm-shaderc examples/shaders/lights_cube.hlsl

struct LightCounts {
    float LightDirsNum;
    float LightPointsNum;
    float LightSpotsNum;
};

struct LightParam {
    float3 LightColor;
    float3 LightPosition;
    float3 LightDirection;
    float InvLightRadiusSqr;
    float2 SpotlightAngles;
};

float4x4 WorldViewProjection;
float4x4 World;
float3 ViewPosition;
LightCounts LightsNum;
LightParam LightParams[5];
samplerCUBE envMap : register(s0);

struct VsOut {
    float4 pos : POSITION;
    float4 uv : TEXCOORD0;        // the pixel stage reads two components
    float3 worldPos : TEXCOORD1;
    float3 normal : TEXCOORD2;
};

VsOut vs_main(float3 pos : POSITION, float3 normal : NORMAL, float2 uv : TEXCOORD0) {
    VsOut o;
    o.pos = mul(float4(pos, 1.0), WorldViewProjection);
    o.uv = float4(uv, 0.0, 1.0);
    o.worldPos = mul(float4(pos, 1.0), World).xyz;
    o.normal = mul(normal, (float3x3)World);
    return o;
}

float4 ps_main(float2 uv : TEXCOORD0, float3 worldPos : TEXCOORD1, float3 normal : TEXCOORD2) : COLOR0 {
    float3 n = normalize(normal);
    float3 c = 0;
    int first = 0;
    int count = (int)LightsNum.LightPointsNum;
    for (int i = 0; i < 5; ++i) {
        if (i < first || i >= first + count) continue;
        float3 d = LightParams[i].LightPosition - worldPos;
        float att = saturate(1.0 - dot(d, d) * LightParams[i].InvLightRadiusSqr);
        c += LightParams[i].LightColor * saturate(dot(n, normalize(d))) * att;
    }
    float3 r = reflect(normalize(worldPos - ViewPosition), n);
    float stripes = 0.75 + 0.25 * step(0.5, frac(uv.x * 8.0));
    return float4((c + texCUBE(envMap, r).rgb * 0.25) * stripes, 1.0);
}

technique Lit {
    pass P0 {
        VertexShader = compile vs_3_0 vs_main();
        PixelShader = compile ps_3_0 ps_main();
    }
}
