#include "gl/KeGlTexture.h"

#include <algorithm>
#include <cstring>

#include <epoxy/gl.h>
#include <epoxy/glx.h>
#include <irrlicht/IVideoDriver.h>

#include "core/KeError.h"
#include "gl/KeGlCheck.h"
#include "gl/KeGlState.h"

#include <string>

// Index
//   GL state guard            saves and restores what the library caches
//   format table              library colour formats -> GL internal formats
//   CKeGlTexture              the texture object
//   creation                  cube, volume, cube render target, null 2D target
//   cube faces                copy from a 2D target, clear
//   registry and binding

namespace kolm {

using irr::u32;
using irr::video::ECOLOR_FORMAT;

namespace {

constexpr u32 kMaxEdge = 16384;

bool usesGl(irr::video::IVideoDriver* driver) {
    return driver && driver->getDriverType() == irr::video::EDT_OPENGL;
}


GLenum internalFormatOf(ECOLOR_FORMAT format) {
    switch (format) {
    case irr::video::ECF_A1R5G5B5: return GL_RGB5_A1;
    case irr::video::ECF_R5G6B5: return GL_RGB565;
    case irr::video::ECF_R8G8B8: return GL_RGB8;
    case irr::video::ECF_A8R8G8B8: return GL_RGBA8;
    case irr::video::ECF_R16F: return GL_R16F;
    case irr::video::ECF_G16R16F: return GL_RG16F;
    case irr::video::ECF_A16B16G16R16F: return GL_RGBA16F;
    case irr::video::ECF_R32F: return GL_R32F;
    case irr::video::ECF_G32R32F: return GL_RG32F;
    case irr::video::ECF_A32B32G32R32F: return GL_RGBA32F;
    default: return 0;
    }
}

u32 bytesPerTexel(ECOLOR_FORMAT format) {
    switch (format) {
    case irr::video::ECF_A1R5G5B5:
    case irr::video::ECF_R5G6B5:
    case irr::video::ECF_R16F: return 2;
    case irr::video::ECF_R8G8B8: return 3;
    case irr::video::ECF_A16B16G16R16F:
    case irr::video::ECF_G32R32F: return 8;
    case irr::video::ECF_A32B32G32R32F: return 16;
    default: return 4;
    }
}

std::vector<CKeGlTexture*>& registry() {
    static std::vector<CKeGlTexture*> textures;
    return textures;
}

bool checkEdge(const char* what, const irr::io::path& name, u32 w, u32 h, u32 d) {
    if (w == 0 || h == 0 || d == 0 || w > kMaxEdge || h > kMaxEdge || d > kMaxEdge) {
        printMessage(KE_ERROR, "%s '%s': invalid size %u x %u x %u", what, name.c_str(), w, h, d);
        return false;
    }
    return true;
}

}  // namespace

// Creation goes through here so that the constructor stays private.
struct KeGlTextureAccess {
    static CKeGlTexture* make(const irr::io::path& name, KeGlTextureKind kind, u32 w, u32 h, u32 d,
                              ECOLOR_FORMAT format, bool mipmaps, bool renderTarget) {
        return new CKeGlTexture(name, kind, w, h, d, format, mipmaps, renderTarget);
    }
    static u32& glName(CKeGlTexture* t) { return t->m_glName; }
    static u32& fbo(CKeGlTexture* t) { return t->m_fbo; }
    static std::vector<uint32_t>& pixels(CKeGlTexture* t) { return t->m_pixels; }
};

// ---------------------------------------------------------------------------------------------
// CKeGlTexture

CKeGlTexture::CKeGlTexture(const irr::io::path& name, KeGlTextureKind kind, u32 width, u32 height, u32 depth,
                           ECOLOR_FORMAT format, bool mipmaps, bool renderTarget)
    : irr::video::ITexture(name),
      m_kind(kind),
      m_size(width, height),
      m_depth(depth),
      m_format(format),
      m_mipmaps(mipmaps),
      m_renderTarget(renderTarget) {
    registry().push_back(this);
}

CKeGlTexture::~CKeGlTexture() {
    auto& r = registry();
    r.erase(std::remove(r.begin(), r.end(), this), r.end());
    // Without a current context (the device is gone) the GL objects went with it.
    if ((m_fbo || m_glName) && !glXGetCurrentContext()) return;
    if (m_fbo) {
        GLuint fbo = m_fbo;
        glDeleteFramebuffers(1, &fbo);
    }
    if (m_glName) {
        GLuint name = m_glName;
        glDeleteTextures(1, &name);
    }
}

void* CKeGlTexture::lock(irr::video::E_TEXTURE_LOCK_MODE, u32) { return nullptr; }

u32 CKeGlTexture::getPitch() const { return m_size.Width * bytesPerTexel(m_format); }

void CKeGlTexture::regenerateMipMapLevels(void*) {
    if (!m_glName || !m_mipmaps) return;
    KeGlStateGuard guard;
    glBindTexture(getGlTarget(), m_glName);
    glGenerateMipmap(getGlTarget());
}

u32 CKeGlTexture::getGlTarget() const {
    switch (m_kind) {
    case KeGlTextureKind::Cube: return GL_TEXTURE_CUBE_MAP;
    case KeGlTextureKind::Volume: return GL_TEXTURE_3D;
    default: return GL_TEXTURE_2D;
    }
}

bool CKeGlTexture::readPixels(u32 face, std::vector<uint32_t>& out) const {
    const u32 faces = m_kind == KeGlTextureKind::Cube ? 6 : 1;
    if (face >= faces) return false;
    const size_t count = size_t(m_size.Width) * m_size.Height * m_depth;
    out.resize(count);
    if (!m_glName) {
        if (m_pixels.size() < count * (face + 1)) return false;
        std::memcpy(out.data(), m_pixels.data() + count * face, count * sizeof(uint32_t));
        return true;
    }
    keGlCheckBefore("reading an engine texture");
    KeGlStateGuard guard;
    glBindTexture(getGlTarget(), m_glName);
    const GLenum target = m_kind == KeGlTextureKind::Cube ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + face : getGlTarget();
    glGetTexImage(target, 0, GL_BGRA, GL_UNSIGNED_BYTE, out.data());
    return keGlCheck("reading an engine texture");
}

// ---------------------------------------------------------------------------------------------
// creation

namespace {

void setSampling(GLenum target, bool mipmaps) {
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, mipmaps ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(target, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(target, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(target, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
    if (!mipmaps) glTexParameteri(target, GL_TEXTURE_MAX_LEVEL, 0);
}

// Finishes a GL texture: reports and releases it when GL raised an error.
CKeGlTexture* finishGl(CKeGlTexture* texture, const char* what) {
    const std::string where = std::string(what) + " '" + texture->getName().getPath().c_str() + "'";
    if (!keGlCheck(where.c_str())) {
        texture->drop();
        return nullptr;
    }
    return texture;
}

// Starts a GL upload for t: earlier errors drained, a new texture object named in t and bound
// to target.
void beginUpload(CKeGlTexture* t, GLenum target) {
    keGlCheckBefore("an engine texture upload");
    GLuint name = 0;
    glGenTextures(1, &name);
    KeGlTextureAccess::glName(t) = name;
    glBindTexture(target, name);
}

}  // namespace

CKeGlTexture* keGlCreateCubeTexture(irr::video::IVideoDriver* driver, const irr::io::path& name, u32 edge,
                                    const uint32_t* const faces[6], bool mipmaps) {
    if (!checkEdge("cube texture", name, edge, edge, 1)) return nullptr;
    for (int f = 0; f < 6; ++f)
        if (!faces || !faces[f]) return nullptr;
    CKeGlTexture* t = KeGlTextureAccess::make(name, KeGlTextureKind::Cube, edge, edge, 1, irr::video::ECF_A8R8G8B8,
                                              mipmaps, false);
    const size_t faceTexels = size_t(edge) * edge;
    if (!usesGl(driver)) {
        auto& pixels = KeGlTextureAccess::pixels(t);
        pixels.resize(faceTexels * 6);
        for (int f = 0; f < 6; ++f) std::memcpy(pixels.data() + faceTexels * f, faces[f], faceTexels * 4);
        return t;
    }
    KeGlStateGuard guard;
    beginUpload(t, GL_TEXTURE_CUBE_MAP);
    for (u32 f = 0; f < 6; ++f)
        glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + f, 0, GL_RGBA8, GLsizei(edge), GLsizei(edge), 0, GL_BGRA,
                     GL_UNSIGNED_BYTE, faces[f]);
    setSampling(GL_TEXTURE_CUBE_MAP, mipmaps);
    if (mipmaps) glGenerateMipmap(GL_TEXTURE_CUBE_MAP);
    return finishGl(t, "cube texture");
}

CKeGlTexture* keGlCreateVolumeTexture(irr::video::IVideoDriver* driver, const irr::io::path& name, u32 width,
                                      u32 height, u32 depth, const uint32_t* voxels, bool mipmaps) {
    if (!checkEdge("volume texture", name, width, height, depth) || !voxels) return nullptr;
    if (size_t(width) * height * depth > (size_t(1) << 28)) {
        printMessage(KE_ERROR, "volume texture '%s': too large", name.c_str());
        return nullptr;
    }
    CKeGlTexture* t = KeGlTextureAccess::make(name, KeGlTextureKind::Volume, width, height, depth,
                                              irr::video::ECF_A8R8G8B8, mipmaps, false);
    const size_t count = size_t(width) * height * depth;
    if (!usesGl(driver)) {
        KeGlTextureAccess::pixels(t).assign(voxels, voxels + count);
        return t;
    }
    KeGlStateGuard guard;
    beginUpload(t, GL_TEXTURE_3D);
    glTexImage3D(GL_TEXTURE_3D, 0, GL_RGBA8, GLsizei(width), GLsizei(height), GLsizei(depth), 0, GL_BGRA,
                 GL_UNSIGNED_BYTE, voxels);
    setSampling(GL_TEXTURE_3D, mipmaps);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_R, GL_REPEAT);
    if (mipmaps) glGenerateMipmap(GL_TEXTURE_3D);
    return finishGl(t, "volume texture");
}

CKeGlTexture* keGlCreateFloatTexture(irr::video::IVideoDriver* driver, const irr::io::path& name, u32 width,
                                     u32 height, const float* texels) {
    if (!checkEdge("float texture", name, width, height, 1) || !texels) return nullptr;
    CKeGlTexture* t = KeGlTextureAccess::make(name, KeGlTextureKind::Texture2D, width, height, 1,
                                              irr::video::ECF_R32F, false, false);
    if (!usesGl(driver)) {
        // The twin keeps what a read-back gives: red clamped to 0..255, opaque.
        auto& pixels = KeGlTextureAccess::pixels(t);
        pixels.resize(size_t(width) * height);
        for (size_t i = 0; i < pixels.size(); ++i) {
            const float v = std::min(1.0f, std::max(0.0f, texels[i]));
            pixels[i] = 0xFF000000u | uint32_t(v * 255.0f + 0.5f) << 16;
        }
        return t;
    }
    KeGlStateGuard guard;
    beginUpload(t, GL_TEXTURE_2D);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_R32F, GLsizei(width), GLsizei(height), 0, GL_RED, GL_FLOAT, texels);
    setSampling(GL_TEXTURE_2D, false);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    return finishGl(t, "float texture");
}

CKeGlTexture* keGlCreateCubeRenderTarget(irr::video::IVideoDriver* driver, const irr::io::path& name, u32 edge,
                                         ECOLOR_FORMAT format) {
    if (!checkEdge("cube render target", name, edge, edge, 1)) return nullptr;
    const GLenum internal = internalFormatOf(format);
    if (!internal) {
        printMessage(KE_ERROR, "cube render target '%s': unsupported colour format %d", name.c_str(), int(format));
        return nullptr;
    }
    CKeGlTexture* t = KeGlTextureAccess::make(name, KeGlTextureKind::Cube, edge, edge, 1, format, false, true);
    if (!usesGl(driver)) {
        KeGlTextureAccess::pixels(t).assign(size_t(edge) * edge * 6, 0u);
        return t;
    }
    KeGlStateGuard guard;
    beginUpload(t, GL_TEXTURE_CUBE_MAP);
    // Storage only; the pixel transfer type just has to be valid for the internal format.
    for (u32 f = 0; f < 6; ++f)
        glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + f, 0, GLint(internal), GLsizei(edge), GLsizei(edge), 0,
                     GL_RGBA, GL_FLOAT, nullptr);
    setSampling(GL_TEXTURE_CUBE_MAP, false);
    GLuint fbo = 0;
    glGenFramebuffers(1, &fbo);
    KeGlTextureAccess::fbo(t) = fbo;
    CKeGlTexture* made = finishGl(t, "cube render target");
    if (!made) return nullptr;
    // Check that every face can be drawn into before anyone relies on it.
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo);
    for (u32 f = 0; f < 6; ++f) {
        glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_CUBE_MAP_POSITIVE_X + f,
                               KeGlTextureAccess::glName(t), 0);
        if (glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            printMessage(KE_ERROR, "cube render target '%s': face %u cannot be drawn into", name.c_str(), f);
            made->drop();
            return nullptr;
        }
    }
    return made;
}

