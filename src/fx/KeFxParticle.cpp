#include "fx/KeFxParticle.h"

#include "core/KeError.h"

#include <cmath>
#include <cstdlib>
#include <new>

namespace kolm {

using namespace irr;

namespace {

CKeFxParticlePool* g_sharedPool = nullptr;
int g_sharedPoolUsers = 0;
u32 g_randomState = 0;
const signed char* g_noise = nullptr;
u32 g_noiseEdge = 0;

}  // namespace

CKeFxParticlePool::CKeFxParticlePool(u32 size) {
    if (size == 0) return;
    // 64-byte records on 64-byte boundaries: each record fills one cache line.
    void* memory = std::aligned_alloc(64, size_t(size) * sizeof(KeFxParticle));
    if (!memory) return;
    m_records = static_cast<KeFxParticle*>(memory);
    m_size = size;
    for (u32 i = 0; i < size; ++i) {
        KeFxParticle* p = new (&m_records[i]) KeFxParticle();
        p->next = i + 1 < size ? &m_records[i + 1] : nullptr;
    }
    m_free = m_records;
    m_freeCount = size;
}

CKeFxParticlePool::~CKeFxParticlePool() { std::free(m_records); }

CKeFxParticlePool* keFxAcquireSharedPool() {
    if (!g_sharedPool) {
        printMessage(KE_DEBUG, "CKeFxEmitter: Allocate Shared ParticleBuffer");
        // The records are the allocation that can fail; the pool object itself is small.
        CKeFxParticlePool* pool = new CKeFxParticlePool(kFxSharedPoolSize);
        if (!pool->valid()) {
            delete pool;
            return nullptr;
        }
        g_sharedPool = pool;
    }
    ++g_sharedPoolUsers;
    return g_sharedPool;
}

void keFxReleaseSharedPool() {
    if (g_sharedPoolUsers <= 0) return;
    if (--g_sharedPoolUsers == 0) {
        delete g_sharedPool;
        g_sharedPool = nullptr;
    }
}

int keFxSharedPoolUsers() { return g_sharedPoolUsers; }

u32 keFxRandom() {
    g_randomState = g_randomState * 214013u + 2531011u;
    return (g_randomState >> 16) & 0x7FFF;
}

void keFxSetRandomState(u32 state) { g_randomState = state; }
u32 keFxRandomState() { return g_randomState; }

void keFxSetNoiseVolume(const signed char* entries, u32 edge) {
    g_noise = edge ? entries : nullptr;
    g_noiseEdge = entries ? edge : 0;
}

void keFxCurlSample(const f32 p[3], f32 out[3]) {
    const signed char* v = g_noise;
    const u32 n = g_noiseEdge;
    if (!v || n == 0) {
        out[0] = out[1] = out[2] = 0.0f;
        return;
    }
    u32 i0[3], i1[3];
    f32 f[3];
    for (int a = 0; a < 3; ++a) {
        const f32 fl = std::floor(p[a]);
        f[a] = p[a] - fl;
        // Cells far outside any volume (or not numbers) wrap from 0: no undefined conversion.
        const long long cell = std::fabs(fl) < 1e15f ? static_cast<long long>(fl) : 0;
        long long m = cell % static_cast<long long>(n);
        if (m < 0) m += n;
        i0[a] = u32(m);
        i1[a] = i0[a] + 1 == n ? 0 : i0[a] + 1;
    }
    const size_t nn = size_t(n) * n;
    const size_t y0 = i0[1] * size_t(n), y1 = i1[1] * size_t(n);
    const size_t z0 = i0[2] * nn, z1 = i1[2] * nn;
    const signed char* c000 = v + 3 * (i0[0] + y0 + z0);
    const signed char* c100 = v + 3 * (i1[0] + y0 + z0);
    const signed char* c010 = v + 3 * (i0[0] + y1 + z0);
    const signed char* c110 = v + 3 * (i1[0] + y1 + z0);
    const signed char* c001 = v + 3 * (i0[0] + y0 + z1);
    const signed char* c101 = v + 3 * (i1[0] + y0 + z1);
    const signed char* c011 = v + 3 * (i0[0] + y1 + z1);
    const signed char* c111 = v + 3 * (i1[0] + y1 + z1);
    for (int c = 0; c < 3; ++c) {
        const f32 x00 = c000[c] + (c100[c] - c000[c]) * f[0];
        const f32 x10 = c010[c] + (c110[c] - c010[c]) * f[0];
        const f32 x01 = c001[c] + (c101[c] - c001[c]) * f[0];
        const f32 x11 = c011[c] + (c111[c] - c011[c]) * f[0];
        const f32 y0v = x00 + (x10 - x00) * f[1];
        const f32 y1v = x01 + (x11 - x01) * f[1];
        out[c] = y0v + (y1v - y0v) * f[2];
    }
}

}  // namespace kolm
