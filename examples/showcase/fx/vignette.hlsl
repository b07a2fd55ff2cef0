// [KOLM_BEGIN]
//title Showcase: vignette with a warm grade
//subject camera effects
//comments A full-screen camera effect of the showcase demo: darkens the picture towards its corners and warms its colours; a slow breath (two seconds a cycle, from the engine's time) moves the dark rim in and out a little.
//
// float Time : Time : pixel
// texture 0 : : clamp
// [KOLM_END]
//
// A camera effect is drawn as one full-screen quad over the finished picture, which it reads
// from texture layer 0 (clamped, so the edges do not wrap). Positions arrive in clip space;
// uv runs from (0, 0) at the top left to (1, 1) at the bottom right.

float Time;  // seconds of the engine's time: the frame's time in a capture
sampler2D Picture : register(s0);

struct VsOut {
    float4 pos : POSITION;
    float2 uv : TEXCOORD0;
};

VsOut vs_main(float3 pos : POSITION) {
    VsOut o;
    o.pos = float4(pos.xy, 0.0, 1.0);
    o.uv = float2(pos.x * 0.5 + 0.5, 0.5 - pos.y * 0.5);
    return o;
}

float4 ps_main(VsOut i) : COLOR0 {
    float4 c = tex2D(Picture, i.uv);
    float2 d = (i.uv - 0.5) * float2(1.6, 1.0);     // wider than tall, as the screen
    float rim = 0.55 + 0.05 * sin(Time * 3.14159);  // where the darkening reaches half
    float v = saturate(1.0 - smoothstep(rim * 0.5, rim * 1.2, length(d)));
    c.rgb = c.rgb * float3(1.10, 0.97, 0.80) * (0.25 + 0.75 * v);
    return c;
}
