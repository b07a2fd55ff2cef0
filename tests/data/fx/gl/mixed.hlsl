// Constants of mixed types (ints, a bool, a matrix, a float array) in one buffer.
int count;
bool enabled;
float4x4 mTransform;
float4 weights[3];

float4 vs_main(float3 pos : POSITION) : POSITION { return mul(float4(pos, 1.0), mTransform); }

float4 ps_main() : COLOR0 {
    float4 c = float4(0, 0, 0, 1);
    for (int i = 0; i < count; ++i) c.rgb += weights[i].rgb;
    return enabled ? c : float4(0, 0, 1, 1);
}
