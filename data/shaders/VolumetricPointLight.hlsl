// [KOLM_BEGIN]
//title Light pre-pass: light scattered in the air around a point light
//subject light pre-pass
//comments Marches the camera ray of each pixel through the light's sphere up to the scene depth and adds the light scattered towards the camera: colour x LightPower x (1 - distance / radius)^2, at most IntensityClamp.
//
// config baseMaterial : transparent_one_one
// float4x4 WorldViewProjection : 0 : vertex
// float4x4 ViewToWorld : 0 : pixel
// float4 ViewScale : 1, 1, 0, 0 : pixel
// float2 PixelCount : TargetSize : pixel
// float4 LightPosition : 0, 0, 0, 1 : pixel
// float3 LightColor : 1, 1, 1 : pixel
// float LightRadius : 1 : pixel
// float LightPower : 1 : pixel
// float IntensityClamp : 1000000 : pixel
// texture 0 : : clamp filterPoint noMipMap
// [KOLM_END]
//
// Layer 0: the depth target (view-space depth, 0 where nothing was drawn).

float4x4 WorldViewProjection;
float4x4 ViewToWorld;
float4 ViewScale;
float2 PixelCount;
float4 LightPosition;
float3 LightColor;
float LightRadius;
float LightPower;
float IntensityClamp;
sampler2D DepthMap : register(s0);

#define STEPS 24

struct VsOut {
    float4 pos : POSITION;
    float4 screen : TEXCOORD0;
};

VsOut vs_main(float3 pos : POSITION) {
    VsOut o;
    o.pos = mul(float4(pos, 1.0), WorldViewProjection);
    o.screen = o.pos;
    return o;
}

float4 ps_main(VsOut i) : COLOR0 {
    float2 ndc = i.screen.xy / i.screen.w;
    float2 uv = ndc * float2(0.5, -0.5) + 0.5;
    float depth = tex2D(DepthMap, uv).r;
    float3 viewRay = float3(ndc * ViewScale.xy, 1.0);
    float3 eye = mul(float4(0.0, 0.0, 0.0, 1.0), ViewToWorld).xyz;
    float3 dir = mul(float4(viewRay, 0.0), ViewToWorld).xyz;
    // The march covers the part of the ray inside the light's sphere in front of the scene;
    // each pixel starts at its own fraction of a step, so that the steps do not show as bands.
    float len = length(dir);
    float3 n = dir / len;
    float3 toLight = LightPosition.xyz - eye;
    float centre = dot(toLight, n);
    float miss = dot(toLight, toLight) - centre * centre;
    if (miss >= LightRadius * LightRadius) return float4(0.0, 0.0, 0.0, 0.0);
    float chord = sqrt(LightRadius * LightRadius - miss);
    float tStart = max(centre - chord, 0.0);
    float tEnd = centre + chord;
    if (depth > 0.0) tEnd = min(tEnd, depth * len);
    if (tEnd <= tStart) return float4(0.0, 0.0, 0.0, 0.0);
    float step = (tEnd - tStart) / STEPS;
    float jitter = frac(52.9829189 * frac(dot(floor(uv * PixelCount), float2(0.06711056, 0.00583715))));
    float sum = 0.0;
    for (int k = 0; k < STEPS; ++k) {
        float3 p = eye + n * (tStart + step * (k + jitter));
        float f = saturate(1.0 - length(p - LightPosition.xyz) / max(LightRadius, 1e-4));
        sum += f * f;
    }
    float3 result = LightColor * sum * step * LightPower * 0.5;
    return float4(min(result, float3(IntensityClamp, IntensityClamp, IntensityClamp)), 0.0);
}
