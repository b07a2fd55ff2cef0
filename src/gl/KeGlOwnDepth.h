// A depth buffer of its own for one of the library's render targets. The library gives all its
// render targets of one size a single shared depth buffer; a target that is cleared and drawn
// while another of its size still needs its depth (a shadow map as large as the screen) gets
// its own here. The library never attaches depth again after creation, so the attachment stays.
#pragma once

namespace irr {
namespace video {
class ITexture;
class IVideoDriver;
}  // namespace video
}  // namespace irr

namespace kolm {

class KeGlOwnDepth {
public:
    KeGlOwnDepth() = default;
    // Frees nothing: release() must run while the context is current.
    ~KeGlOwnDepth() = default;
    KeGlOwnDepth(const KeGlOwnDepth&) = delete;
    KeGlOwnDepth& operator=(const KeGlOwnDepth&) = delete;

    // Attaches a new depth and stencil buffer of the target's size to `target` (a render target
    // of the library's OpenGL driver). The back buffer is the current target afterwards. False,
    // with nothing changed, for other drivers or targets, or when GL refuses the attachment.
    bool attach(irr::video::IVideoDriver* driver, irr::video::ITexture* target);
    // Deletes the buffer (the target, if still alive, is left without depth).
    void release();
    bool attached() const { return m_renderbuffer != 0; }

private:
    unsigned m_renderbuffer = 0;
};

}  // namespace kolm
