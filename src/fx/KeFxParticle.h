// Particles of the fx emitters and the pools they live in.
//
// A particle is a 64-byte record, 16-byte aligned, that moves between a pool's free list, an
// emitter's live ring and its released list by relinking only: nothing is allocated per
// particle or per frame. Times are seconds of the device timer; positions and velocities are
// four-float vectors (position w = 1, velocity w = 0).
#pragma once

#include <irrlicht/irrTypes.h>

#include <cstddef>

namespace kolm {

struct alignas(16) KeFxParticle {
    KeFxParticle* next;  // ring, released list or free list
    irr::f32 birth;      // s
    irr::f32 death;      // s
    irr::f32 sortKey;    // squared distance to the sort origin
    alignas(16) irr::f32 pos[4];
    alignas(16) irr::f32 vel[4];
};
static_assert(sizeof(KeFxParticle) == 64, "a particle record is 64 bytes");
static_assert(offsetof(KeFxParticle, pos) == 32 && offsetof(KeFxParticle, vel) == 48,
              "vectors on 16-byte boundaries");

// What the drawing reads for each live particle (36 bytes, the instance record of the GPU path).
struct KeFxInstance {
    irr::f32 pos[3];
    irr::f32 birth;  // s
    irr::f32 death;  // s
    irr::f32 zero;
    irr::f32 vel[3];
};
static_assert(sizeof(KeFxInstance) == 36, "an instance record is 36 bytes");

// An aligned array of particle records whose free ones are chained into a free list.
class CKeFxParticlePool {
public:
    // A pool of `size` records, all free. On allocation failure the pool has size 0.
    explicit CKeFxParticlePool(irr::u32 size);
    ~CKeFxParticlePool();
    CKeFxParticlePool(const CKeFxParticlePool&) = delete;
    CKeFxParticlePool& operator=(const CKeFxParticlePool&) = delete;

    irr::u32 size() const { return m_size; }
    irr::u32 freeCount() const { return m_freeCount; }
    bool valid() const { return m_records != nullptr; }

    // A free record, or null when none is left.
    KeFxParticle* take() {
        KeFxParticle* p = m_free;
        if (p) {
            m_free = p->next;
            --m_freeCount;
        }
        return p;
    }
    void give(KeFxParticle* p) {
        p->next = m_free;
        m_free = p;
        ++m_freeCount;
    }
    // Returns a null-terminated list of `count` records that ends at `last`.
    void giveList(KeFxParticle* first, KeFxParticle* last, irr::u32 count) {
        if (!first) return;
        last->next = m_free;
        m_free = first;
        m_freeCount += count;
    }

private:
    KeFxParticle* m_records = nullptr;
    KeFxParticle* m_free = nullptr;
    irr::u32 m_size = 0;
    irr::u32 m_freeCount = 0;
};

// The shared pool: one per process, 262144 records, made on the first request and freed when
// its last user releases it. Null when it cannot be allocated (the emitter then emits nothing).
constexpr irr::u32 kFxSharedPoolSize = 0x40000;
CKeFxParticlePool* keFxAcquireSharedPool();
void keFxReleaseSharedPool();
// Users of the shared pool (for tests).
int keFxSharedPoolUsers();

// The particle random generator: one process-wide 32-bit state, initially 0, shared by every
// emitter: state = state x 214013 + 2531011, yielding (state >> 16) & 0x7FFF.
irr::u32 keFxRandom();
void keFxSetRandomState(irr::u32 state);
irr::u32 keFxRandomState();

// The process-wide curl-noise volume the simulation samples: edge n, n^3 entries of three
// signed bytes at index 3 x (x + y n + z n^2). Borrowed: the owner (the engine's resource
// manager) keeps it alive or clears it here. Without a volume curl noise moves nothing.
void keFxSetNoiseVolume(const signed char* entries, irr::u32 edge);
// The curl sample at p (in volume cells): the eight entries around p interpolated trilinearly,
// components in -128 .. 127; (0, 0, 0) without a volume.
void keFxCurlSample(const irr::f32 p[3], irr::f32 out[3]);

}  // namespace kolm
