// An fx emitter: the CPU side of a particle system. It creates particles at a birth rate in or
// on a shape (box, sphere, mesh, another emitter's particles), moves them every update and
// kills them at the end of their life. Each particle system node owns one.
//
// Units: times in seconds unless named ms, angles nowhere (the transform carries rotation),
// rates in particles per second, velocities in units per second.
#pragma once

#include <irrlicht/irrTypes.h>
#include <irrlicht/matrix4.h>

namespace irr {
namespace scene {
class IMesh;
}  // namespace scene
}  // namespace irr

namespace kolm {

// Where new particles come from (setKind).
enum class KeFxEmitterKind : irr::u32 {
    Box = 0,
    Sphere = 1,
    MeshVertices = 2,
    MeshNormals = 3,
    MeshSurface = 4,
    SourceParticles = 5,
    DyingSourceParticles = 6,
};

class IKeFxEmitter {
public:
    virtual ~IKeFxEmitter() {}
    virtual void setBirthRate(irr::f32 perSecond) = 0;
    virtual void setGeneratorSize(irr::f32 x, irr::f32 y, irr::f32 z) = 0;
    virtual void setParticleLimit(irr::u32 total) = 0;  // 0: unlimited
    virtual void setWeight(irr::f32 value, irr::f32 variation) = 0;
    virtual void setParticleSize(irr::f32 value, irr::f32 variation) = 0;
    virtual void setResistance(irr::f32 value, irr::f32 variation) = 0;
    virtual void setLifeTime(irr::f32 seconds, irr::f32 variation) = 0;
    virtual void setVelocity(irr::f32 x, irr::f32 y, irr::f32 z) = 0;
    virtual void setExplosion(irr::f32 value) = 0;
    virtual void setVibration(irr::f32 value, irr::f32 variation) = 0;
    virtual void setGravity(irr::f32 x, irr::f32 y, irr::f32 z) = 0;
    // Values kept for the surface and the scene tools; the simulation does not read them.
    virtual void setExtraVector(irr::f32 x, irr::f32 y, irr::f32 z) = 0;
    virtual void setExtraValueA(irr::f32 value) = 0;
    virtual void setParentMotion(irr::f32 value) = 0;
    virtual void setExtraValueB(irr::f32 value) = 0;
    virtual void setRandomVelocity(irr::f32 value) = 0;
    virtual void setCurlNoisePower(irr::f32 value) = 0;
    virtual void setCurlNoiseFrequency(irr::f32 value) = 0;
    virtual void setTransform(const irr::core::matrix4& emitterToWorld) = 0;
    virtual void setSortOrigin(irr::f32 x, irr::f32 y, irr::f32 z) = 0;
    virtual void setSorted(bool sorted) = 0;
    virtual void setKind(irr::u32 kind) = 0;  // KeFxEmitterKind; others emit nothing
    // The mesh of the mesh kinds (held while set); the mesh cursor restarts at buffer 0, vertex 0.
    virtual void setMesh(irr::scene::IMesh* mesh) = 0;
    // The emitter whose particles feed kinds 5 and 6, or null. Destroying the source clears it.
    virtual void setSource(IKeFxEmitter* source) = 0;
    virtual irr::u32 getParticleCount() const = 0;  // live particles
    // Releases every particle (releaseAll(false)) and sets the emitted count to 0.
    virtual void reset() = 0;
    virtual void resetEmittedCount() = 0;
};

}  // namespace kolm
