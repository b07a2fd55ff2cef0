// The two generated noise textures that effects sample as data. Their encodings are fixed:
// effects decode them, so every texel must stay exactly as produced here.
//
// Both draw from the classic linear congruential generator seeded with 0
// (state = state * 214013 + 2531011, value = (state >> 16) & 0x7FFF) in x-major order (all y
// of column 0 first) and convert float colours with the library's SColorf::toSColor, which
// keeps only the low 8 bits of floor(v * 255 + 0.5).
#pragma once

#include <cstdint>

namespace kolm {

constexpr uint32_t KE_RANDROT_SIZE = 64;
constexpr uint32_t KE_RANDVEC_SIZE = 512;

// "RandRot": per texel an angle t = r * 6.2831855 / 32767 and the colour
// (cos t * 0.5 + 1, sin t * 0.5 + 1, 0, 1). The offset is 1, so red and green wrap past 255
// (cos t = 1 stores 127). `out` holds 64 * 64 words 0xAARRGGBB, index y * 64 + x.
void keGenerateRandRot(uint32_t* out);

// "RandVec": per texel a point (a, b, c) = (r1, r2, r3) / 32767 drawn again until
// a^2 + b^2 + c^2 <= 1, stored as the colour (a, b, c, 1). `out` holds 512 * 512 words,
// index y * 512 + x.
void keGenerateRandVec(uint32_t* out);

}  // namespace kolm
