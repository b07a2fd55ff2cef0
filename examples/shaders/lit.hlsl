// Per-pixel lighting with a normal map and up to 8 point lights, in the style of the engine's
// surface effects. Variants by macro: LIGHTS (1-8), SPECULAR, FOG.
//   kolm-shaderc -D LIGHTS=4 -D SPECULAR examples/shaders/lit.hlsl
#include "common.hlsl"

#ifndef LIGHTS
#define LIGHTS 1
#endif

float4x4 mWorldViewProj;
float4x4 mWorld;
float3 eyePosition;
float4 lightPosition[8];   // xyz position, w range
float4 lightColour[8];
float4 ambient = float4(0.1, 0.1, 0.1, 1);
float shininess = 32;
sampler2D diffuseMap : register(s0);
sampler2D normalMap : register(s1);
sampler2D specularMap : register(s2);

struct VsOut {
    float4 pos : POSITION;
    float2 uv : TEXCOORD0;
    float3 worldPos : TEXCOORD1;
    float3 normal : TEXCOORD2;
    float3 tangent : TEXCOORD3;
    float3 binormal : TEXCOORD4;
    float depth : TEXCOORD5;
};

VsOut vs_main(float3 pos : POSITION, float3 normal : NORMAL, float2 uv : TEXCOORD0, float3 tangent : TANGENT,
              float3 binormal : BINORMAL) {
    VsOut o;
    o.pos = mul(float4(pos, 1), mWorldViewProj);
    o.uv = uv;
    o.worldPos = mul(float4(pos, 1), mWorld).xyz;
    o.normal = normalize(mul(normal, (float3x3)mWorld));
    o.tangent = normalize(mul(tangent, (float3x3)mWorld));
    o.binormal = normalize(mul(binormal, (float3x3)mWorld));
    o.depth = o.pos.z;
    return o;
}

float3 shade(int i, float3 p, float3 n, float3 v, float specMask) {
    float3 toLight = lightPosition[i].xyz - p;
    float dist = length(toLight);
    float3 l = toLight / max(dist, 0.0001);
    float atten = saturate(1 - dist / lightPosition[i].w);
    float3 c = lightColour[i].rgb * saturate(dot(n, l)) * atten;
#ifdef SPECULAR
    float3 h = normalize(l + v);
    c += lightColour[i].rgb * pow(saturate(dot(n, h)), shininess) * specMask * atten;
#endif
    return c;
}

float4 ps_main(VsOut i) : COLOR0 {
    float3 tn = tex2D(normalMap, i.uv).xyz * 2 - 1;
    float3 n = normalize(tn.x * i.tangent + tn.y * i.binormal + tn.z * i.normal);
    float3 v = normalize(eyePosition - i.worldPos);
    float specMask = tex2D(specularMap, i.uv).r;
    float3 light = ambient.rgb;
    for (int k = 0; k < LIGHTS; ++k) light += shade(k, i.worldPos, n, v, specMask);
    float4 c = tex2D(diffuseMap, i.uv);
    c.rgb *= light;
#ifdef FOG
    c.rgb = lerp(c.rgb, FOG_COLOUR, fogFactor(i.depth));
#endif
    return c;
}
