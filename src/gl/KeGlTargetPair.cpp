#include "gl/KeGlTargetPair.h"

#include <epoxy/gl.h>
#include <irrlicht/ITexture.h>
#include <irrlicht/IVideoDriver.h>

namespace kolm {

namespace {

bool libraryTarget(irr::video::ITexture* t) {
    return t && t->isRenderTarget() && t->getDriverType() == irr::video::EDT_OPENGL;
}

GLint drawFramebuffer() {
    GLint fbo = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &fbo);
    return fbo;
}

}  // namespace

bool KeGlTargetPair::begin(irr::video::IVideoDriver* driver, irr::video::ITexture* first,
                           irr::video::ITexture* second) {
    end();
    if (!driver || driver->getDriverType() != irr::video::EDT_OPENGL || !libraryTarget(first) ||
        !libraryTarget(second) || first == second || first->getSize() != second->getSize())
        return false;
    if (second != m_second) {
        // The library keeps its textures' GL names to itself: read the one attached to the
        // second target's own framebuffer.
        if (!driver->setRenderTarget(second, false, false) || drawFramebuffer() == 0) return false;
        GLint name = 0;
        glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0,
                                              GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &name);
        if (name == 0) return false;
        m_second = second;
        m_secondName = unsigned(name);
    }
    if (!driver->setRenderTarget(first, false, false)) return false;
    const GLint fbo = drawFramebuffer();
    if (fbo == 0) return false;
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT1, GL_TEXTURE_2D, m_secondName, 0);
    const GLenum buffers[2] = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1};
    glDrawBuffers(2, buffers);
    m_fbo = unsigned(fbo);
    return true;
}

void KeGlTargetPair::end() {
    if (!m_fbo) return;
    const GLint bound = drawFramebuffer();
    if (bound != GLint(m_fbo)) glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_fbo);
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT1, GL_TEXTURE_2D, 0, 0);
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    if (bound != GLint(m_fbo)) glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(bound));
    m_fbo = 0;
}

}  // namespace kolm
