// The fx emitter: its parameter-and-state block, emission by kind, and the simulation.
//
// Sections: the state block; the emitter (setters, init, update, particle access, release).
#pragma once

#include "fx/IKeFxEmitter.h"
#include "fx/KeFxParticle.h"

#include <irrlicht/irrTypes.h>
#include <irrlicht/matrix4.h>

#include <vector>

namespace kolm {

class CKeFxEmitter;

// Parameters (defaults after construction) and the running state of one emitter. Vectors are
// four floats; positions carry w = 1, velocities w = 0.
struct FxEmitterState {
    irr::f32 birthRate = 100.0f;  // particles per second
    irr::f32 generatorSize[3] = {1.0f, 1.0f, 1.0f};
    irr::u32 particleLimit = 0;  // total emissions; 0 = unlimited
    irr::f32 weight = 1.0f, weightVariation = 0.0f;
    irr::f32 particleSize = 0.0f, sizeVariation = 0.0f;
    irr::f32 resistance = 1.0f, resistanceVariation = 0.0f;
    irr::f32 lifeTime = 2.0f, lifeTimeVariation = 0.0f;  // s
    alignas(16) irr::f32 velocity[4] = {0, 0, 0, 0};
    irr::f32 explosion = 0.0f;
    irr::f32 vibration = 0.0f, vibrationVariation = 0.0f;
    alignas(16) irr::f32 gravity[4] = {0, 0, 0, 0};
    irr::f32 extraVector[3] = {0, 0, 0};
    irr::f32 extraValueA = 1.0f;
    irr::f32 parentMotion = 1.0f;
    irr::f32 extraValueB = 0.0f;
    irr::f32 randomVelocity = 0.0f;
    irr::f32 curlNoisePower = 0.0f;
    irr::f32 curlNoiseFrequency = 4.0f;
    irr::core::matrix4 transform{irr::core::matrix4::EM4CONST_NOTHING};  // emitter to world; zero
    alignas(16) irr::f32 sortOrigin[4] = {0, 0, 0, 1};
    bool sorted = false;
    irr::u32 kind = 0;
    irr::scene::IMesh* mesh = nullptr;  // held
    irr::u32 meshBuffer = 0, meshVertex = 0;
    CKeFxEmitter* source = nullptr;  // cleared when the source is destroyed
    bool sharedPool = false;
    CKeFxParticlePool* pool = nullptr;
    // Running state. `started` replaces a last update time of 0 as "not started".
    bool started = false;
    irr::u32 lastUpdateMs = 0;
    alignas(16) irr::f32 samplePos[4] = {0, 0, 0, 1};
    irr::u32 sampleMs = 0;
    alignas(16) irr::f32 emitterVelocity[4] = {0, 0, 0, 0};  // units per second
    alignas(16) irr::f32 prevEmitPos[4] = {0, 0, 0, 1};
    alignas(16) irr::f32 prevParentVel[4] = {0, 0, 0, 0};
    irr::f32 carry = 0.0f;  // fraction of a particle
    KeFxParticle* liveLast = nullptr;  // the live ring by its last element
    irr::u32 liveCount = 0;
    irr::u32 emittedCount = 0;
    KeFxParticle* released = nullptr;  // died in the last update, null-terminated
    KeFxParticle* releasedLast = nullptr;
    irr::u32 releasedCount = 0;
    KeFxParticle* sourceCursor = nullptr;  // kinds 5 and 6
    irr::u32 sourceCounter = 0;
};

class CKeFxEmitter : public IKeFxEmitter {
public:
    CKeFxEmitter();
    // Returns every particle to its pool, releases the shared pool or frees the own one, and
    // clears the source of every emitter fed by this one.
    ~CKeFxEmitter() override;
    CKeFxEmitter(const CKeFxEmitter&) = delete;
    CKeFxEmitter& operator=(const CKeFxEmitter&) = delete;

