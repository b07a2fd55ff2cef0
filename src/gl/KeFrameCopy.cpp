#include "gl/KeFrameCopy.h"

#include <epoxy/gl.h>
#include <epoxy/glx.h>

#include <algorithm>

namespace kolm {
namespace {

bool haveBlits() {
    return epoxy_gl_version() >= 30 || epoxy_has_gl_extension("GL_ARB_framebuffer_object");
}

// The framebuffer, renderbuffer, read-buffer and scissor state that the copy changes, put back
// when it goes out of scope.
class BindingsScope {
public:
    BindingsScope() {
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &m_read);
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &m_draw);
        glGetIntegerv(GL_RENDERBUFFER_BINDING, &m_renderbuffer);
        glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &m_packBuffer);
        glGetIntegerv(GL_PACK_ALIGNMENT, &m_packAlign);
        m_scissor = glIsEnabled(GL_SCISSOR_TEST);
        // The window's read buffer is state of the window's framebuffer.
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        glGetIntegerv(GL_READ_BUFFER, &m_windowReadBuffer);
    }
    ~BindingsScope() {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        glReadBuffer(static_cast<GLenum>(m_windowReadBuffer));
        if (m_scissor) glEnable(GL_SCISSOR_TEST);
        glPixelStorei(GL_PACK_ALIGNMENT, m_packAlign);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, static_cast<GLuint>(m_packBuffer));
        glBindRenderbuffer(GL_RENDERBUFFER, static_cast<GLuint>(m_renderbuffer));
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(m_draw));
        glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(m_read));
    }
    BindingsScope(const BindingsScope&) = delete;
    BindingsScope& operator=(const BindingsScope&) = delete;

private:
    GLint m_read = 0, m_draw = 0, m_renderbuffer = 0, m_packBuffer = 0, m_packAlign = 4;
    GLint m_windowReadBuffer = GL_BACK;
    GLboolean m_scissor = GL_FALSE;
};

}  // namespace

bool KeFrameCopy::capture(int width, int height) {
    if (width <= 0 || height <= 0 || !glXGetCurrentContext() || !haveBlits()) return false;
    if (m_context != glXGetCurrentContext()) {
        // Names of another (or a destroyed) context mean nothing here.
        m_fbo = m_colour = 0;
        m_width = m_height = 0;
        m_context = glXGetCurrentContext();
    }
    BindingsScope scope;
    if (!m_fbo || width != m_width || height != m_height) {
        // Made once per size: a running presentation keeps its size, so frames allocate nothing.
        if (!m_fbo) glGenFramebuffers(1, &m_fbo);
        if (!m_colour) glGenRenderbuffers(1, &m_colour);
        glBindRenderbuffer(GL_RENDERBUFFER, m_colour);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_fbo);
        glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_colour);
        if (glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            m_width = m_height = 0;
            return false;
        }
        m_width = width;
        m_height = height;
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_fbo);
    // Blits bypass the fragment pipeline except for the scissor test.
    glDisable(GL_SCISSOR_TEST);
    glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    return true;
}

bool KeFrameCopy::current() const { return valid() && glXGetCurrentContext() && m_context == glXGetCurrentContext(); }

bool KeFrameCopy::read(uint8_t* rgb) const {
    if (!current() || !rgb) return false;
    BindingsScope scope;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_fbo);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, m_width, m_height, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    // GL rows run bottom to top.
    const size_t stride = static_cast<size_t>(m_width) * 3;
    for (int y = 0; y < m_height / 2; ++y) {
        uint8_t* a = rgb + static_cast<size_t>(y) * stride;
        uint8_t* b = rgb + static_cast<size_t>(m_height - 1 - y) * stride;
        std::swap_ranges(a, a + stride, b);
    }
    return true;
}

void KeFrameCopy::release() {
    if (m_context && m_context == glXGetCurrentContext()) {
        if (m_fbo) glDeleteFramebuffers(1, &m_fbo);
        if (m_colour) glDeleteRenderbuffers(1, &m_colour);
    }
    m_fbo = m_colour = 0;
    m_width = m_height = 0;
    m_context = nullptr;
}

}  // namespace kolm
