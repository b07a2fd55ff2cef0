// [KOLM_BEGIN]
//title Particle: camera-facing quads of an fx emitter
//subject particles
//comments The code of the default effect of fx emitters (Particle.dae wraps it as a COLLADA FX document; this file loads on its own as well). Each particle is a quad facing the camera, ParticleSize units wide, centred on the particle. Its age (0 at birth, 1 at death) fades it out over the last fifth of its life and, with the surface's gradients, picks its colour and size. With USE_TEX_COLOR the particle image (layer 0) gives colour and coverage; otherwise a soft round spot in ParticleColor. USE_ROTATION turns the quad by ParticleRotation radians. The blend macros choose how the colour is written: alpha blending (USE_BLEND_ALPHA), adding (USE_BLEND_ADD) or subtracting (USE_BLEND_SUB), with the surface's base material.
//
// function vertexMain : vs_main
// function pixelMain : ps_main
//
// View and Projection are sent transposed, so the shader multiplies with the matrix on the left.
// float4x4 View : View : vertex
// float4x4 Projection : Projection : vertex
// float ParticleTimeNow : ParticleTimeNow : vertex
// float ParticleSize : ParticleSize : vertex
// float ParticleRotation : ParticleRotation : vertex
// float4 ParticleColor : ParticleColor : vertex
// float ParticleGradColorNum : ParticleGradColorNum : vertex
// floatN ParticleGradColorKeyParams : ParticleGradColorKeyParams : vertex
// floatN ParticleGradColorKeyValues : ParticleGradColorKeyValues : vertex
// float ParticleGradSizeNum : ParticleGradSizeNum : vertex
// floatN ParticleGradSizeKeyParams : ParticleGradSizeKeyParams : vertex
// floatN ParticleGradSizeKeyValues : ParticleGradSizeKeyValues : vertex
//KOLM_PP:D:TEX_COLOR:// texture 0 : : clamp_to_edge trilinear
// [KOLM_END]
//
// Inputs, the same for instanced and CPU-built quads: TEXCOORD0 the corner (0 or 1 in u and v),
// POSITION the particle's world position, NORMAL (birth, death, 0) in seconds of the device
// clock, TANGENT its velocity (units per second).

float4x4 View;
float4x4 Projection;
float ParticleTimeNow;          // s, the clock the emitter's times are in
float ParticleSize;             // units
float ParticleRotation;         // radians
float4 ParticleColor;
float ParticleGradColorNum;
float ParticleGradColorKeyParams[8];
float4 ParticleGradColorKeyValues[9];
float ParticleGradSizeNum;
float ParticleGradSizeKeyParams[8];
float ParticleGradSizeKeyValues[9];
sampler2D Tex__0 : register(s0);

struct VsOut {
    float4 pos : POSITION;
    float2 uv : TEXCOORD0;
    float4 color : COLOR0;
};

// Value of a key table at t: keys in ascending order, the table closed by one entry past the
// last key. A table without keys gives its first value, never an entry before the table.
float4 colorAt(float t) {
    float4 v = ParticleGradColorKeyValues[0];
    for (int i = 0; i < 8; ++i) {
        if (float(i) + 1.0 > ParticleGradColorNum) break;
        float p0 = ParticleGradColorKeyParams[i];
        float p1 = (float(i) + 2.0 > ParticleGradColorNum) ? p0 + 100.0 : ParticleGradColorKeyParams[i + 1];
        if (t >= p0) v = lerp(ParticleGradColorKeyValues[i], ParticleGradColorKeyValues[i + 1], saturate((t - p0) / max(p1 - p0, 1e-6)));
    }
    return v;
}

float sizeAt(float t) {
    float v = ParticleGradSizeKeyValues[0];
    for (int i = 0; i < 8; ++i) {
        if (float(i) + 1.0 > ParticleGradSizeNum) break;
        float p0 = ParticleGradSizeKeyParams[i];
        float p1 = (float(i) + 2.0 > ParticleGradSizeNum) ? p0 + 100.0 : ParticleGradSizeKeyParams[i + 1];
        if (t >= p0) v = lerp(ParticleGradSizeKeyValues[i], ParticleGradSizeKeyValues[i + 1], saturate((t - p0) / max(p1 - p0, 1e-6)));
    }
    return v;
}

VsOut vs_main(float2 corner : TEXCOORD0, float3 position : POSITION, float3 times : NORMAL, float3 velocity : TANGENT) {
    VsOut o;
    float life = max(times.y - times.x, 1e-4);
    float age = saturate((ParticleTimeNow - times.x) / life);
    float size = ParticleSize;
    float4 color = ParticleColor;
#ifdef USE_SIZE_GRADIENT
    if (ParticleGradSizeNum >= 1.0) size = sizeAt(age);
#endif
#ifdef USE_COLOR_GRADIENT
    if (ParticleGradColorNum >= 1.0) color = colorAt(age);
#endif
    color.a *= saturate((1.0 - age) * 5.0);
    // Corner v grows downwards the picture, so both triangles of the quad turn clockwise on
    // screen: the front faces of the engine's convention.
    float2 offset = float2(corner.x - 0.5, 0.5 - corner.y) * size;
#ifdef USE_ROTATION
    float s = sin(ParticleRotation), c = cos(ParticleRotation);
    offset = float2(c * offset.x - s * offset.y, s * offset.x + c * offset.y);
#endif
    float4 viewPos = mul(View, float4(position, 1.0));
    viewPos.xy += offset;
    o.pos = mul(Projection, viewPos);
    o.uv = corner;
    o.color = color;
    return o;
}

float4 ps_main(float2 uv : TEXCOORD0, float4 color : COLOR0) : COLOR0 {
#ifdef USE_TEX_COLOR
    float4 c = tex2D(Tex__0, uv) * color;
#else
    float2 d = uv * 2.0 - 1.0;
    float4 c = float4(color.rgb, color.a * saturate(1.0 - dot(d, d)));
#endif
#if defined(USE_BLEND_ADD) || defined(USE_BLEND_SUB)
    c.rgb *= c.a;  // coverage scales what is added or taken away
#endif
    return c;
}
