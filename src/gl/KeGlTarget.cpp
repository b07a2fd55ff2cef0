#include "gl/KeGlTarget.h"

#include <epoxy/gl.h>
#include <irrlicht/IVideoDriver.h>
#include <irrlicht/rect.h>

#include <utility>

namespace kolm {

namespace {

bool usesGl(irr::video::IVideoDriver* driver) {
    return driver && driver->getDriverType() == irr::video::EDT_OPENGL;
}

// The same rows counted from the other end of a target `height` rows high.
void mirror(int box[4], int height) { box[1] = height - box[1] - box[3]; }


// Orientations nest (a renderer's scope around draws of shader materials, which begin their
// own): the first one inside a target turns the origin and mirrors the boxes, the last one to
// leave puts them back. A framebuffer bound in the meantime ends what was done for the old one.
struct OrientationState {
    int holders = 0;
    bool applied = false;
    int fbo = 0;
    int height = 0;
    int viewport[4] = {0, 0, 0, 0};  // as mirrored
    int scissor[4] = {0, 0, 0, 0};
};
OrientationState g_orientation;

int drawFramebuffer() {
    GLint fbo = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &fbo);
    return fbo;
}

bool sameBox(const int a[4], const GLint b[4]) { return a[0] == b[0] && a[1] == b[1] && a[2] == b[2] && a[3] == b[3]; }

void apply(int fbo, int height) {
    OrientationState& o = g_orientation;
    o.applied = true;
    o.fbo = fbo;
    o.height = height;
    glClipControl(GL_UPPER_LEFT, GL_NEGATIVE_ONE_TO_ONE);
    glGetIntegerv(GL_VIEWPORT, o.viewport);
    glGetIntegerv(GL_SCISSOR_BOX, o.scissor);
    mirror(o.viewport, height);
    mirror(o.scissor, height);
    glViewport(o.viewport[0], o.viewport[1], o.viewport[2], o.viewport[3]);
    glScissor(o.scissor[0], o.scissor[1], o.scissor[2], o.scissor[3]);
}

// Boxes set anew in the meantime stay as they were set.
void unapply() {
    OrientationState& o = g_orientation;
    o.applied = false;
    glClipControl(GL_LOWER_LEFT, GL_NEGATIVE_ONE_TO_ONE);
    GLint now[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, now);
    if (sameBox(o.viewport, now)) {
        mirror(o.viewport, o.height);
        glViewport(o.viewport[0], o.viewport[1], o.viewport[2], o.viewport[3]);
    }
    glGetIntegerv(GL_SCISSOR_BOX, now);
    if (sameBox(o.scissor, now)) {
        mirror(o.scissor, o.height);
        glScissor(o.scissor[0], o.scissor[1], o.scissor[2], o.scissor[3]);
    }
}

}  // namespace

KeGlTargetOrientation::KeGlTargetOrientation(irr::video::IVideoDriver* driver) {
    if (usesGl(driver)) begin(int(driver->getCurrentRenderTargetSize().Height));
}

bool keGlDrawingIntoTarget() {
    GLint fbo = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &fbo);
    return fbo != 0;
}

void KeGlTargetOrientation::begin(int targetHeight) {
    if (m_active) return;
    m_active = true;
    ++g_orientation.holders;
    const int fbo = drawFramebuffer();
    if (g_orientation.applied && g_orientation.fbo != fbo) unapply();
    if (!g_orientation.applied && fbo != 0) apply(fbo, targetHeight);
}

void KeGlTargetOrientation::end() {
    if (!m_active) return;
    m_active = false;
    if (--g_orientation.holders == 0 && g_orientation.applied) unapply();
}

void keGlDraw2DImage(irr::video::IVideoDriver* driver, irr::video::ITexture* texture,
                     const irr::core::rect<irr::s32>& dest, const irr::core::rect<irr::s32>& source,
                     bool useAlphaChannel) {
    if (!driver || !texture) return;
    irr::core::rect<irr::s32> from = source;
    // The library reads a render target's rows bottom-up; its rows are top first here, so the
    // source rectangle is handed over upside down and the two turns cancel.
    if (usesGl(driver) && texture->isRenderTarget()) std::swap(from.UpperLeftCorner.Y, from.LowerRightCorner.Y);
    KeGlTargetOrientation orientation(driver);
    driver->draw2DImage(texture, dest, from, nullptr, nullptr, useAlphaChannel);
}

}  // namespace kolm
