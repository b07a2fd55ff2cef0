// [KOLM_BEGIN]
//title A camera effect that reads the finished glow (solid red where it runs)
// texture 1 : GlowRTT : preset clamp filterPoint noMipMap
// [KOLM_END]

sampler2D Glow : register(s1);
float4 vs_main(float3 pos : POSITION) : POSITION { return float4(pos, 1.0); }
float4 ps_main() : COLOR0 { return float4(1.0, 0.0, 0.0, 1.0) + tex2D(Glow, float2(0.5, 0.5)) * 0.0; }
