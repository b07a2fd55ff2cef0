// Emitter parameters come from scene documents and scripts: any values (not-a-number, infinite,
// huge, negative), any kind, mesh and source, and any sequence of update times must neither
// crash nor lose particles. The bytes are read as a program of setter calls and updates on
// three emitters, each fed by the one before; after every step every record of each pool is
// free, live or released.
#include "fx/CKeFxEmitter.h"
#include "fx/KeFxParticle.h"

#include <irrlicht/SMesh.h>
#include <irrlicht/SMeshBuffer.h>

#include <cstdint>
#include <cstring>

using namespace irr;
using namespace kolm;

namespace {

struct Reader {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    bool more() const { return at < size; }
    uint8_t byte() { return at < size ? data[at++] : 0; }
    uint32_t u32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | byte();
        return v;
    }
    f32 f() {
        const uint32_t bits = u32();
        f32 v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static signed char volume[3 * 8];
    for (int i = 0; i < 24; ++i) volume[i] = static_cast<signed char>(i * 11 - 100);
    keFxSetNoiseVolume(volume, 2);
    scene::SMesh mesh;
    auto* buffer = new scene::SMeshBuffer();
    for (int i = 0; i < 4; ++i) buffer->Vertices.push_back(video::S3DVertex(f32(i), f32(i & 1), 0, 0, 0, 1, 0, 0, 0));
    for (u16 i : {0, 1, 2, 2, 3, 9}) buffer->Indices.push_back(i);  // the last index is out of range
    mesh.addMeshBuffer(buffer);
    buffer->drop();
    mesh.addMeshBuffer(new scene::SMeshBuffer());  // an empty buffer
    mesh.getMeshBuffer(1)->drop();

    Reader r{data, size};
    keFxSetRandomState(r.u32());
    {
        // Own pools of different sizes, so that each emitter's invariant stands on its own.
        CKeFxEmitter e[3];
        e[0].init(1024, false);
        e[1].init(512, false);
        e[2].init(64, false);
        e[1].setSource(&e[0]);
        e[2].setSource(&e[1]);
        u32 now = 0;
        for (int step = 0; step < 400 && r.more(); ++step) {
            CKeFxEmitter& x = e[r.byte() % 3];
            switch (r.byte() % 16) {
            case 0: x.setBirthRate(r.f()); break;
            case 1: x.setLifeTime(r.f(), r.f()); break;
            case 2: x.setVelocity(r.f(), r.f(), r.f()); break;
            case 3: x.setGravity(r.f(), r.f(), r.f()); break;
            case 4: x.setWeight(r.f(), 0); break;
            case 5: x.setResistance(r.f(), 0); break;
            case 6: x.setRandomVelocity(r.f()); break;
            case 7: x.setCurlNoisePower(r.f()), x.setCurlNoiseFrequency(r.f()); break;
            case 8: x.setKind(r.byte() % 9), x.setMesh(r.byte() & 1 ? &mesh : nullptr); break;
            case 9: x.setSorted(r.byte() & 1), x.setSortOrigin(r.f(), r.f(), r.f()); break;
            case 10: x.setExplosion(r.f()), x.setVibration(r.f(), 0), x.setParentMotion(r.f()); break;
            case 11: {
                core::matrix4 m;
                for (int i = 0; i < 16; ++i) m[i] = r.f();
                x.setTransform(m);
                break;
            }
            case 12: x.setParticleLimit(r.u32() % 1000), x.setGeneratorSize(r.f(), r.f(), r.f()); break;
            case 13: x.releaseAll(r.byte() & 1); break;
            case 14: x.reset(); break;
            default: now = r.byte() & 1 ? now + (r.u32() % 100000) : r.u32(); x.update(now); break;
            }
            for (CKeFxEmitter& y : e) {
                const FxEmitterState& s = y.state();
                const u32 total = s.pool ? s.pool->size() : 0;
                if (s.pool && s.pool->freeCount() + s.liveCount + s.releasedCount != total) __builtin_trap();
                KeFxInstance out[4];
                y.copyParticles(out, 4);
            }
        }
    }
    keFxSetNoiseVolume(nullptr, 0);
    return 0;
}
