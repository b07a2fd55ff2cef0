// The one GL state guard. The library caches the textures bound on units 0-3, the framebuffer,
// the viewport and its material states, and never reads them back from GL: GL code of the
// engine that changes any of them puts them back as they were. A guard saves on construction
// and restores on destruction: the active unit and unit 0's 2D, cube and 3D bindings, the
// draw and read framebuffers, the viewport, scissor test, colour mask, clear colour, pixel
// pack and unpack alignment (set to 4 while the guard lives) and the current program.
#pragma once

namespace kolm {

class KeGlStateGuard {
public:
    KeGlStateGuard();
    ~KeGlStateGuard();
    KeGlStateGuard(const KeGlStateGuard&) = delete;
    KeGlStateGuard& operator=(const KeGlStateGuard&) = delete;

private:
    int m_activeUnit;
    int m_binding2D = 0, m_bindingCube = 0, m_binding3D = 0;
    int m_drawFbo = 0, m_readFbo = 0;
    int m_viewport[4] = {0, 0, 0, 0};
    bool m_scissor = false;
    unsigned char m_colorMask[4] = {1, 1, 1, 1};
    float m_clearColor[4] = {0, 0, 0, 0};
    int m_unpackAlignment = 4, m_packAlignment = 4;
    int m_program = 0;
};

}  // namespace kolm
