// Particles simulated per millisecond on one core (262144 particles, the shared pool's size):
// a loop that only integrates positions over the same records (the yardstick), the simulation
// with no optional term, with the default resistance, and with every term on (random velocity,
// curl noise, resistance, gravity, sorting keys); then a whole update with emission and the
// back-to-front sort. Prints particles/ms and the ratio to the yardstick, which holds under
// load, and the allocations per update, which must be 0.
#include "fx/CKeFxEmitter.h"
#include "fx/KeFxParticle.h"

#include <benchmark/benchmark.h>
#include <irrlicht/matrix4.h>

#include <ctime>
#include <cstring>
#include <random>
#include <vector>

#include "support/alloc_counter.h"

using namespace irr;
using namespace kolm;

namespace {

constexpr u32 kCount = kFxSharedPoolSize;
double g_integrateNsPerParticle = 0;

// CPU time of this thread: the figures of a busy machine stay comparable.
double threadSeconds() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

struct Ring {
    CKeFxParticlePool pool{kCount};
    FxEmitterState state;
    std::vector<signed char> volume;

    Ring() : volume(3 * 64 * 64 * 64) {
        std::mt19937 rng(1);
        for (signed char& v : volume) v = static_cast<signed char>(int(rng() % 256) - 128);
        keFxSetNoiseVolume(volume.data(), 64);
        std::uniform_real_distribution<f32> u(-4, 4);
        state.pool = &pool;
        for (u32 i = 0; i < kCount; ++i) {
            KeFxParticle* p = pool.take();
            p->birth = 0, p->death = 1e9f, p->sortKey = 0;
            const f32 pos[4] = {u(rng), u(rng), u(rng), 1}, vel[4] = {u(rng), u(rng), u(rng), 0};
            std::memcpy(p->pos, pos, sizeof pos);
            std::memcpy(p->vel, vel, sizeof vel);
            p->next = state.liveLast ? state.liveLast->next : p;
            if (state.liveLast) state.liveLast->next = p;
            state.liveLast = p;
            ++state.liveCount;
        }
    }
};

Ring& ring() {
    static Ring r;
    return r;
}

void report(benchmark::State& st, double seconds) {
    const double nsPer = seconds * 1e9 / (double(st.iterations()) * kCount);
    st.counters["particles/ms"] = 1e6 / nsPer;
    if (g_integrateNsPerParticle > 0) st.counters["x integrate"] = nsPer / g_integrateNsPerParticle;
}

// The yardstick: position += velocity x dt over the same linked records, nothing else.
void BM_IntegrateOnly(benchmark::State& st) {
    Ring& r = ring();
    const f32 dt = 0.001f;
    const double start = threadSeconds();
    for (auto _ : st) {
        KeFxParticle* p = r.state.liveLast->next;
        for (u32 i = 0; i < r.state.liveCount; ++i, p = p->next)
            for (int a = 0; a < 3; ++a) p->pos[a] += p->vel[a] * dt;
        benchmark::ClobberMemory();
    }
    const double seconds = threadSeconds() - start;
    g_integrateNsPerParticle = seconds * 1e9 / (double(st.iterations()) * kCount);
    report(st, seconds);
}

void simulateWith(benchmark::State& st, f32 randomVelocity, f32 curl, f32 resistance, f32 gravity, bool sorted) {
    Ring& r = ring();
    r.state.randomVelocity = randomVelocity;
    r.state.curlNoisePower = curl;
    r.state.resistance = resistance;
    r.state.gravity[1] = gravity;
    r.state.sorted = sorted;
    const double start = threadSeconds();
    for (auto _ : st) benchmark::DoNotOptimize(keFxSimulate(r.state, 1.0f, 0.001f));
    report(st, threadSeconds() - start);
}

void BM_SimulatePlain(benchmark::State& st) { simulateWith(st, 0, 0, 0, 0, false); }
void BM_SimulateDefaultResistance(benchmark::State& st) { simulateWith(st, 0, 0, 1, 0, false); }
void BM_SimulateEverything(benchmark::State& st) { simulateWith(st, 1, 1, 1, -9.8f, true); }

// Whole updates of an emitter on the shared pool that keeps about 262000 particles alive, with
// every term and the sort; allocations counted across the timed updates.
void BM_UpdateEverythingSorted(benchmark::State& st) {
    ring();  // the noise volume
    CKeFxEmitter e;
    e.init(0, true);
    core::matrix4 m;
    e.setTransform(m);
    e.setBirthRate(262144.0f / 1.0f);
    e.setLifeTime(0.98f, 0);
    e.setRandomVelocity(1);
    e.setCurlNoisePower(1);
    e.setGravity(0, -9.8f, 0);
    e.setSorted(true);
    u32 now = 1;
    for (int i = 0; i < 70; ++i) e.update(now += 16);
    // Allocations counted over ten updates of the steady state, apart from the timing loop (whose
    // own bookkeeping allocates).
    const long before = gAllocations.load();
    for (int i = 0; i < 10; ++i) e.update(now += 16);
    const double allocationsPerUpdate = double(gAllocations.load() - before) / 10.0;
    const double start = threadSeconds();
    for (auto _ : st) e.update(now += 16);
    const double seconds = threadSeconds() - start;
    st.counters["live"] = e.getParticleCount();
    st.counters["allocations/update"] = allocationsPerUpdate;
    const double nsPer = seconds * 1e9 / (double(st.iterations()) * e.getParticleCount());
    st.counters["particles/ms"] = 1e6 / nsPer;
}

}  // namespace

BENCHMARK(BM_IntegrateOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SimulatePlain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SimulateDefaultResistance)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SimulateEverything)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UpdateEverythingSorted)->Unit(benchmark::kMillisecond);