    void setBirthRate(irr::f32 perSecond) override { m_s.birthRate = perSecond; }
    void setGeneratorSize(irr::f32 x, irr::f32 y, irr::f32 z) override;
    void setParticleLimit(irr::u32 total) override { m_s.particleLimit = total; }
    void setWeight(irr::f32 value, irr::f32 variation) override;
    void setParticleSize(irr::f32 value, irr::f32 variation) override;
    void setResistance(irr::f32 value, irr::f32 variation) override;
    void setLifeTime(irr::f32 seconds, irr::f32 variation) override;
    void setVelocity(irr::f32 x, irr::f32 y, irr::f32 z) override;
    void setExplosion(irr::f32 value) override { m_s.explosion = value; }
    void setVibration(irr::f32 value, irr::f32 variation) override;
    void setGravity(irr::f32 x, irr::f32 y, irr::f32 z) override;
    void setExtraVector(irr::f32 x, irr::f32 y, irr::f32 z) override;
    void setExtraValueA(irr::f32 value) override { m_s.extraValueA = value; }
    void setParentMotion(irr::f32 value) override { m_s.parentMotion = value; }
    void setExtraValueB(irr::f32 value) override { m_s.extraValueB = value; }
    void setRandomVelocity(irr::f32 value) override { m_s.randomVelocity = value; }
    void setCurlNoisePower(irr::f32 value) override { m_s.curlNoisePower = value; }
    void setCurlNoiseFrequency(irr::f32 value) override { m_s.curlNoiseFrequency = value; }
    void setTransform(const irr::core::matrix4& emitterToWorld) override { m_s.transform = emitterToWorld; }
    void setSortOrigin(irr::f32 x, irr::f32 y, irr::f32 z) override;
    void setSorted(bool sorted) override { m_s.sorted = sorted; }
    void setKind(irr::u32 kind) override { m_s.kind = kind; }
    void setMesh(irr::scene::IMesh* mesh) override;
    void setSource(IKeFxEmitter* source) override;
    irr::u32 getParticleCount() const override { return m_s.liveCount; }
    void reset() override;
    void resetEmittedCount() override { m_s.emittedCount = 0; }

    // Attaches the emitter to the shared pool (shared) or allocates an own pool of `size`
    // records (65536 for 0). -1 for a negative size; 0 otherwise, also when the pool could
    // not be allocated (the emitter then emits nothing).
    int init(int size, bool shared);
    // One step at `nowMs` of the device timer: returns last update's dead particles, emits,
    // simulates and sorts. The first call (and the first after a release) only takes the
    // reference positions. A clock that went backwards restarts the same way.
    void update(irr::u32 nowMs);
    // Appends one particle at (x, y, z) with zero velocity, living from birthMs to deathMs.
    // False when the pool has no free record.
    bool addStaticParticle(irr::f32 x, irr::f32 y, irr::f32 z, irr::u32 birthMs, irr::u32 deathMs);
    // Writes at most `max` live particles in ring order; returns how many.
    irr::u32 copyParticles(KeFxInstance* out, irr::u32 max) const;
    // Returns the released list to the pool; then, unless keepOwn is set and the pool is the
    // emitter's own, every live particle too, and the next update starts like the first.
    void releaseAll(bool keepOwn);

    const FxEmitterState& state() const { return m_s; }
    // The first live particle (ring order), or null; particles link through `next` and the
    // last one's next is the first.
    const KeFxParticle* firstParticle() const { return m_s.liveLast ? m_s.liveLast->next : nullptr; }
    const KeFxParticle* releasedParticles() const { return m_s.released; }
    irr::u32 releasedCount() const { return m_s.releasedCount; }

private:
    irr::u32 emit(irr::f32 t, irr::f32 dt, irr::u32 remaining);
    irr::u32 simulate(irr::f32 t, irr::f32 dt);
    void sortRing();
    void append(KeFxParticle* p);
    void returnReleased();
    bool nextMeshVertex(irr::f32 pos[3], irr::f32 dir[3], bool normal);
    bool meshSurfacePoint(irr::f32 pos[3]);
    void clearSource();

    struct SortPair {
        irr::u32 key;
        KeFxParticle* particle;
    };

    FxEmitterState m_s;
    std::vector<SortPair> m_sortScratch;  // grows with the live count of a sorted emitter
    // Emitters whose source this is (a list through m_nextDependent), cleared on destruction.
    CKeFxEmitter* m_firstDependent = nullptr;
    CKeFxEmitter* m_nextDependent = nullptr;
};

// The simulation step over the live ring of `s` at time t (s) by dt (s), in the variant that the
// terms and switches of `s` choose: particles with t > death move to the released list, the
// others move. Returns (and stores) the live count.
irr::u32 keFxSimulate(FxEmitterState& s, irr::f32 t, irr::f32 dt);

}  // namespace kolm
