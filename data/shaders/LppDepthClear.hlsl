// [KOLM_BEGIN]
//title Light pre-pass: clears the normal and depth targets
//subject light pre-pass
//comments Drawn over the whole pair (normal target, depth target) before the depth pass: no normal and no gloss in the normal target, depth 0 (nothing drawn there) in the depth target.
// [KOLM_END]
//
// The targets' encoding, shared by every light pre-pass effect:
//   normal target: rgb = view-space normal x 0.5 + 0.5, a = gloss code (specular exponent
//                  2^(16 a)); a = 0 where nothing was drawn.
//   depth target:  view-space depth in world units (distance along the view direction); 0
//                  where nothing was drawn.

struct VsOut {
    float4 pos : POSITION;
};

VsOut vs_main(float3 pos : POSITION) {
    VsOut o;
    o.pos = float4(pos.xy, 0.0, 1.0);
    return o;
}

struct PsOut {
    float4 normal : COLOR0;
    float4 depth : COLOR1;
};

PsOut ps_main(VsOut i) {
    PsOut o;
    o.normal = float4(0.5, 0.5, 0.5, 0.0);
    o.depth = float4(0.0, 0.0, 0.0, 0.0);
    return o;
}
