// An effect whose annotation block is never closed: loading it must fail with this file's
// name and the line of the opening marker.
// [KOLM_BEGIN]
// float4 Tint : 1, 1, 1, 1 : pixel
float4 Tint;
float4 ps_main() : COLOR0 { return Tint; }
