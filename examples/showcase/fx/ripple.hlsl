// [KOLM_BEGIN]
//title Showcase: ripple with colour fringes
//subject camera effects
//comments A full-screen camera effect of the showcase demo: the picture waves sideways in bands that run down the screen, its red and blue channels are read a little apart, and faint scan lines run across it. The waves move with the engine's time.
//
// float Time : Time : pixel
// float2 Screen : ScreenSize : pixel
// texture 0 : : clamp
// [KOLM_END]
//
// Reads the finished picture from texture layer 0, as every camera effect does; uv runs from
// (0, 0) at the top left to (1, 1) at the bottom right.

float Time;     // seconds
float2 Screen;  // pixels
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
    float wave = sin(i.uv.y * 40.0 - Time * 6.0) * 0.006;  // a sideways shift, in screen widths
    float2 uv = i.uv + float2(wave, 0.0);
    float fringe = 2.0 / max(Screen.x, 1.0);                  // two pixels
    float4 c;
    c.r = tex2D(Picture, uv + float2(fringe, 0.0)).r;
    c.g = tex2D(Picture, uv).g;
    c.b = tex2D(Picture, uv - float2(fringe, 0.0)).b;
    c.a = 1.0;
    float scan = 0.9 + 0.1 * sin(i.uv.y * Screen.y * 3.14159);  // one dark line every two pixels
    c.rgb *= scan;
    return c;
}
