#include "fx/CKeFxEmitter.h"

#include <irrlicht/IMesh.h>
#include <irrlicht/IMeshBuffer.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <utility>

namespace kolm {

using namespace irr;

namespace {

// Four floats processed together (SSE on x86-64): the same per-lane arithmetic as scalar code.
typedef f32 v4f __attribute__((vector_size(16)));

inline v4f load(const f32* p) {
    v4f v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void store(f32* p, v4f v) { std::memcpy(p, &v, sizeof v); }
inline v4f splat(f32 x) { return v4f{x, x, x, x}; }

// One draw as a value in [0, 1].
inline f32 draw() { return f32(keFxRandom()) / 32767.0f; }

// v normalised; (0, 0, 0) stays (0, 0, 0) instead of becoming not-a-number.
inline void unit3(const f32 v[3], f32 out[3]) {
    const f32 len2 = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
    if (len2 > 0.0f) {
        const f32 k = 1.0f / std::sqrt(len2);
        out[0] = v[0] * k;
        out[1] = v[1] * k;
        out[2] = v[2] * k;
    } else {
        out[0] = out[1] = out[2] = 0.0f;
    }
}

// The emitter-to-world transform on a point (translation added) and on a direction (not).
inline void transformPoint(const core::matrix4& m, const f32 v[3], f32 out[3]) {
    out[0] = v[0] * m[0] + v[1] * m[4] + v[2] * m[8] + m[12];
    out[1] = v[0] * m[1] + v[1] * m[5] + v[2] * m[9] + m[13];
    out[2] = v[0] * m[2] + v[1] * m[6] + v[2] * m[10] + m[14];
}
inline void rotateDirection(const core::matrix4& m, const f32 v[3], f32 out[3]) {
    out[0] = v[0] * m[0] + v[1] * m[4] + v[2] * m[8];
    out[1] = v[0] * m[1] + v[1] * m[5] + v[2] * m[9];
    out[2] = v[0] * m[2] + v[1] * m[6] + v[2] * m[10];
}

// A count of particles from a fraction that may be huge (a long stall), negative or not a
// number: at most `cap`, and the carried fraction only when the count is an honest one.
inline u32 wholeParticles(f32 f, u32 cap, f32* carry) {
    if (!(f >= 0.0f)) {
        *carry = 0.0f;
        return 0;
    }
    if (f >= f32(cap)) {
        *carry = 0.0f;
        return cap;
    }
    const f32 n = std::floor(f);
    *carry = f - n;
    return u32(n);
}

inline u32 vertexIndex(const scene::IMeshBuffer* b, u32 i) {
    return b->getIndexType() == video::EIT_32BIT ? static_cast<const u32*>(static_cast<const void*>(b->getIndices()))[i]
                                                 : u32(b->getIndices()[i]);
}
inline bool hasTriangles(const scene::IMeshBuffer* b) { return b && b->getIndexCount() >= 3 && b->getVertexCount() > 0; }

// The simulation loop of one combination of terms: no test per particle.
template <bool RandomVelocity, bool CurlNoise, bool Resistance, bool Gravity, bool Sorted>
u32 simulateLoop(FxEmitterState& s, f32 t, f32 dt) {
    if (!s.liveLast) return 0;
    const v4f vdt = splat(dt);
    const f32 jitter = s.randomVelocity * 0.05f;
    const f32 curlScale = dt * s.curlNoisePower * 0.04f;
    const f32 frequency = s.curlNoiseFrequency;
    const v4f drag = splat((s.resistance / s.weight) * dt);
    const v4f gravityStep = load(s.gravity) * vdt;
    const v4f origin = load(s.sortOrigin);
    KeFxParticle* prev = s.liveLast;
    KeFxParticle* p = prev->next;
    const u32 count = s.liveCount;
    u32 alive = 0;
    for (u32 i = 0; i < count; ++i) {
        KeFxParticle* next = p->next;
        if (t > p->death) {
            prev->next = next;
            p->next = nullptr;
            if (s.releasedLast)
                s.releasedLast->next = p;
            else
                s.released = p;
            s.releasedLast = p;
            ++s.releasedCount;
        } else {
            v4f vel = load(p->vel);
            v4f pos = load(p->pos);
            if (RandomVelocity) {
                const f32 rx = draw() - 0.5f;
                const f32 ry = draw() - 0.5f;
                const f32 rz = draw() - 0.5f;
                vel = vel + v4f{rx, ry, rz, 0.0f} * splat(jitter);
            }
            if (CurlNoise) {
                const f32 q[3] = {pos[0] * frequency, pos[1] * frequency, pos[2] * frequency};
                f32 c[3];
                keFxCurlSample(q, c);
                pos = pos + v4f{c[0], c[1], c[2], 0.0f} * splat(curlScale);
            }
            if (Resistance) vel = vel - vel * drag;
            if (Gravity) vel = vel + gravityStep;
            pos = pos + vel * vdt;
            store(p->vel, vel);
            store(p->pos, pos);
            if (Sorted) {
                const v4f d = pos - origin;
                p->sortKey = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
            }
            prev = p;
            ++alive;
        }
        p = next;
    }
    s.liveLast = alive ? prev : nullptr;
    s.liveCount = alive;
    return alive;
}

using SimulateFn = u32 (*)(FxEmitterState&, f32, f32);

template <int I>
constexpr SimulateFn variant() {
    return &simulateLoop<(I & 1) != 0, (I & 2) != 0, (I & 4) != 0, (I & 8) != 0, (I & 16) != 0>;
}
template <int... I>
struct VariantTable {
    static constexpr SimulateFn fns[sizeof...(I)] = {variant<I>()...};
};
template <int... I>
constexpr SimulateFn VariantTable<I...>::fns[sizeof...(I)];

using Variants = VariantTable<0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23,
                              24, 25, 26, 27, 28, 29, 30, 31>;

}  // namespace

u32 keFxSimulate(FxEmitterState& s, f32 t, f32 dt) {
    const bool resistance = s.resistance != 0.0f && s.weight != 0.0f;  // weight 0: no division
    const bool gravity = s.gravity[0] != 0.0f || s.gravity[1] != 0.0f || s.gravity[2] != 0.0f;
    const int index = (s.randomVelocity != 0.0f ? 1 : 0) | (s.curlNoisePower != 0.0f ? 2 : 0) |
                      (resistance ? 4 : 0) | (gravity ? 8 : 0) | (s.sorted ? 16 : 0);
    return Variants::fns[index](s, t, dt);
}

CKeFxEmitter::CKeFxEmitter() {
    std::memset(m_s.transform.pointer(), 0, 16 * sizeof(f32));
}

CKeFxEmitter::~CKeFxEmitter() {
    releaseAll(false);
    clearSource();
    for (CKeFxEmitter* d = m_firstDependent; d;) {
        CKeFxEmitter* next = d->m_nextDependent;
        d->m_s.source = nullptr;
        d->m_nextDependent = nullptr;
        d = next;
    }
    m_firstDependent = nullptr;
    if (m_s.mesh) m_s.mesh->drop();
    if (m_s.sharedPool)
        keFxReleaseSharedPool();
    else
        delete m_s.pool;
}

void CKeFxEmitter::setGeneratorSize(f32 x, f32 y, f32 z) {
    m_s.generatorSize[0] = x;
    m_s.generatorSize[1] = y;
    m_s.generatorSize[2] = z;
}
void CKeFxEmitter::setWeight(f32 value, f32 variation) {
    m_s.weight = value;
    m_s.weightVariation = variation;
}
void CKeFxEmitter::setParticleSize(f32 value, f32 variation) {
    m_s.particleSize = value;
    m_s.sizeVariation = variation;
}
void CKeFxEmitter::setResistance(f32 value, f32 variation) {
    m_s.resistance = value;
    m_s.resistanceVariation = variation;
}
void CKeFxEmitter::setLifeTime(f32 seconds, f32 variation) {
    m_s.lifeTime = seconds;
    m_s.lifeTimeVariation = variation;
}
void CKeFxEmitter::setVelocity(f32 x, f32 y, f32 z) {
    m_s.velocity[0] = x;
    m_s.velocity[1] = y;
    m_s.velocity[2] = z;
    m_s.velocity[3] = 0.0f;
}
void CKeFxEmitter::setVibration(f32 value, f32 variation) {
    m_s.vibration = value;
    m_s.vibrationVariation = variation;
}
void CKeFxEmitter::setGravity(f32 x, f32 y, f32 z) {
    m_s.gravity[0] = x;
    m_s.gravity[1] = y;
    m_s.gravity[2] = z;
    m_s.gravity[3] = 0.0f;
}
void CKeFxEmitter::setExtraVector(f32 x, f32 y, f32 z) {
    m_s.extraVector[0] = x;
    m_s.extraVector[1] = y;
    m_s.extraVector[2] = z;
}
void CKeFxEmitter::setSortOrigin(f32 x, f32 y, f32 z) {
    m_s.sortOrigin[0] = x;
    m_s.sortOrigin[1] = y;
    m_s.sortOrigin[2] = z;
    m_s.sortOrigin[3] = 1.0f;
}

void CKeFxEmitter::setMesh(scene::IMesh* mesh) {
    if (mesh) mesh->grab();
    if (m_s.mesh) m_s.mesh->drop();
    m_s.mesh = mesh;
    m_s.meshBuffer = 0;
    m_s.meshVertex = 0;
}

void CKeFxEmitter::clearSource() {
    CKeFxEmitter* source = m_s.source;
    if (!source) return;
    for (CKeFxEmitter** link = &source->m_firstDependent; *link; link = &(*link)->m_nextDependent) {
        if (*link == this) {
            *link = m_nextDependent;
            break;
        }
    }
    m_nextDependent = nullptr;
    m_s.source = nullptr;
}

void CKeFxEmitter::setSource(IKeFxEmitter* source) {
    clearSource();
    CKeFxEmitter* s = static_cast<CKeFxEmitter*>(source);
    if (!s) return;
    m_s.source = s;
    m_nextDependent = s->m_firstDependent;
    s->m_firstDependent = this;
}

void CKeFxEmitter::reset() {
    releaseAll(false);
    m_s.emittedCount = 0;
}

int CKeFxEmitter::init(int size, bool shared) {
    if (size < 0) return -1;
    releaseAll(false);
    if (m_s.sharedPool)
        keFxReleaseSharedPool();
    else
        delete m_s.pool;
    m_s.pool = nullptr;
    m_s.sharedPool = shared;
    if (shared) {
        m_s.pool = keFxAcquireSharedPool();
        if (!m_s.pool) m_s.sharedPool = false;
    } else {
        CKeFxParticlePool* pool = new CKeFxParticlePool(size == 0 ? 65536u : u32(size));
        if (pool->valid())
            m_s.pool = pool;
        else
            delete pool;
    }
    m_s.liveLast = nullptr;
    m_s.liveCount = 0;
    return 0;
}

void CKeFxEmitter::append(KeFxParticle* p) {
    if (m_s.liveLast) {
        p->next = m_s.liveLast->next;
        m_s.liveLast->next = p;
    } else {
        p->next = p;
    }
    m_s.liveLast = p;
    ++m_s.liveCount;
}

void CKeFxEmitter::returnReleased() {
    if (m_s.pool && m_s.released) m_s.pool->giveList(m_s.released, m_s.releasedLast, m_s.releasedCount);
    m_s.released = m_s.releasedLast = nullptr;
    m_s.releasedCount = 0;
}

void CKeFxEmitter::releaseAll(bool keepOwn) {
    returnReleased();
    if (keepOwn && !m_s.sharedPool) return;
    if (m_s.liveLast && m_s.pool) {
        KeFxParticle* first = m_s.liveLast->next;
        m_s.liveLast->next = nullptr;
        m_s.pool->giveList(first, m_s.liveLast, m_s.liveCount);
    }
    m_s.liveLast = nullptr;
    m_s.liveCount = 0;
    m_s.carry = 0.0f;
    m_s.started = false;
    m_s.lastUpdateMs = 0;
}

void CKeFxEmitter::update(u32 nowMs) {
    returnReleased();
    const f32* m = m_s.transform.pointer();
    if (!m_s.started || nowMs < m_s.lastUpdateMs) {
        // First update, or a clock that went backwards: a new start, nothing emitted.
        m_s.started = true;
        m_s.lastUpdateMs = nowMs;
        m_s.sampleMs = nowMs;
        const f32 p[4] = {m[12], m[13], m[14], 1.0f};
        std::memcpy(m_s.samplePos, p, sizeof p);
        std::memcpy(m_s.prevEmitPos, p, sizeof p);
        return;
    }
    const u32 dtMs = nowMs - m_s.lastUpdateMs;
    m_s.lastUpdateMs = nowMs;
    if (nowMs - m_s.sampleMs >= 11) {
        const f32 k = 1000.0f / f32(nowMs - m_s.sampleMs);
        for (int a = 0; a < 3; ++a) {
            m_s.emitterVelocity[a] = (m[12 + a] - m_s.samplePos[a]) * k;
            m_s.samplePos[a] = m[12 + a];
        }
        m_s.emitterVelocity[3] = 0.0f;
        m_s.sampleMs = nowMs;
    }
    const f32 t = f32(nowMs / 1000.0);
    const f32 dt = f32(dtMs / 1000.0);
    if (m_s.particleLimit == 0 || m_s.emittedCount < m_s.particleLimit) {
        const u32 remaining = m_s.particleLimit ? m_s.particleLimit - m_s.emittedCount : UINT_MAX;
        m_s.emittedCount += emit(t, dt, remaining);
    }
    simulate(t, dt);
    if (m_s.sorted && m_s.liveCount >= 2) sortRing();
}

u32 CKeFxEmitter::simulate(f32 t, f32 dt) { return keFxSimulate(m_s, t, dt); }

bool CKeFxEmitter::nextMeshVertex(f32 pos[3], f32 dir[3], bool normal) {
    scene::IMesh* mesh = m_s.mesh;
    const u32 buffers = mesh->getMeshBufferCount();
    // Empty buffers are passed over; one round over all of them without a vertex ends the search.
    for (u32 tries = 0; tries <= buffers; ++tries) {
        if (m_s.meshBuffer >= buffers) {
            m_s.meshBuffer = 0;
            m_s.meshVertex = 0;
        }
        const scene::IMeshBuffer* b = mesh->getMeshBuffer(m_s.meshBuffer);
        if (b && m_s.meshVertex < b->getVertexCount()) {
            const core::vector3df& p = b->getPosition(m_s.meshVertex);
            const core::vector3df& d = normal ? b->getNormal(m_s.meshVertex) : p;
            pos[0] = p.X, pos[1] = p.Y, pos[2] = p.Z;
            dir[0] = d.X, dir[1] = d.Y, dir[2] = d.Z;
            if (++m_s.meshVertex >= b->getVertexCount()) {
                ++m_s.meshBuffer;
                m_s.meshVertex = 0;
            }
            return true;
        }
        ++m_s.meshBuffer;
        m_s.meshVertex = 0;
    }
    return false;
}

bool CKeFxEmitter::meshSurfacePoint(f32 pos[3]) {
    scene::IMesh* mesh = m_s.mesh;
    const u32 buffers = mesh->getMeshBufferCount();
    u32 usable = 0;
    for (u32 i = 0; i < buffers; ++i) usable += hasTriangles(mesh->getMeshBuffer(i)) ? 1 : 0;
    const u32 pick = u32((f32(usable) - 0.001f) / 32767.0f * f32(keFxRandom()));
    const u32 rawTriangle = keFxRandom();
    const f32 s = std::sqrt(draw());
    const f32 t = draw();
    if (usable == 0) return false;
    // The pick counts only buffers with triangles.
    const scene::IMeshBuffer* b = nullptr;
    for (u32 i = 0, seen = 0; i < buffers; ++i) {
        const scene::IMeshBuffer* c = mesh->getMeshBuffer(i);
        if (!hasTriangles(c)) continue;
        b = c;
        if (seen++ == pick) break;
    }
    const u32 triangles = b->getIndexCount() / 3;
    u32 triangle = u32((f32(triangles) - 0.001f) / 32767.0f * f32(rawTriangle));
    if (triangle >= triangles) triangle = triangles - 1;
    const u32 vc = b->getVertexCount();
    u32 idx[3];
    for (int k = 0; k < 3; ++k) {
        idx[k] = vertexIndex(b, triangle * 3 + k);
        if (idx[k] >= vc) idx[k] = 0;  // a broken index list places the point on vertex 0
    }
    const core::vector3df& a = b->getPosition(idx[0]);
    const core::vector3df& bb = b->getPosition(idx[1]);
    const core::vector3df& c = b->getPosition(idx[2]);
    const f32 wa = 1.0f - s, wb = s * (1.0f - t), wc = s * t;
    pos[0] = wa * a.X + wb * bb.X + wc * c.X;
    pos[1] = wa * a.Y + wb * bb.Y + wc * c.Y;
    pos[2] = wa * a.Z + wb * bb.Z + wc * c.Z;
    return true;
}

u32 CKeFxEmitter::emit(f32 t, f32 dt, u32 remaining) {
    CKeFxParticlePool* pool = m_s.pool;
    const u32 cap = pool ? pool->size() : 0;
    const u32 kind = m_s.kind;
    CKeFxEmitter* source = m_s.source;
    const bool fed = kind == 5 || kind == 6;

    u32 n;
    if (kind == 6) {
        const u32 dying = source ? source->m_s.releasedCount : 0;
        f32 unused;
        n = wholeParticles(std::trunc(f32(dying) * m_s.birthRate / 30.0f), cap, &unused);
        m_s.carry = 0.0f;
    } else {
        n = wholeParticles(m_s.birthRate * dt + m_s.carry, cap, &m_s.carry);
    }
    if (n > remaining) n = remaining;

    const f32* m = m_s.transform.pointer();
    const f32 P[3] = {m[12], m[13], m[14]};
    f32 posDelta[3], parentVel[3], velDelta[3];
    for (int a = 0; a < 3; ++a) {
        posDelta[a] = m_s.prevEmitPos[a] - P[a];
        m_s.prevEmitPos[a] = P[a];
        parentVel[a] = m_s.emitterVelocity[a] * m_s.parentMotion;
        velDelta[a] = m_s.prevParentVel[a] - parentVel[a];
        m_s.prevParentVel[a] = parentVel[a];
    }
    m_s.prevEmitPos[3] = 1.0f;
    m_s.prevParentVel[3] = 0.0f;

    // What the kind needs: a mesh with a vertex (a triangle for kind 4), or a source.
    scene::IMesh* mesh = m_s.mesh;
    bool ready = pool != nullptr && kind <= 6;
    if (kind >= 2 && kind <= 4) {
        bool any = false;
        for (u32 i = 0; mesh && !any && i < mesh->getMeshBufferCount(); ++i) {
            const scene::IMeshBuffer* b = mesh->getMeshBuffer(i);
            any = kind == 4 ? hasTriangles(b) : (b && b->getVertexCount() > 0);
        }
        ready = ready && any;
    }
    if (fed) ready = ready && source != nullptr;
    if (!ready || n == 0) return 0;

    // The walk over the source's particles.
    const KeFxParticle* cursor = nullptr;
    u32 sourceLive = 0;
    if (kind == 5) {
        sourceLive = source->m_s.liveCount;
        if (m_s.sourceCounter >= sourceLive) m_s.sourceCounter = 0;
        if (source->m_s.liveLast) {
            cursor = source->m_s.liveLast->next;
            for (u32 i = 0; i < m_s.sourceCounter; ++i) cursor = cursor->next;
        }
    }

    const f32 invN = 1.0f / f32(n);
    u32 emitted = 0;
    for (u32 i = 0; i < n; ++i) {
        KeFxParticle* p = pool->take();
        if (!p) break;
        append(p);
        f32 life = m_s.lifeTime + (draw() - 0.5f) * m_s.lifeTimeVariation;
        if (life < 0.0f) life = 0.0f;
        p->birth = t;
        p->death = t + life;
        p->sortKey = 0.0f;

        f32 local[3] = {0, 0, 0}, dir[3] = {0, 0, 0};
        const KeFxParticle* from = nullptr;
        switch (kind) {
        case 0:
            for (int a = 0; a < 3; ++a) local[a] = (draw() - 0.5f) * m_s.generatorSize[a];
            std::memcpy(dir, local, sizeof dir);
            break;
        case 1: {
            f32 r[3];
            for (int a = 0; a < 3; ++a) r[a] = draw() - 0.5f;
            const f32 radius = draw() / 2.0f;
            f32 u[3];
            unit3(r, u);
            for (int a = 0; a < 3; ++a) local[a] = u[a] * radius * m_s.generatorSize[a];
            std::memcpy(dir, local, sizeof dir);
            break;
        }
        case 2:
        case 3:
            nextMeshVertex(local, dir, kind == 3);
            break;
        case 4:
            meshSurfacePoint(local);
            std::memcpy(dir, local, sizeof dir);
            break;
        case 5:
            if (cursor) {
                cursor = cursor->next;
                if (++m_s.sourceCounter >= sourceLive) m_s.sourceCounter = 0;
                from = cursor;
            }
            break;
        default:  // 6
            cursor = cursor && cursor->next ? cursor->next : source->m_s.released;
            from = cursor;
            break;
        }

        f32 R[3];
        {
            f32 r[3];
            for (int a = 0; a < 3; ++a) r[a] = draw() - 0.5f;
            unit3(r, R);
        }
        const f32 frac = f32(i) * invN;
        f32 v[3], rotated[3];
        if (fed) {
            const f32 zero[4] = {0, 0, 0, 1};
            const f32* srcPos = from ? from->pos : zero;
            const f32 srcVel[3] = {from ? from->vel[0] : 0.0f, from ? from->vel[1] : 0.0f, from ? from->vel[2] : 0.0f};
            f32 u[3];
            unit3(srcVel, u);
            for (int a = 0; a < 3; ++a) v[a] = m_s.velocity[a] + m_s.vibration * R[a] + m_s.explosion * u[a];
            rotateDirection(m_s.transform, v, rotated);
            for (int a = 0; a < 3; ++a) {
                p->pos[a] = srcPos[a];
                p->vel[a] = rotated[a] + srcVel[a] * m_s.parentMotion;
            }
        } else {
            f32 world[3], u[3];
            transformPoint(m_s.transform, local, world);
            unit3(dir, u);
            for (int a = 0; a < 3; ++a) {
                p->pos[a] = world[a] + frac * posDelta[a];
                v[a] = m_s.velocity[a] + m_s.vibration * R[a] + m_s.explosion * u[a];
            }
            rotateDirection(m_s.transform, v, rotated);
            for (int a = 0; a < 3; ++a) p->vel[a] = rotated[a] + parentVel[a] + frac * velDelta[a];
        }
        p->pos[3] = 1.0f;
        p->vel[3] = 0.0f;
        ++emitted;
    }
    return emitted;
}

void CKeFxEmitter::sortRing() {
    // A stable radix sort of (key, particle) pairs gathered in one walk, then the ring relinked
    // in the new order: the walk over scattered records is paid once, not once per merge pass.
    // Squared distances are never negative, so their bit patterns order like their values;
    // complementing them sorts largest first. The scratch arrays grow with the live count only.
    const u32 count = m_s.liveCount;
    if (m_sortScratch.size() < size_t(count) * 2) m_sortScratch.resize(size_t(count) * 2);
    SortPair* a = m_sortScratch.data();
    SortPair* b = a + count;
    KeFxParticle* p = m_s.liveLast->next;
    for (u32 i = 0; i < count; ++i, p = p->next) {
        u32 bits;
        std::memcpy(&bits, &p->sortKey, sizeof bits);
        a[i].key = ~bits;
        a[i].particle = p;
    }
    for (int shift = 0; shift < 32; shift += 11) {
        u32 offsets[2048] = {};
        for (u32 i = 0; i < count; ++i) ++offsets[(a[i].key >> shift) & 2047];
        u32 sum = 0;
        for (u32& o : offsets) {
            const u32 c = o;
            o = sum;
            sum += c;
        }
        for (u32 i = 0; i < count; ++i) b[offsets[(a[i].key >> shift) & 2047]++] = a[i];
        std::swap(a, b);
    }
    for (u32 i = 0; i + 1 < count; ++i) a[i].particle->next = a[i + 1].particle;
    a[count - 1].particle->next = a[0].particle;
    m_s.liveLast = a[count - 1].particle;
}

bool CKeFxEmitter::addStaticParticle(f32 x, f32 y, f32 z, u32 birthMs, u32 deathMs) {
    KeFxParticle* p = m_s.pool ? m_s.pool->take() : nullptr;
    if (!p) return false;
    append(p);
    p->birth = f32(birthMs / 1000.0);
    p->death = f32(deathMs / 1000.0);
    p->sortKey = 0.0f;
    const f32 pos[4] = {x, y, z, 1.0f};
    std::memcpy(p->pos, pos, sizeof pos);
    std::memset(p->vel, 0, sizeof p->vel);
    return true;
}

u32 CKeFxEmitter::copyParticles(KeFxInstance* out, u32 max) const {
    if (!m_s.liveLast || !out) return 0;
    const KeFxParticle* p = m_s.liveLast->next;
    u32 n = 0;
    for (; n < max && n < m_s.liveCount; ++n, p = p->next) {
        KeFxInstance& o = out[n];
        o.pos[0] = p->pos[0], o.pos[1] = p->pos[1], o.pos[2] = p->pos[2];
        o.birth = p->birth;
        o.death = p->death;
        o.zero = 0.0f;
        o.vel[0] = p->vel[0], o.vel[1] = p->vel[1], o.vel[2] = p->vel[2];
    }
    return n;
}

}  // namespace kolm