CKeGlTexture* keGlCreateNullRenderTarget(irr::video::IVideoDriver* driver, const irr::io::path& name,
                                         const irr::core::dimension2du& size, ECOLOR_FORMAT format) {
    if (usesGl(driver)) return nullptr;
    if (!checkEdge("render target", name, size.Width, size.Height, 1)) return nullptr;
    if (!internalFormatOf(format)) return nullptr;
    CKeGlTexture* t =
        KeGlTextureAccess::make(name, KeGlTextureKind::Texture2D, size.Width, size.Height, 1, format, false, true);
    KeGlTextureAccess::pixels(t).assign(size_t(size.Width) * size.Height, 0u);
    return t;
}

// ---------------------------------------------------------------------------------------------
// cube faces

namespace {

bool checkCubeTarget(CKeGlTexture* cube, u32 face) {
    return cube && cube->getKind() == KeGlTextureKind::Cube && cube->isRenderTarget() && face < 6;
}

}  // namespace

bool keGlCopyTargetToCubeFace(irr::video::IVideoDriver* driver, irr::video::ITexture* source, CKeGlTexture* cube,
                              u32 face) {
    if (!checkCubeTarget(cube, face) || !source || !source->isRenderTarget()) return false;
    if (!cube->isGl()) {
        // Null twin: copy the source twin's pixels when it has any (nearest).
        CKeGlTexture* src = keAsEngineTexture(source);
        if (!src) return true;
        std::vector<uint32_t> pixels;
        if (!src->readPixels(0, pixels)) return false;
        const u32 edge = cube->getSize().Width;
        const u32 sw = src->getSize().Width, sh = src->getSize().Height;
        uint32_t* dst = KeGlTextureAccess::pixels(cube).data() + size_t(edge) * edge * face;
        for (u32 y = 0; y < edge; ++y) {
            const u32 sy = u32(uint64_t(y) * sh / edge);
            for (u32 x = 0; x < edge; ++x) dst[size_t(y) * edge + x] = pixels[size_t(sy) * sw + u32(uint64_t(x) * sw / edge)];
        }
        return true;
    }
    if (!usesGl(driver)) return false;
    // Make the source current through the library, so that its framebuffer is bound.
    if (!driver->setRenderTarget(source, false, false)) return false;
    keGlCheckBefore("a copy into a cube face");
    KeGlStateGuard guard;
    GLint sourceFbo = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &sourceFbo);
    const irr::core::dimension2du& size = source->getSize();
    const GLint edge = GLint(cube->getSize().Width);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(sourceFbo));
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, KeGlTextureAccess::fbo(cube));
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_CUBE_MAP_POSITIVE_X + face,
                           cube->getGlName(), 0);
    glDisable(GL_SCISSOR_TEST);
    const GLint sw = GLint(size.Width), sh = GLint(size.Height);
    const GLenum filter = (sw == edge && sh == edge) ? GL_NEAREST : GL_LINEAR;
    glBlitFramebuffer(0, 0, sw, sh, 0, 0, edge, edge, GL_COLOR_BUFFER_BIT, filter);
    const std::string where = "the copy into cube face " + std::to_string(face);
    return keGlCheck(where.c_str());
}

