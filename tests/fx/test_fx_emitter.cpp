// Fx emitters on the CPU: the random generator, pools and their lists under random operations,
// the 32 simulation loops against one scalar reference, emission rules by kind, sorting, curl
// noise, determinism, and the faults a naive emitter has (huge or backward time steps, weight
// 0, empty meshes, a deleted source).
#include "fx/CKeFxEmitter.h"
#include "fx/KeFxParticle.h"

#include <gtest/gtest.h>
#include <irrlicht/SMesh.h>
#include <irrlicht/SMeshBuffer.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "support/alloc_counter.h"

using namespace irr;
using namespace kolm;

namespace {

core::matrix4 translation(f32 x, f32 y, f32 z) {
    core::matrix4 m;
    m.setTranslation(core::vector3df(x, y, z));
    return m;
}

// A fresh emitter on an own pool with the identity transform and the random state at 0.
std::unique_ptr<CKeFxEmitter> makeEmitter(int poolSize = 1024) {
    auto e = std::make_unique<CKeFxEmitter>();
    EXPECT_EQ(e->init(poolSize, false), 0);
    e->setTransform(core::matrix4());
    keFxSetRandomState(0);
    return e;
}

std::vector<const KeFxParticle*> live(const CKeFxEmitter& e) {
    std::vector<const KeFxParticle*> out;
    const KeFxParticle* p = e.firstParticle();
    for (u32 i = 0; p && i < e.getParticleCount(); ++i, p = p->next) out.push_back(p);
    return out;
}

u32 listLength(const KeFxParticle* p) {
    u32 n = 0;
    for (; p; p = p->next) ++n;
    return n;
}

// The live ring closes after exactly the live count.
void expectRing(const CKeFxEmitter& e) {
    const KeFxParticle* first = e.firstParticle();
    if (e.getParticleCount() == 0) {
        EXPECT_EQ(first, nullptr);
        return;
    }
    const KeFxParticle* p = first;
    for (u32 i = 0; i < e.getParticleCount(); ++i) {
        p = p->next;
        if (i + 1 < e.getParticleCount()) {
            ASSERT_NE(p, first) << "ring closes early at " << i;
        }
    }
    EXPECT_EQ(p, first);
}

TEST(FxRandom, GeneratorFromZero) {
    keFxSetRandomState(0);
    EXPECT_EQ(keFxRandom(), 38u);
    EXPECT_EQ(keFxRandom(), 7719u);
    EXPECT_EQ(keFxRandom(), 21238u);
}

TEST(FxPool, SharedPoolIsCountedAndEveryRecordAccountedForUnderRandomOperations) {
    const u32 size = kFxSharedPoolSize;
    std::mt19937 rng(7);
    {
        std::vector<std::unique_ptr<CKeFxEmitter>> emitters;
        for (int i = 0; i < 3; ++i) {
            emitters.push_back(std::make_unique<CKeFxEmitter>());
            ASSERT_EQ(emitters.back()->init(0, true), 0);
            emitters.back()->setTransform(core::matrix4());
        }
        EXPECT_EQ(keFxSharedPoolUsers(), 3);
        CKeFxParticlePool* pool = const_cast<CKeFxParticlePool*>(emitters[0]->state().pool);
        ASSERT_NE(pool, nullptr);
        ASSERT_EQ(pool->size(), size);
        emitters[1]->setKind(5);
        emitters[1]->setSource(emitters[0].get());
        emitters[2]->setKind(6);
        emitters[2]->setSource(emitters[0].get());
        u32 now[3] = {1, 1, 1};
        for (int step = 0; step < 400; ++step) {
            const int i = int(rng() % 3);
            CKeFxEmitter& e = *emitters[i];
            switch (rng() % 8) {
            case 0: e.reset(); break;
            case 1: e.releaseAll(true); break;
            case 2: e.setBirthRate(f32(rng() % 200000)); break;
            case 3: e.setLifeTime(f32(rng() % 100) / 50.0f, 0.5f); break;
            case 4: e.setParticleLimit(rng() % 3 ? 0 : rng() % 500); break;
            default: now[i] += rng() % 300; e.update(now[i]); break;
            }
            u32 used = 0;
            for (auto& x : emitters) {
                used += x->getParticleCount() + x->releasedCount();
                EXPECT_EQ(listLength(x->releasedParticles()), x->releasedCount());
                expectRing(*x);
            }
            ASSERT_EQ(pool->freeCount() + used, size) << "step " << step;
        }
        emitters.clear();  // destroying a source clears its dependants first
    }
    EXPECT_EQ(keFxSharedPoolUsers(), 0);
}

// --- the 32 simulation loops against one scalar reference --------------------------------

struct RefParticle {
    f32 birth, death, key, pos[4], vel[4];
};

// The simulation written out plainly, one term after another, for one particle list.
u32 referenceSimulate(std::vector<RefParticle>& ps, std::vector<RefParticle>& released, const FxEmitterState& s,
                      f32 t, f32 dt) {
    std::vector<RefParticle> alive;
    const bool res = s.resistance != 0.0f && s.weight != 0.0f;
    const bool grav = s.gravity[0] != 0.0f || s.gravity[1] != 0.0f || s.gravity[2] != 0.0f;
    for (RefParticle p : ps) {
        if (t > p.death) {
            released.push_back(p);
            continue;
        }
        if (s.randomVelocity != 0.0f) {
            f32 r[3];
            for (f32& x : r) x = f32(keFxRandom()) / 32767.0f - 0.5f;
            for (int a = 0; a < 3; ++a) p.vel[a] += r[a] * (s.randomVelocity * 0.05f);
        }
        if (s.curlNoisePower != 0.0f) {
            const f32 q[3] = {p.pos[0] * s.curlNoiseFrequency, p.pos[1] * s.curlNoiseFrequency,
                              p.pos[2] * s.curlNoiseFrequency};
            f32 c[3];
            keFxCurlSample(q, c);
            for (int a = 0; a < 3; ++a) p.pos[a] += c[a] * (dt * s.curlNoisePower * 0.04f);
        }
        if (res) {
            const f32 k = (s.resistance / s.weight) * dt;
            for (int a = 0; a < 3; ++a) p.vel[a] -= p.vel[a] * k;
        }
        if (grav)
            for (int a = 0; a < 3; ++a) p.vel[a] += s.gravity[a] * dt;
        for (int a = 0; a < 3; ++a) p.pos[a] += p.vel[a] * dt;
        if (s.sorted) {
            f32 d2 = 0;
            for (int a = 0; a < 3; ++a) d2 += (p.pos[a] - s.sortOrigin[a]) * (p.pos[a] - s.sortOrigin[a]);
            p.key = d2;
        }
        alive.push_back(p);
    }
    ps = alive;
    return u32(ps.size());
}

TEST(FxSimulate, EveryVariantMatchesTheScalarReference) {
    std::vector<signed char> volume(3 * 4 * 4 * 4);
    std::mt19937 rng(3);
    for (signed char& v : volume) v = static_cast<signed char>(int(rng() % 256) - 128);
    keFxSetNoiseVolume(volume.data(), 4);
    for (int variant = 0; variant < 32; ++variant) {
        SCOPED_TRACE(::testing::Message() << "variant " << variant);
        CKeFxParticlePool pool(300);
        FxEmitterState s;
        s.pool = &pool;
        s.randomVelocity = (variant & 1) ? 3.0f : 0.0f;
        s.curlNoisePower = (variant & 2) ? 2.5f : 0.0f;
        s.curlNoiseFrequency = 1.7f;
        s.resistance = (variant & 4) ? 0.8f : 0.0f;
        s.weight = 2.0f;
        s.gravity[1] = (variant & 8) ? -9.8f : 0.0f;
        s.sorted = (variant & 16) != 0;
        s.sortOrigin[0] = 1, s.sortOrigin[1] = -2, s.sortOrigin[2] = 3;
        std::vector<RefParticle> ref;
        std::uniform_real_distribution<f32> u(-5, 5);
        for (int i = 0; i < 300; ++i) {
            KeFxParticle* p = pool.take();
            RefParticle r{0, (i % 7 == 0) ? 0.5f : 10.0f, 0, {u(rng), u(rng), u(rng), 1}, {u(rng), u(rng), u(rng), 0}};
            p->birth = r.birth, p->death = r.death, p->sortKey = 0;
            std::memcpy(p->pos, r.pos, sizeof r.pos);
            std::memcpy(p->vel, r.vel, sizeof r.vel);
            p->next = s.liveLast ? s.liveLast->next : p;
            if (s.liveLast) s.liveLast->next = p;
            s.liveLast = p;
            ++s.liveCount;
            ref.push_back(r);
        }
        std::vector<RefParticle> released;
        for (int step = 0; step < 3; ++step) {
            const f32 t = 0.4f * f32(step), dt = 0.016f + 0.01f * f32(step);
            keFxSetRandomState(99);
            const u32 n = keFxSimulate(s, t, dt);
            const u32 stateAfter = keFxRandomState();
            keFxSetRandomState(99);
            ASSERT_EQ(n, referenceSimulate(ref, released, s, t, dt));
            EXPECT_EQ(stateAfter, keFxRandomState()) << "the same draws in the same order";
            const KeFxParticle* p = s.liveLast->next;
            for (u32 i = 0; i < n; ++i, p = p->next) {
                for (int a = 0; a < 4; ++a) {
                    ASSERT_FLOAT_EQ(p->pos[a], ref[i].pos[a]) << "particle " << i << " axis " << a;
                    ASSERT_FLOAT_EQ(p->vel[a], ref[i].vel[a]) << "particle " << i << " axis " << a;
                }
                if (s.sorted) {
                    ASSERT_FLOAT_EQ(p->sortKey, ref[i].key);
                }
            }
            EXPECT_EQ(p, s.liveLast->next);
            ASSERT_EQ(s.releasedCount, u32(released.size()));
        }
        EXPECT_EQ(listLength(s.released), 300u - s.liveCount);
    }
    keFxSetNoiseVolume(nullptr, 0);
}

// --- emission --------------------------------------------------------------------------------

TEST(FxEmit, BirthRateCarriesTheFractionAndTheFirstUpdateEmitsNothing) {
    auto e = makeEmitter();
    e->setLifeTime(100, 0);
    const u32 expected[] = {0, 1, 2, 1, 2, 2, 1};
    const f32 carries[] = {0, 0.6f, 0.2f, 0.8f, 0.4f, 0.0f, 0.6f};
    u32 before = 0;
    for (int i = 0; i < 7; ++i) {
        e->update(1000 + 16 * u32(i));
        EXPECT_EQ(e->getParticleCount() - before, expected[i]) << "update " << i;
        EXPECT_NEAR(e->state().carry, carries[i], 1e-4f) << "update " << i;
        before = e->getParticleCount();
    }
}

TEST(FxEmit, ParticleLimitCountsEmissionsEvenAfterDeath) {
    auto e = makeEmitter();
    e->setBirthRate(1000);
    e->setLifeTime(0.05f, 0);
    e->setParticleLimit(10);
    for (u32 t = 0; t <= 1000; t += 20) e->update(t);
    EXPECT_EQ(e->state().emittedCount, 10u);
    EXPECT_EQ(e->getParticleCount(), 0u);
    e->resetEmittedCount();
    for (u32 t = 1020; t <= 1200; t += 20) e->update(t);
    EXPECT_EQ(e->state().emittedCount, 10u);
}

TEST(FxEmit, DefaultResistanceDecaysSpeedByOneMinusDt) {
    auto e = makeEmitter();
    e->setBirthRate(1000);
    e->setVelocity(0, 0, 10);
    e->setLifeTime(100, 0);
    e->setGeneratorSize(0, 0, 0);
    e->update(0);
    e->update(1);  // one particle at speed 10, moved by 1 ms
    ASSERT_EQ(e->getParticleCount(), 1u);
    e->setBirthRate(0);
    f32 v = live(*e)[0]->vel[2];
    for (u32 t = 101; t <= 501; t += 100) {
        e->update(t);
        EXPECT_NEAR(live(*e)[0]->vel[2], v * (1 - 0.1f), 1e-4f);
        v = live(*e)[0]->vel[2];
    }
}

TEST(FxEmit, LifeOfZeroDiesAtTheNextUpdate) {
    auto e = makeEmitter();
    e->setBirthRate(100);
    e->setLifeTime(1, 10);  // variation beyond twice the life: some lives clamp to 0
    u32 zeroLives = 0;
    e->update(0);
    for (u32 t = 100; t <= 3000; t += 100) {
        e->update(t);
        for (const KeFxParticle* p : live(*e)) {
            EXPECT_GE(p->death, p->birth);
            if (p->death == p->birth) {
                ++zeroLives;
                EXPECT_EQ(p->birth, f32(t / 1000.0));  // only the newest can have no life left
            }
        }
    }
    EXPECT_GT(zeroLives, 0u);
}

TEST(FxEmit, MovingEmitterSpreadsItsParticlesAlongThePath) {
    auto e = makeEmitter();
    e->setGeneratorSize(0, 0, 0);
    e->setResistance(0, 0);
    e->setBirthRate(400);
    e->setLifeTime(100, 0);
    e->update(0);
    e->setTransform(translation(1, 0, 0));
    e->update(10);  // four particles (1 ms of movement is too short to matter)
    const auto ps = live(*e);
    ASSERT_EQ(ps.size(), 4u);
    for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(ps[i]->pos[0], 1.0f - f32(i) / 4.0f, 1e-5f) << i;
}

TEST(FxEmit, EmitterVelocityIsSampledOverAtLeastElevenMs) {
    auto e = makeEmitter();
    e->update(0);
    e->setTransform(translation(1, 0, 0));
    e->update(5);
    EXPECT_EQ(e->state().emitterVelocity[0], 0.0f);
    e->setTransform(translation(2, 0, 0));
    e->update(20);
    EXPECT_FLOAT_EQ(e->state().emitterVelocity[0], 100.0f);  // 2 units in 20 ms
    e->update(25);
    EXPECT_FLOAT_EQ(e->state().emitterVelocity[0], 100.0f);
}

TEST(FxEmit, DyingSourceFeedsOneParticlePerDeathAtRateThirty) {
    for (f32 rate : {30.0f, 60.0f}) {
        auto src = makeEmitter();
        src->setBirthRate(1000);
        src->setLifeTime(0.05f, 0);
        CKeFxEmitter child;
        child.init(4096, false);
        child.setTransform(core::matrix4());
        child.setKind(6);
        child.setSource(src.get());
        child.setBirthRate(rate);
        child.setLifeTime(100, 0);
        u32 total = 0;
        for (u32 t = 0; t <= 400; t += 20) {
            src->update(t);
            const u32 dying = src->releasedCount();
            const u32 before = child.getParticleCount();
            child.update(t);
            if (t > 0) {
                EXPECT_EQ(child.getParticleCount() - before, dying * u32(rate / 30)) << t;
            }
            EXPECT_EQ(child.state().carry, 0.0f);
            total += dying;
        }
        EXPECT_GT(total, 0u);
    }
}

TEST(FxEmit, SourceParticlesPlaceChildrenExactlyOnThemWhereverTheChildIs) {
    auto src = makeEmitter();
    src->setBirthRate(500);
    src->setLifeTime(100, 0);
    src->setVelocity(1, 2, 3);
    CKeFxEmitter child;
    child.init(4096, false);
    child.setTransform(translation(50, 60, 70));
    child.setKind(5);
    child.setSource(src.get());
    child.setBirthRate(200);
    child.setLifeTime(100, 0);
    for (u32 t = 0; t <= 100; t += 20) {
        src->update(t);
        child.update(t);
    }
    ASSERT_GT(child.getParticleCount(), 0u);
    // Positions are those of source particles at emission, untransformed: within the source's box.
    for (const KeFxParticle* p : live(child))
        for (int a = 0; a < 3; ++a) EXPECT_LT(std::fabs(p->pos[a]), 2.0f);
}

TEST(FxEmit, KindsPlaceParticlesInTheirShapes) {
    scene::SMesh mesh;
    auto* buffer = new scene::SMeshBuffer();
    const core::vector3df corners[3] = {{0, 0, 0}, {4, 0, 0}, {0, 4, 0}};
    for (const auto& c : corners) buffer->Vertices.push_back(video::S3DVertex(c, {0, 0, 1}, 0, {0, 0}));
    buffer->Indices.push_back(0), buffer->Indices.push_back(1), buffer->Indices.push_back(2);
    mesh.addMeshBuffer(buffer);
    buffer->drop();
    for (u32 kind : {0u, 1u, 2u, 3u, 4u}) {
        SCOPED_TRACE(kind);
        auto e = makeEmitter();
        e->setKind(kind);
        e->setMesh(&mesh);
        e->setGeneratorSize(2, 4, 6);
        e->setBirthRate(1000);
        e->setLifeTime(100, 0);
        e->setResistance(0, 0);
        e->update(0);
        e->update(60);
        const auto ps = live(*e);
        ASSERT_EQ(ps.size(), 60u);
        for (size_t i = 0; i < ps.size(); ++i) {
            const f32* p = ps[i]->pos;
            if (kind == 0) {
                EXPECT_LE(std::fabs(p[0]), 1.0f);
                EXPECT_LE(std::fabs(p[1]), 2.0f);
                EXPECT_LE(std::fabs(p[2]), 3.0f);
            } else if (kind == 1) {
                const f32 r = std::sqrt(p[0] * p[0] / 4 + p[1] * p[1] / 16 + p[2] * p[2] / 36);
                EXPECT_LE(r, 0.5f + 1e-5f);
            } else if (kind == 2 || kind == 3) {
                EXPECT_EQ(core::vector3df(p[0], p[1], p[2]), corners[i % 3]);  // vertices in order
            } else {
                EXPECT_GE(p[0], 0.0f);
                EXPECT_GE(p[1], 0.0f);
                EXPECT_LE(p[0] + p[1], 4.0f + 1e-5f);
                EXPECT_EQ(p[2], 0.0f);
            }
        }
    }
}

TEST(FxSort, LiveRingOrderedFarthestFirstAndStillARing) {
    auto e = makeEmitter();
    e->setBirthRate(10000);
    e->setGeneratorSize(10, 10, 10);
    e->setLifeTime(100, 0);
    e->setSorted(true);
    e->setSortOrigin(3, 0, 0);
    e->update(0);
    for (u32 t = 17; t < 200; t += 17) e->update(t);
    const auto ps = live(*e);
    ASSERT_GT(ps.size(), 1000u);
    for (size_t i = 1; i < ps.size(); ++i) ASSERT_GE(ps[i - 1]->sortKey, ps[i]->sortKey) << i;
    expectRing(*e);
}

TEST(FxCurl, TrilinearSampleWrapsNegativeCells) {
    std::vector<signed char> volume(3 * 8);
    for (int i = 0; i < 8; ++i) volume[3 * i] = static_cast<signed char>(i * 10);  // x: 10 x cell index
    keFxSetNoiseVolume(volume.data(), 2);
    const struct {
        f32 p[3];
        f32 x;
    } cases[] = {
        {{0, 0, 0}, 0},       {{1, 1, 1}, 70},       {{0.5f, 0, 0}, 5},     {{-1, 0, 0}, 10},
        {{-0.5f, 0, 0}, 5},   {{2.25f, 0, 0}, 2.5f}, {{0, 0.5f, 0.5f}, 30}, {{1e30f, 0, 0}, 0},
    };
    for (const auto& c : cases) {
        f32 out[3];
        keFxCurlSample(c.p, out);
        EXPECT_FLOAT_EQ(out[0], c.x) << c.p[0] << " " << c.p[1] << " " << c.p[2];
        EXPECT_EQ(out[1], 0.0f);
    }
    keFxSetNoiseVolume(nullptr, 0);
}

TEST(FxEmit, SameTimeSequenceGivesTheSameParticles) {
    std::vector<signed char> volume(3 * 27, 40);
    keFxSetNoiseVolume(volume.data(), 3);
    std::vector<f32> runs[2];
    for (auto& run : runs) {
        auto e = makeEmitter(8192);
        e->setBirthRate(3000);
        e->setRandomVelocity(2);
        e->setCurlNoisePower(1);
        e->setGravity(0, -1, 0);
        e->setVibration(0.5f, 0);
        e->setExplosion(1);
        for (u32 t = 0; t < 1000; t += 33) {
            e->setTransform(translation(f32(t) / 100.0f, 0, 0));
            e->update(t);
        }
        for (const KeFxParticle* p : live(*e)) run.insert(run.end(), {p->pos[0], p->pos[1], p->pos[2], p->vel[0]});
    }
    ASSERT_FALSE(runs[0].empty());
    EXPECT_EQ(runs[0], runs[1]);
    keFxSetNoiseVolume(nullptr, 0);
}

TEST(FxStatic, StaticParticlesFillAnOwnPoolAndNeverDie) {
    CKeFxEmitter e;
    ASSERT_EQ(e.init(1000, false), 0);
    e.setTransform(core::matrix4());
    for (int i = 0; i < 1000; ++i) ASSERT_TRUE(e.addStaticParticle(f32(i), 0, 0, 0, 0xFFFFFFFFu));
    EXPECT_FALSE(e.addStaticParticle(0, 0, 0, 0, 0xFFFFFFFFu));
    for (u32 t : {0u, 1000u, 4000000000u}) e.update(t);
    EXPECT_EQ(e.getParticleCount(), 1000u);
    e.releaseAll(true);  // hidden: an own pool keeps its particles
    EXPECT_EQ(e.getParticleCount(), 1000u);
    std::vector<KeFxInstance> out(1000);
    ASSERT_EQ(e.copyParticles(out.data(), 1000), 1000u);
    EXPECT_EQ(out[999].pos[0], 999.0f);
}

TEST(FxEmit, UpdateAllocatesNothing) {
    std::vector<signed char> volume(3 * 8, 7);
    keFxSetNoiseVolume(volume.data(), 2);
    scene::SMesh mesh;
    auto* buffer = new scene::SMeshBuffer();
    for (int i = 0; i < 3; ++i) buffer->Vertices.push_back(video::S3DVertex(f32(i), f32(i * i), 0, 0, 0, 1, 0, 0, 0));
    for (u16 i : {0, 1, 2}) buffer->Indices.push_back(i);
    mesh.addMeshBuffer(buffer);
    buffer->drop();
    CKeFxEmitter source;
    source.init(0, true);
    source.setTransform(core::matrix4());
    source.setBirthRate(5000);
    source.setLifeTime(0.2f, 0.1f);
    source.setRandomVelocity(1);
    source.setCurlNoisePower(1);
    source.setGravity(0, -1, 0);
    source.setSorted(true);
    CKeFxEmitter fed[3];
    for (u32 k = 0; k < 3; ++k) {
        fed[k].init(0, true);
        fed[k].setTransform(core::matrix4());
        fed[k].setKind(k == 0 ? 4 : 4 + k);
        fed[k].setMesh(&mesh);
        fed[k].setSource(&source);
        fed[k].setBirthRate(k == 2 ? 60.0f : 3000.0f);
        fed[k].setLifeTime(0.3f, 0);
        fed[k].setSorted(true);
    }
    u32 now = 0;
    auto step = [&] {
        now += 16;
        source.update(now);
        for (CKeFxEmitter& e : fed) e.update(now);
    };
    for (int i = 0; i < 40; ++i) step();  // the sort's scratch grows to the steady live count
    const long before = gAllocations.load();
    for (int i = 0; i < 100; ++i) step();
    EXPECT_EQ(gAllocations.load() - before, 0);
    EXPECT_GT(source.getParticleCount(), 500u);
    keFxSetNoiseVolume(nullptr, 0);
}

// --- faults a naive emitter has --------------------------------------------------------------

TEST(FxMends, LongStallIsClampedAndABackwardClockRestarts) {
    auto e = makeEmitter(2048);
    e->setBirthRate(1e9f);
    e->setLifeTime(1e6f, 0);
    e->update(1);
    e->update(4000000000u);  // 1e9 per second over 46 days: more than any counter holds
    EXPECT_EQ(e->getParticleCount(), 2048u);
    EXPECT_EQ(e->state().carry, 0.0f);
    e->reset();
    e->setBirthRate(100);
    e->update(5000);
    e->update(1000);  // backwards: a new start, nothing emitted
    EXPECT_EQ(e->getParticleCount(), 0u);
    e->update(1100);
    EXPECT_EQ(e->getParticleCount(), 10u);
}

TEST(FxMends, FirstUpdateAtTimeZeroStillCountsAsStarted) {
    auto e = makeEmitter();
    e->setBirthRate(1000);
    e->update(0);
    e->update(10);
    EXPECT_EQ(e->getParticleCount(), 10u);
}

TEST(FxMends, WeightZeroSkipsResistance) {
    auto e = makeEmitter();
    e->setWeight(0, 0);
    e->setVelocity(1, 0, 0);
    e->setBirthRate(1000);
    e->update(0);
    e->update(10);
    e->update(20);
    for (const KeFxParticle* p : live(*e)) EXPECT_FLOAT_EQ(p->vel[0], 1.0f);
}

TEST(FxMends, EmptyMeshesAndMissingSourcesEmitNothingAndNeverHang) {
    scene::SMesh empty;
    scene::SMesh pointsOnly;  // vertices but no triangles in one buffer, nothing in another
    auto* b1 = new scene::SMeshBuffer();
    auto* b2 = new scene::SMeshBuffer();
    b2->Vertices.push_back(video::S3DVertex(1, 2, 3, 0, 0, 1, 0, 0, 0));
    pointsOnly.addMeshBuffer(b1), pointsOnly.addMeshBuffer(b2);
    b1->drop(), b2->drop();
    const struct {
        u32 kind;
        scene::IMesh* mesh;
        u32 expected;
    } cases[] = {{2, &empty, 0}, {3, &empty, 0}, {4, &empty, 0}, {2, &pointsOnly, 10},
                 {4, &pointsOnly, 0}, {2, nullptr, 0}, {5, nullptr, 0}, {6, nullptr, 0}, {9, nullptr, 0}};
    for (const auto& c : cases) {
        auto e = makeEmitter();
        e->setKind(c.kind);
        e->setMesh(c.mesh);
        e->setBirthRate(1000);
        e->update(0);
        e->update(10);
        EXPECT_EQ(e->getParticleCount(), c.expected) << "kind " << c.kind;
        if (c.expected) {
            EXPECT_EQ(live(*e)[0]->pos[2], 3.0f);
        }
    }
}

TEST(FxMends, DeletingTheSourceClearsItsChildren) {
    auto child = makeEmitter();
    child->setKind(5);
    child->setBirthRate(1000);
    {
        auto src = makeEmitter();
        src->setBirthRate(1000);
        child->setSource(src.get());
        src->update(0), src->update(10);
        child->update(0), child->update(10);
        EXPECT_EQ(child->state().source, src.get());
    }
    EXPECT_EQ(child->state().source, nullptr);
    const u32 before = child->getParticleCount();
    child->update(20);
    EXPECT_EQ(child->getParticleCount(), before);  // no source: nothing emitted, nothing read
}

}  // namespace
