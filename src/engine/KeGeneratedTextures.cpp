#include "engine/KeGeneratedTextures.h"

#include <cmath>

#include <irrlicht/SColor.h>

namespace kolm {
namespace {

struct Lcg {
    uint32_t state = 0;
    uint32_t next() {
        state = state * 214013u + 2531011u;
        return (state >> 16) & 0x7FFFu;
    }
};

}  // namespace

void keGenerateRandRot(uint32_t* out) {
    Lcg rng;
    for (uint32_t x = 0; x < KE_RANDROT_SIZE; ++x) {
        for (uint32_t y = 0; y < KE_RANDROT_SIZE; ++y) {
            const float angle = float(rng.next()) * 6.2831855f / 32767.0f;
            const irr::video::SColorf c(std::cos(angle) * 0.5f + 1.0f, std::sin(angle) * 0.5f + 1.0f, 0.0f, 1.0f);
            out[y * KE_RANDROT_SIZE + x] = c.toSColor().color;
        }
    }
}

void keGenerateRandVec(uint32_t* out) {
    Lcg rng;
    for (uint32_t x = 0; x < KE_RANDVEC_SIZE; ++x) {
        for (uint32_t y = 0; y < KE_RANDVEC_SIZE; ++y) {
            float a, b, c;
            do {
                a = float(rng.next()) / 32767.0f;
                b = float(rng.next()) / 32767.0f;
                c = float(rng.next()) / 32767.0f;
            } while (a * a + b * b + c * c > 1.0f);
            out[y * KE_RANDVEC_SIZE + x] = irr::video::SColorf(a, b, c, 1.0f).toSColor().color;
        }
    }
}

}  // namespace kolm
