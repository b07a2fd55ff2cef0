// Deliberately broken, to show how kolm-shaderc reports errors:
//   kolm-shaderc examples/shaders/broken.hlsl   -> exit status 1
float4 vs_main(float3 pos : POSITION) : POSITION { return float4(pos, 1.0); }
float4 ps_main() : COLOR0 {
    return undefinedColour;
}
