// The engine's texture copy: the pixel position (VPOS, whole pixels from the top-left corner)
// picks the texel, so a texture copies one to one onto a target of the same size.
float2 resolution;
sampler2D smplr : register(s0);
float4 vs_main(float4 pos : POSITION) : POSITION { return pos; }
float4 ps_main(float4 vp : VPOS) : COLOR0 {
    float4 Color = tex2D(smplr, (vp.xy + float2(0.5, 0.5)) / resolution);
    return Color;
}
