// Two of the library's render targets drawn at once: the first is made current through the
// video driver and the second's texture becomes the framebuffer's second colour output (shader
// output COLOR1) until the pair ends. The library's own list of targets allocates at every
// switch; this does not, once the second target is known.
//
// While a pair is current the library still believes that the first target alone is current
// and would keep drawing into both: end the pair (the scope does) before anything else is drawn
// into the first target.
#pragma once

namespace irr {
namespace video {
class ITexture;
class IVideoDriver;
}  // namespace video
}  // namespace irr

namespace kolm {

class KeGlTargetPair {
public:
    KeGlTargetPair() = default;
    KeGlTargetPair(const KeGlTargetPair&) = delete;
    KeGlTargetPair& operator=(const KeGlTargetPair&) = delete;
    ~KeGlTargetPair() { end(); }

    // Both targets must be render targets of the library's OpenGL driver, of one size. False,
    // with nothing current, when they are not.
    bool begin(irr::video::IVideoDriver* driver, irr::video::ITexture* first, irr::video::ITexture* second);
    // Takes the second output off the first target's framebuffer; the first target stays the
    // driver's current target, drawing into itself alone.
    void end();
    bool active() const { return m_fbo != 0; }

private:
    irr::video::ITexture* m_second = nullptr;  // the second target last looked up
    unsigned m_secondName = 0;                 // its GL texture
    unsigned m_fbo = 0;                        // the first target's framebuffer while active
};

}  // namespace kolm
