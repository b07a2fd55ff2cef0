// Shared by the example effects.
#define LIGHT_DIR normalize(float3(0.3, 1.0, -0.5))
#define FOG_COLOUR float3(0.5, 0.6, 0.7)

float fogStart = 10.0;
float fogEnd = 100.0;

float fogFactor(float depth) { return saturate((depth - fogStart) / (fogEnd - fogStart)); }
