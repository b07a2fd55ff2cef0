#include "gl/KeGlState.h"

#include <epoxy/gl.h>

namespace kolm {

KeGlStateGuard::KeGlStateGuard() : m_activeUnit(GL_TEXTURE0) {
    glGetIntegerv(GL_ACTIVE_TEXTURE, &m_activeUnit);
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &m_binding2D);
    glGetIntegerv(GL_TEXTURE_BINDING_CUBE_MAP, &m_bindingCube);
    glGetIntegerv(GL_TEXTURE_BINDING_3D, &m_binding3D);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &m_drawFbo);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &m_readFbo);
    glGetIntegerv(GL_VIEWPORT, m_viewport);
    m_scissor = glIsEnabled(GL_SCISSOR_TEST) == GL_TRUE;
    GLboolean mask[4] = {GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    for (int i = 0; i < 4; ++i) m_colorMask[i] = mask[i];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, m_clearColor);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &m_unpackAlignment);
    glGetIntegerv(GL_PACK_ALIGNMENT, &m_packAlignment);
    glGetIntegerv(GL_CURRENT_PROGRAM, &m_program);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
}

KeGlStateGuard::~KeGlStateGuard() {
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(m_binding2D));
    glBindTexture(GL_TEXTURE_CUBE_MAP, static_cast<GLuint>(m_bindingCube));
    glBindTexture(GL_TEXTURE_3D, static_cast<GLuint>(m_binding3D));
    glActiveTexture(static_cast<GLenum>(m_activeUnit));
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(m_drawFbo));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(m_readFbo));
    glViewport(m_viewport[0], m_viewport[1], m_viewport[2], m_viewport[3]);
    if (m_scissor)
        glEnable(GL_SCISSOR_TEST);
    else
        glDisable(GL_SCISSOR_TEST);
    glColorMask(m_colorMask[0], m_colorMask[1], m_colorMask[2], m_colorMask[3]);
    glClearColor(m_clearColor[0], m_clearColor[1], m_clearColor[2], m_clearColor[3]);
    glPixelStorei(GL_UNPACK_ALIGNMENT, m_unpackAlignment);
    glPixelStorei(GL_PACK_ALIGNMENT, m_packAlignment);
    glUseProgram(static_cast<GLuint>(m_program));
}

}  // namespace kolm
