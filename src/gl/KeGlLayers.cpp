#include "gl/KeGlLayers.h"

#include "gl/KeGlTexture.h"

#include <epoxy/gl.h>
#include <epoxy/glx.h>
#include <irrlicht/IVideoDriver.h>
#include <irrlicht/ITexture.h>

namespace kolm {

using namespace irr;
using namespace irr::video;

namespace {

constexpr u32 kLibraryUnits = 4;
constexpr GLenum kTargets[3] = {GL_TEXTURE_2D, GL_TEXTURE_CUBE_MAP, GL_TEXTURE_3D};
constexpr GLenum kBindings[3] = {GL_TEXTURE_BINDING_2D, GL_TEXTURE_BINDING_CUBE_MAP, GL_TEXTURE_BINDING_3D};

struct LayerUnits {
    GLuint samplers[KE_GL_LAYER_UNITS] = {};
    bool samplerBound[KE_GL_LAYER_UNITS] = {};
    // Units 0-3: the binding of each target before an engine texture took it.
    bool displaced[kLibraryUnits][3] = {};
    GLint previous[kLibraryUnits][3] = {};
    bool anisotropy = false;
    bool made = false;
    const void* context = nullptr;  // the context the samplers belong to
};

LayerUnits& units() {
    static LayerUnits u;
    // Sampler names belong to one context: an engine started again in the same process (a new
    // device, a new context) makes its own, and nothing of the old context is bound any more.
    const void* context = glXGetCurrentContext();
    if (!u.made || u.context != context || !glIsSampler(u.samplers[0])) {
        u = LayerUnits();
        glGenSamplers(GLsizei(KE_GL_LAYER_UNITS), u.samplers);
        u.anisotropy = epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic");
        u.made = true;
        u.context = context;
    }
    return u;
}

int targetIndex(GLenum target) { return target == GL_TEXTURE_CUBE_MAP ? 1 : target == GL_TEXTURE_3D ? 2 : 0; }

GLint wrapOf(u8 clamp) {
    switch (clamp) {
    case ETC_REPEAT: return GL_REPEAT;
    case ETC_CLAMP:
    case ETC_CLAMP_TO_EDGE: return GL_CLAMP_TO_EDGE;
    case ETC_CLAMP_TO_BORDER: return GL_CLAMP_TO_BORDER;
    case ETC_MIRROR: return GL_MIRRORED_REPEAT;
    default: return GL_MIRROR_CLAMP_TO_EDGE;  // the three mirror-once modes
    }
}

void setStates(LayerUnits& u, u32 unit, const SMaterialLayer& l, bool mipmaps) {
    const GLuint s = u.samplers[unit];
    const bool linear = l.BilinearFilter || l.TrilinearFilter;
    glSamplerParameteri(s, GL_TEXTURE_WRAP_S, wrapOf(l.TextureWrapU));
    glSamplerParameteri(s, GL_TEXTURE_WRAP_T, wrapOf(l.TextureWrapV));
    glSamplerParameteri(s, GL_TEXTURE_WRAP_R, wrapOf(l.TextureWrapU));
    glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, linear ? GL_LINEAR : GL_NEAREST);
    GLint minFilter = linear ? GL_LINEAR : GL_NEAREST;
    if (mipmaps)
        minFilter = l.TrilinearFilter  ? GL_LINEAR_MIPMAP_LINEAR
                    : l.BilinearFilter ? GL_LINEAR_MIPMAP_NEAREST
                                       : GL_NEAREST_MIPMAP_NEAREST;
    glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER, minFilter);
    glSamplerParameterf(s, GL_TEXTURE_LOD_BIAS, f32(l.LODBias) * 0.125f);
    if (u.anisotropy)
        glSamplerParameterf(s, GL_TEXTURE_MAX_ANISOTROPY_EXT, l.AnisotropicFilter > 1 ? f32(l.AnisotropicFilter) : 1.0f);
    if (!u.samplerBound[unit]) {
        glBindSampler(unit, s);
        u.samplerBound[unit] = true;
    }
}

// The GL name of a library texture: the driver binds it on unit 0, then gets the material
// being drawn back, which binds unit 0 as the library expects it again.
GLuint libraryName(IVideoDriver* driver, const SMaterial& current, ITexture* texture) {
    SMaterial probe = current;
    probe.TextureLayer[0].Texture = texture;
    driver->setMaterial(probe);
    glActiveTexture(GL_TEXTURE0);
    GLint name = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    driver->setMaterial(current);
    return GLuint(name);
}

}  // namespace

bool keGlBindLayer(IVideoDriver* driver, const SMaterial& current, u32 unit, ITexture* texture,
                   const SMaterialLayer& states) {
    if (unit >= KE_GL_LAYER_UNITS || !texture || !driver) return false;
    GLenum target = GL_TEXTURE_2D;
    GLuint name = 0;
    if (CKeGlTexture* engine = keAsEngineTexture(texture)) {
        if (!engine->isGl()) return false;
        target = engine->getGlTarget();
        name = engine->getGlName();
    } else {
        if (unit < kLibraryUnits || texture->getDriverType() != EDT_OPENGL) return false;
        name = libraryName(driver, current, texture);
        if (!name) return false;
    }
    LayerUnits& u = units();
    glActiveTexture(GL_TEXTURE0 + unit);
    if (unit < kLibraryUnits) {
        const int t = targetIndex(target);
        if (!u.displaced[unit][t]) {
            glGetIntegerv(kBindings[t], &u.previous[unit][t]);
            u.displaced[unit][t] = true;
        }
    }
    glBindTexture(target, name);
    glActiveTexture(GL_TEXTURE0);
    setStates(u, unit, states, texture->hasMipMaps());
    return true;
}

void keGlReleaseLayer(u32 unit) {
    if (unit >= KE_GL_LAYER_UNITS) return;
    LayerUnits& u = units();
    if (u.samplerBound[unit]) {
        glBindSampler(unit, 0);
        u.samplerBound[unit] = false;
    }
    if (unit >= kLibraryUnits) return;
    for (int t = 0; t < 3; ++t) {
        if (!u.displaced[unit][t]) continue;
        glActiveTexture(GL_TEXTURE0 + unit);
        glBindTexture(kTargets[t], GLuint(u.previous[unit][t]));
        glActiveTexture(GL_TEXTURE0);
        u.displaced[unit][t] = false;
    }
}

void keGlRestoreLayers() {
    for (u32 i = 0; i < KE_GL_LAYER_UNITS; ++i) keGlReleaseLayer(i);
}

}  // namespace kolm
