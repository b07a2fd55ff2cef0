// Texture layers of the GL layer's tests: an engine float texture on layer 0, an engine cube
// texture on layer 1, an engine volume texture on layer 2 and a library texture on layer 6,
// read in one draw. The target is cut into four columns, one per layer.
sampler2D floatMap : register(s0);
samplerCUBE cubeMap : register(s1);
sampler3D volumeMap : register(s2);
sampler2D layer6 : register(s6);

struct VsOut { float4 pos : POSITION; float2 uv : TEXCOORD0; };

VsOut vs_main(float3 pos : POSITION, float2 uv : TEXCOORD0) {
    VsOut o;
    o.pos = float4(pos, 1.0);
    o.uv = uv;
    return o;
}

float4 ps_layers(float2 uv : TEXCOORD0) : COLOR0 {
    float column = floor(uv.x * 4.0);
    if (column < 1.0) return float4(tex2D(floatMap, float2(uv.y, 0.5)).r, 0, 0, 1);
    // Upper half: the +X face; lower half: the -Z face.
    if (column < 2.0) return texCUBE(cubeMap, uv.y < 0.5 ? float3(1, 0, 0) : float3(0, 0, -1));
    // Four bands of rows, one slice of the volume each.
    if (column < 3.0) return tex3D(volumeMap, float3(0.5, 0.5, (floor(uv.y * 4.0) + 0.5) / 4.0));
    return tex2D(layer6, float2(uv.x * 4.0 - 3.0, uv.y));
}
