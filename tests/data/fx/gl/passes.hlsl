// Screen passes of the GL layer's tests: a half-texel copy as post effects write it, a marker
// picture, two render targets at once and a plain colour.
float4 color;
float2 HalfPixelSize;
sampler2D tex0 : register(s0);

struct VsOut { float4 pos : POSITION; float2 uv : TEXCOORD0; };

VsOut vs_main(float3 pos : POSITION, float2 uv : TEXCOORD0) {
    VsOut o;
    o.pos = float4(pos, 1.0);
    o.uv = uv;
    return o;
}

// The usual Direct3D 9 post-effect code: half a texel added to the quad's coordinate.
VsOut vs_halfpixel(float3 pos : POSITION, float2 uv : TEXCOORD0) {
    VsOut o;
    o.pos = float4(pos, 1.0);
    o.uv = uv + HalfPixelSize;
    return o;
}

float4 ps_tex0(float2 uv : TEXCOORD0) : COLOR0 { return tex2D(tex0, uv); }
float4 ps_color(float2 uv : TEXCOORD0) : COLOR0 { return color; }

// White in the upper-left quarter of the picture, dark blue elsewhere.
float4 ps_marker(float2 uv : TEXCOORD0) : COLOR0 {
    return (uv.x < 0.5 && uv.y < 0.5) ? float4(1, 1, 1, 1) : float4(0, 0, 0.5, 1);
}

struct TwoTargets { float4 first : COLOR0; float4 second : COLOR1; };
TwoTargets ps_two(float2 uv : TEXCOORD0) {
    TwoTargets o;
    o.first = color;
    o.second = float4(color.b, color.g, color.r, 1);
    return o;
}
