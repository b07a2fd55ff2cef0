// Instanced particle quads on OpenGL: one process-wide set of buffers (a quad of four corners,
// its six indices and an instance buffer of 65536 records of 36 bytes) and the instanced draw.
//
// Vertex stages read the instancing contract from generic attributes at fixed locations while
// the program's uniform "kein_instanced" is 1, and from the library's fixed-function arrays
// otherwise (see fx/KeSpirvGlsl.h): the corner (TEXCOORD0), the particle position (POSITION0),
// birth and death times (NORMAL0 x, y) and velocity (TANGENT0). The locations avoid those that
// drivers alias with the fixed-function arrays they use.
#pragma once

#include <irrlicht/irrTypes.h>

namespace kolm {

constexpr int KE_INSTANCE_ATTRIB_TANGENT = 1;
constexpr int KE_INSTANCE_ATTRIB_NORMAL = 5;
constexpr int KE_INSTANCE_ATTRIB_CORNER = 6;
constexpr int KE_INSTANCE_ATTRIB_POSITION = 7;

constexpr irr::u32 KE_PARTICLE_INSTANCE_CAPACITY = 65536;
constexpr irr::u32 KE_PARTICLE_INSTANCE_BATCH = 4096;
constexpr irr::u32 KE_PARTICLE_INSTANCE_STRIDE = 36;

// Whether the current context draws instanced arrays (GL 3.3 or the ARB extensions).
bool keGlInstancingSupported();

// Creates the shared buffers when they do not exist. On failure everything made so far is
// released and `failedStep` names the step ("CreateVertexBuffer Vertex", "CreateIndexBuffer",
// "CreateVertexBuffer Instance").
bool keGlParticleBuffersCreate(const char** failedStep);
bool keGlParticleBuffersExist();
void keGlParticleBuffersRelease();

// Replaces the first `count` instance records (orphaning the old contents). False when the
// buffers do not exist or the data cannot be written.
bool keGlParticleInstancesWrite(const void* records, irr::u32 count);

// Draws `count` instances (at most the capacity) of the quad with the program bound now, in
// batches of at most 4096, and puts back every state it touched (buffers, attribute arrays
// and divisors, the uniform). Returns the number of draw calls made; 0 when the bound program
// has no instanced inputs (a fixed-function material) and nothing was drawn.
irr::u32 keGlParticleInstancesDraw(irr::u32 count);

}  // namespace kolm
