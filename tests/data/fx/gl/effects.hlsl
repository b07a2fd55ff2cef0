// What effect files write: varyings of different widths in the two stages, structure constants
// set member by member, and samplers on register s0 in both stages.
#ifdef MIXED
#define COUNT int
#else
#define COUNT float
#endif

struct LightCounts {
    COUNT LightDirsNum;
    COUNT LightPointsNum;
    COUNT LightSpotsNum;
};

struct LightParam {
    float3 LightColor;
    float3 LightPosition;
    float InvLightRadiusSqr;
};

LightCounts LightsNum;
LightParam LightParams[3];
sampler2D heights : register(s0);  // read by the vertex stage
sampler2D colours : register(s0);  // read by the pixel stage

struct VsWide {
    float4 pos : POSITION;
    float4 uv : TEXCOORD0;
    float level : TEXCOORD1;
};

VsWide vs_wide(float3 pos : POSITION, float2 uv : TEXCOORD0) {
    VsWide o;
    o.pos = float4(pos, 1.0);
    o.uv = float4(uv, 0.25, 0.75);
    o.level = 0.5;
    return o;
}

VsWide vs_height(float3 pos : POSITION, float2 uv : TEXCOORD0) {
    VsWide o;
    o.pos = float4(pos, 1.0);
    o.uv = float4(uv, 0.0, 1.0);
    o.level = tex2Dlod(heights, float4(0.5, 0.5, 0.0, 0.0)).r;
    return o;
}

// Narrower than written: two of four components, and four of one.
float4 ps_narrow(float2 uv : TEXCOORD0, float4 level : TEXCOORD1) : COLOR0 {
    return float4(uv.x, level.x, level.w, 1.0);
}

float4 ps_wide(float4 uv : TEXCOORD0) : COLOR0 { return float4(uv.z, uv.w, uv.y, 1.0); }

float4 ps_lights(float2 uv : TEXCOORD0) : COLOR0 {
    float3 c = LightParams[2].LightColor + float3(LightsNum.LightSpotsNum, 0.0, 0.0);
    c.b += LightParams[1].InvLightRadiusSqr;
    return float4(c, 1.0);
}

float4 ps_sampled(float2 uv : TEXCOORD0, float level : TEXCOORD1) : COLOR0 {
    return float4(tex2D(colours, uv).r, level, tex2D(colours, uv).b, 1.0);
}
