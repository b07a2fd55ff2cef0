// [KOLM_BEGIN]
//title Engine textures through an effect: a cube map on layer 1, a volume on layer 2 and a
//comments library texture on layer 5, each set on the effect by its parameter
// texture 1 : : cube clamp filterPoint noMipMap
// texture 2 : : 3d clamp filterPoint noMipMap
// texture 5 : : clamp filterPoint noMipMap
// [KOLM_END]

samplerCUBE Tex__1 : register(s1);
sampler3D Tex__2 : register(s2);
sampler2D Tex__5 : register(s5);

struct VsOut { float4 pos : POSITION; float2 uv : TEXCOORD0; };

VsOut vs_main(float3 pos : POSITION, float2 uv : TEXCOORD0) {
    VsOut o;
    o.pos = float4(pos, 1.0);
    o.uv = uv;
    return o;
}

// Three columns: the cube's -X face, the volume's slice by row band, layer 5.
float4 ps_main(float2 uv : TEXCOORD0) : COLOR0 {
    if (uv.x < 1.0 / 3.0) return texCUBE(Tex__1, float3(-1, 0, 0));
    if (uv.x < 2.0 / 3.0) return tex3D(Tex__2, float3(0.5, 0.5, (floor(uv.y * 2.0) + 0.5) / 2.0));
    return tex2D(Tex__5, float2(0.5, uv.y));
}