bool keGlClearCubeFace(irr::video::IVideoDriver* driver, CKeGlTexture* cube, u32 face, irr::video::SColor color) {
    if (!checkCubeTarget(cube, face)) return false;
    if (!cube->isGl()) {
        const u32 edge = cube->getSize().Width;
        auto& pixels = KeGlTextureAccess::pixels(cube);
        std::fill(pixels.begin() + ptrdiff_t(size_t(edge) * edge * face),
                  pixels.begin() + ptrdiff_t(size_t(edge) * edge * (face + 1)), color.color);
        return true;
    }
    if (!usesGl(driver)) return false;
    keGlCheckBefore("clearing a cube face");
    KeGlStateGuard guard;
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, KeGlTextureAccess::fbo(cube));
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_CUBE_MAP_POSITIVE_X + face,
                           cube->getGlName(), 0);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    const irr::video::SColorf c(color);
    glClearColor(c.r, c.g, c.b, c.a);
    glClear(GL_COLOR_BUFFER_BIT);
    return keGlCheck("clearing a cube face");
}

bool keGlReadCurrentTarget(irr::video::IVideoDriver* driver, u32 x, u32 y, u32 width, u32 height,
                           std::vector<uint32_t>& out) {
    if (!usesGl(driver) || width == 0 || height == 0) return false;
    const irr::core::dimension2du& size = driver->getCurrentRenderTargetSize();
    if (x + width > size.Width || y + height > size.Height) return false;
    keGlCheckBefore("reading the current target");
    KeGlStateGuard guard;
    out.resize(size_t(width) * height);
    GLint fbo = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &fbo);
    if (fbo != 0) {  // a render target: row 0 is the top of its picture
        glReadPixels(GLint(x), GLint(y), GLsizei(width), GLsizei(height), GL_BGRA, GL_UNSIGNED_BYTE, out.data());
        return keGlCheck("reading the current target");
    }
    // The back buffer counts rows from the bottom.
    glReadPixels(GLint(x), GLint(size.Height - y - height), GLsizei(width), GLsizei(height), GL_BGRA,
                 GL_UNSIGNED_BYTE, out.data());
    for (u32 row = 0; row < height / 2; ++row)
        std::swap_ranges(out.begin() + ptrdiff_t(size_t(row) * width), out.begin() + ptrdiff_t(size_t(row + 1) * width),
                         out.begin() + ptrdiff_t(size_t(height - 1 - row) * width));
    return keGlCheck("reading the current target");
}

// ---------------------------------------------------------------------------------------------
// registry and binding

CKeGlTexture* keAsEngineTexture(const irr::video::ITexture* texture) {
    if (!texture) return nullptr;
    for (CKeGlTexture* t : registry())
        if (t == texture) return t;
    return nullptr;
}

bool keGlBindTexture(u32 unit, const irr::video::ITexture* texture) {
    CKeGlTexture* t = keAsEngineTexture(texture);
    if (!t || !t->isGl()) return false;
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(t->getGlTarget(), t->getGlName());
    glActiveTexture(GL_TEXTURE0);
    return true;
}

}  // namespace kolm
