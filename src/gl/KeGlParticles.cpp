#include "gl/KeGlParticles.h"

#include <epoxy/gl.h>

#include <cstdint>

namespace kolm {

using namespace irr;

namespace {

GLuint g_quad = 0, g_indices = 0, g_instances = 0;

void deleteBuffer(GLuint& b) {
    if (b) glDeleteBuffers(1, &b);
    b = 0;
}

// A buffer of `size` bytes filled from `data` (or left undefined); 0 when GL refuses it.
GLuint makeBuffer(GLenum target, GLsizeiptr size, const void* data, GLenum usage) {
    while (glGetError() != GL_NO_ERROR) {
    }
    GLuint b = 0;
    glGenBuffers(1, &b);
    if (!b) return 0;
    GLint previous = 0;
    glGetIntegerv(target == GL_ARRAY_BUFFER ? GL_ARRAY_BUFFER_BINDING : GL_ELEMENT_ARRAY_BUFFER_BINDING, &previous);
    glBindBuffer(target, b);
    glBufferData(target, size, data, usage);
    const bool ok = glGetError() == GL_NO_ERROR;
    glBindBuffer(target, GLuint(previous));
    if (!ok) deleteBuffer(b);
    return b;
}

}  // namespace

bool keGlInstancingSupported() {
    return epoxy_gl_version() >= 33 ||
           (epoxy_has_gl_extension("GL_ARB_instanced_arrays") && epoxy_has_gl_extension("GL_ARB_draw_instanced"));
}

bool keGlParticleBuffersCreate(const char** failedStep) {
    if (keGlParticleBuffersExist()) return true;
    static const float corners[8] = {0, 0, 0, 1, 1, 1, 1, 0};
    static const u16 indices[6] = {0, 2, 1, 0, 3, 2};
    const char* step = nullptr;
    if (!(g_quad = makeBuffer(GL_ARRAY_BUFFER, sizeof corners, corners, GL_STATIC_DRAW)))
        step = "CreateVertexBuffer Vertex";
    else if (!(g_indices = makeBuffer(GL_ELEMENT_ARRAY_BUFFER, sizeof indices, indices, GL_STATIC_DRAW)))
        step = "CreateIndexBuffer";
    else if (!(g_instances = makeBuffer(GL_ARRAY_BUFFER, GLsizeiptr(KE_PARTICLE_INSTANCE_CAPACITY) * KE_PARTICLE_INSTANCE_STRIDE,
                                        nullptr, GL_STREAM_DRAW)))
        step = "CreateVertexBuffer Instance";
    if (!step) return true;
    keGlParticleBuffersRelease();
    if (failedStep) *failedStep = step;
    return false;
}

bool keGlParticleBuffersExist() { return g_quad && g_indices && g_instances; }

void keGlParticleBuffersRelease() {
    deleteBuffer(g_quad);
    deleteBuffer(g_indices);
    deleteBuffer(g_instances);
}

bool keGlParticleInstancesWrite(const void* records, u32 count) {
    if (!keGlParticleBuffersExist()) return false;
    if (count > KE_PARTICLE_INSTANCE_CAPACITY) count = KE_PARTICLE_INSTANCE_CAPACITY;
    GLint previous = 0;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &previous);
    glBindBuffer(GL_ARRAY_BUFFER, g_instances);
    // Orphaning: the driver hands out fresh storage while earlier draws still read the old one.
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(KE_PARTICLE_INSTANCE_CAPACITY) * KE_PARTICLE_INSTANCE_STRIDE, nullptr,
                 GL_STREAM_DRAW);
    if (count) glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(count) * KE_PARTICLE_INSTANCE_STRIDE, records);
    glBindBuffer(GL_ARRAY_BUFFER, GLuint(previous));
    return true;
}

u32 keGlParticleInstancesDraw(u32 count) {
    if (!keGlParticleBuffersExist() || count == 0) return 0;
    if (count > KE_PARTICLE_INSTANCE_CAPACITY) count = KE_PARTICLE_INSTANCE_CAPACITY;
    GLint program = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    const GLint instanced = program ? glGetUniformLocation(GLuint(program), "kein_instanced") : -1;
    if (instanced < 0) return 0;

    GLint arrayBuffer = 0, elementBuffer = 0, clientUnit = 0;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBuffer);
    glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &elementBuffer);
    glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE, &clientUnit);
    // The library's fixed-function arrays may still point at memory of its last draw: the
    // instanced draw must not read them.
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_SECONDARY_COLOR_ARRAY);
    for (GLenum unit = 0; unit < 4; ++unit) {
        glClientActiveTexture(GL_TEXTURE0 + unit);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    glClientActiveTexture(GLenum(clientUnit));

    glUniform1i(instanced, 1);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, g_indices);
    glBindBuffer(GL_ARRAY_BUFFER, g_quad);
    glEnableVertexAttribArray(KE_INSTANCE_ATTRIB_CORNER);
    glVertexAttribPointer(KE_INSTANCE_ATTRIB_CORNER, 2, GL_FLOAT, GL_FALSE, 8, nullptr);
    glVertexAttribDivisor(KE_INSTANCE_ATTRIB_CORNER, 0);
    glBindBuffer(GL_ARRAY_BUFFER, g_instances);
    const GLuint perInstance[3] = {KE_INSTANCE_ATTRIB_POSITION, KE_INSTANCE_ATTRIB_NORMAL, KE_INSTANCE_ATTRIB_TANGENT};
    for (GLuint a : perInstance) {
        glEnableVertexAttribArray(a);
        glVertexAttribDivisor(a, 1);
    }
    u32 calls = 0;
    for (u32 first = 0; first < count; first += KE_PARTICLE_INSTANCE_BATCH) {
        const u32 n = count - first < KE_PARTICLE_INSTANCE_BATCH ? count - first : KE_PARTICLE_INSTANCE_BATCH;
        const uintptr_t base = uintptr_t(first) * KE_PARTICLE_INSTANCE_STRIDE;
        // Position, (birth, death, 0), velocity: three floats each, as byte offsets.
        for (int k = 0; k < 3; ++k)
            glVertexAttribPointer(perInstance[k], 3, GL_FLOAT, GL_FALSE, KE_PARTICLE_INSTANCE_STRIDE,
                                  reinterpret_cast<const void*>(base + 12 * uintptr_t(k)));
        glDrawElementsInstanced(GL_TRIANGLES, 6, GL_UNSIGNED_SHORT, nullptr, GLsizei(n));
        ++calls;
    }
    for (GLuint a : perInstance) {
        glVertexAttribDivisor(a, 0);
        glDisableVertexAttribArray(a);
    }
    glDisableVertexAttribArray(KE_INSTANCE_ATTRIB_CORNER);
    glUniform1i(instanced, 0);
    glBindBuffer(GL_ARRAY_BUFFER, GLuint(arrayBuffer));
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, GLuint(elementBuffer));
    return calls;
}

}  // namespace kolm
