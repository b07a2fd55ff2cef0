// [KOLM_BEGIN]
//title SMAA: blending weights of the edge lines
//subject post
//comments Layer 0 the edges (red: edge on the left, green: edge above), layer 1 the area image AreaTexDX9.png, layer 2 the search image SearchTex.png; drawn with the half-pixel aligned quad. For an edge above the pixel it follows the horizontal line of edges to both ends (at most 31 pixels each way), reads the crossing edges at the ends, turns each pair into a crossing code through the search image and looks up the area image: red is the share of this pixel that takes the colour from above, green the share of the pixel above that takes this pixel's colour. Blue and alpha do the same for an edge on the left (this pixel from the left, the left pixel from this one). Pixels without edges are left as cleared (0).
// float2 PixelSize : PixelSize : pixel
// texture 0 : : clamp_to_edge filterPoint noMipMap
// texture 1 : : clamp_to_edge filterPoint noMipMap
// texture 2 : : clamp_to_edge filterPoint noMipMap
// [KOLM_END]
//
// The area image is 4 x 4 tiles of 32 x 32 texels: tile (near code, far code), texel (distance to
// the near end, distance to the far end); tools/smaa/make_smaa_lookup.py makes it.

float2 PixelSize;
sampler2D Edges : register(s0);
sampler2D AreaTex : register(s1);
sampler2D SearchTex : register(s2);

#define MAX_STEPS 31

struct VsOut {
    float4 pos : POSITION;
    float2 uv : TEXCOORD0;
};

VsOut vs_main(float3 pos : POSITION, float2 uv : TEXCOORD0) {
    VsOut o;
    o.pos = float4(pos, 1.0);
    o.uv = uv;
    return o;
}

float2 edgesAt(float2 uv) {
    // Outside the picture there are no edges.
    float inside = step(0.0, uv.x) * step(0.0, uv.y) * step(uv.x, 1.0) * step(uv.y, 1.0);
    return tex2Dlod(Edges, float4(uv, 0.0, 0.0)).rg * inside;
}

// Crossing code (0 none, 1 first side, 2 second side, 3 both) of two edge flags.
float crossing(float first, float second) {
    float2 t = (float2(step(0.5, first), step(0.5, second)) + 0.5) / 4.0;
    return floor(tex2Dlod(SearchTex, float4(t, 0.0, 0.0)).r * 3.0 + 0.5);
}

float2 area(float nearCode, float farCode, float nearDistance, float farDistance) {
    float2 t = (float2(nearCode * 32.0 + nearDistance, farCode * 32.0 + farDistance) + 0.5) / 128.0;
    return tex2Dlod(AreaTex, float4(t, 0.0, 0.0)).rg;
}

// Pixels the line of edges (channel `c` of the edges image) goes on from uv in steps of `dir`.
float follow(float2 uv, float2 dir, int c) {
    float d = 0.0;
    [loop] for (int k = 1; k <= MAX_STEPS; ++k) {
        float2 e = edgesAt(uv + dir * float(k));
        [branch] if ((c == 0 ? e.r : e.g) < 0.5) break;
        d = float(k);
    }
    return d;
}

float4 ps_main(VsOut i) : COLOR0 {
    float2 e = edgesAt(i.uv);
    // Pixels without edges keep the cleared 0 of the target, as a stencil test would leave them;
    // whole blocks of them then cost almost nothing.
    if (e.r + e.g < 0.5) discard;
    float4 weights = float4(0.0, 0.0, 0.0, 0.0);
    float2 px = PixelSize;
    [branch] if (e.g > 0.5) {
        // A horizontal line above this pixel: its near end to the left, far end to the right.
        float left = follow(i.uv, float2(-px.x, 0.0), 1);
        float right = follow(i.uv, float2(px.x, 0.0), 1);
        float2 nearEnd = i.uv - float2(left * px.x, 0.0);
        float2 pastFar = i.uv + float2((right + 1.0) * px.x, 0.0);
        float nearCode = crossing(edgesAt(nearEnd - float2(0.0, px.y)).r, edgesAt(nearEnd).r);
        float farCode = crossing(edgesAt(pastFar - float2(0.0, px.y)).r, edgesAt(pastFar).r);
        weights.rg = area(nearCode, farCode, left, right);
    }
    [branch] if (e.r > 0.5) {
        // A vertical line left of this pixel: its near end above, far end below.
        float up = follow(i.uv, float2(0.0, -px.y), 0);
        float down = follow(i.uv, float2(0.0, px.y), 0);
        float2 nearEnd = i.uv - float2(0.0, up * px.y);
        float2 pastFar = i.uv + float2(0.0, (down + 1.0) * px.y);
        float nearCode = crossing(edgesAt(nearEnd - float2(px.x, 0.0)).g, edgesAt(nearEnd).g);
        float farCode = crossing(edgesAt(pastFar - float2(px.x, 0.0)).g, edgesAt(pastFar).g);
        weights.ba = area(nearCode, farCode, up, down);
    }
    return weights;
}
