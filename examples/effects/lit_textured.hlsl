// [KOLM_BEGIN]
//title Lit and textured: one point light over an ambient term, a colour map
//subject examples
//comments The engine sets every constant from its semantic: the transforms of the object drawn, the first light at the scene's root and the scene's ambient colour. The colour map is the texture the engine knows by the name "CheckerMap".
//
// Matrices named after their semantic are sent transposed ("World" binds "WorldTranspose"), so
// the shader multiplies with the matrix on the left.
// float4x4 WorldViewProj : WorldViewProjection
// float4x4 World : World
// float4 LightPos : LightPos0 : pixel
// float4 LightColor : LightDiffuse0 : pixel
// float4 Ambient : LightAmbient0 : pixel
// float Gain : 1.0 : pixel
// texture 0 : CheckerMap : preset repeat filterPoint noMipMap
// [KOLM_END]

float4x4 WorldViewProj;
float4x4 World;
float4 LightPos;
float4 LightColor;
float4 Ambient;
float Gain;
sampler2D Tex__0 : register(s0);

struct VsOut {
    float4 pos : POSITION;
    float2 uv : TEXCOORD0;
    float3 normal : TEXCOORD1;
    float3 worldPos : TEXCOORD2;
};

VsOut vs_main(float3 pos : POSITION, float3 normal : NORMAL, float2 uv : TEXCOORD0) {
    VsOut o;
    o.pos = mul(WorldViewProj, float4(pos, 1.0));
    o.worldPos = mul(World, float4(pos, 1.0)).xyz;
    o.normal = mul(World, float4(normal, 0.0)).xyz;
    o.uv = uv;
    return o;
}

float4 ps_main(float2 uv : TEXCOORD0, float3 normal : TEXCOORD1, float3 worldPos : TEXCOORD2) : COLOR0 {
    float3 n = normalize(normal);
    float3 l = normalize(LightPos.xyz - worldPos);
    float diffuse = saturate(dot(n, l));
    float3 albedo = tex2D(Tex__0, uv).rgb;
    return float4(albedo * (Ambient.rgb + LightColor.rgb * diffuse) * Gain, 1.0);
}
