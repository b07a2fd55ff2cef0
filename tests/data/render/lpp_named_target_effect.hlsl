// [KOLM_BEGIN]
//title A camera effect that draws into the texture named "lpp_named" (solid green)
// config rendertarget : lpp_named
// [KOLM_END]

float4 vs_main(float3 pos : POSITION) : POSITION { return float4(pos, 1.0); }
float4 ps_main() : COLOR0 { return float4(0.0, 1.0, 0.0, 1.0); }
