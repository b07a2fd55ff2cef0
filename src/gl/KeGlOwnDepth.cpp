#include "gl/KeGlOwnDepth.h"

#include <epoxy/gl.h>
#include <irrlicht/ITexture.h>
#include <irrlicht/IVideoDriver.h>

namespace kolm {

bool KeGlOwnDepth::attach(irr::video::IVideoDriver* driver, irr::video::ITexture* target) {
    if (!driver || driver->getDriverType() != irr::video::EDT_OPENGL || !target || !target->isRenderTarget() ||
        target->getDriverType() != irr::video::EDT_OPENGL)
        return false;
    release();
    // The library binds the target's framebuffer; its name is read back from GL.
    if (!driver->setRenderTarget(target, false, false)) return false;
    GLint fbo = 0, previousRenderbuffer = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &fbo);
    glGetIntegerv(GL_RENDERBUFFER_BINDING, &previousRenderbuffer);
    bool ok = false;
    if (fbo != 0) {
        GLuint rb = 0;
        glGenRenderbuffers(1, &rb);
        glBindRenderbuffer(GL_RENDERBUFFER, rb);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, GLsizei(target->getSize().Width),
                              GLsizei(target->getSize().Height));
        glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, rb);
        ok = glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        if (ok) {
            m_renderbuffer = rb;
        } else {
            glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
            glDeleteRenderbuffers(1, &rb);
        }
        glBindRenderbuffer(GL_RENDERBUFFER, GLuint(previousRenderbuffer));
    }
    driver->setRenderTarget(nullptr, false, false);
    return ok;
}

void KeGlOwnDepth::release() {
    if (!m_renderbuffer) return;
    const GLuint rb = m_renderbuffer;
    glDeleteRenderbuffers(1, &rb);
    m_renderbuffer = 0;
}

}  // namespace kolm
