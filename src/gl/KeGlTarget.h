// The orientation rule of render targets. Row 0 of every render target and of every cube face
// holds the top of its picture, as row 0 of an image file does and as Direct3D draws: texture
// coordinate (0, 0) reads the top-left corner of a picture whoever drew it, and copies, cube
// faces and read-backs take rows in that order. The back buffer stays as GL shows it.
//
// GL draws into a framebuffer object with row 0 at the bottom. While an orientation is begun
// and a framebuffer object is bound for drawing, the clip-space origin is the upper left
// (glClipControl), so shader and fixed-function draws land the right way up with their winding
// kept; the viewport and scissor box, which the library gives in GL's bottom-up rows, are
// mirrored onto the same rows of the picture for as long.
#pragma once

#include <irrlicht/irrTypes.h>

namespace irr {
namespace core {
template <class T> class rect;
}
namespace video {
class ITexture;
class IVideoDriver;
}  // namespace video
}  // namespace irr

namespace kolm {

class KeGlTargetOrientation {
public:
    KeGlTargetOrientation() = default;
    // Begins at once for `driver` (nothing for drivers other than OpenGL).
    explicit KeGlTargetOrientation(irr::video::IVideoDriver* driver);
    ~KeGlTargetOrientation() { end(); }
    KeGlTargetOrientation(const KeGlTargetOrientation&) = delete;
    KeGlTargetOrientation& operator=(const KeGlTargetOrientation&) = delete;

    // A GL context must be current; main thread only. `targetHeight`: pixel height of the
    // bound target. Orientations nest: inside another one this only joins it; otherwise it
    // does nothing for the back buffer.
    void begin(int targetHeight);
    // Leaves; the last one to leave puts back the clip origin, and the viewport and scissor
    // box unless they were set anew meanwhile.
    void end();
    bool active() const { return m_active; }

private:
    bool m_active = false;
};

// True while a framebuffer object (a render target) is bound for drawing.
bool keGlDrawingIntoTarget();

// Draws `source` of `texture` into `dest` of the current target, as the library's 2D image
// drawing does (vertex colours, alpha channel), with the picture of a render target the right
// way up. Into a render target the orientation rule holds as for every other draw.
void keGlDraw2DImage(irr::video::IVideoDriver* driver, irr::video::ITexture* texture,
                     const irr::core::rect<irr::s32>& dest, const irr::core::rect<irr::s32>& source,
                     bool useAlphaChannel = false);

}  // namespace kolm
