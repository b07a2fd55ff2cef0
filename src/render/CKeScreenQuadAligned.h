// A screen quad whose texture coordinates land on texel centres for the current render target,
// as the SMAA passes expect. The engine's shaders read their inputs where Direct3D 9 would (half
// a pixel up and left of GL's pixel centre), and there a quad shifted half a pixel left and up
// gives texel centres. Shifting the quad itself would leave GL's last column and row uncovered
// (GL samples coverage at its own pixel centres), so the quad covers the target exactly and the
// half-texel shift goes into its texture coordinates instead: every pixel reads the same
// coordinate as under the shifted quad. Rebuilt at every draw from the target's size; allocates
// nothing.
#pragma once

#include <irrlicht/S3DVertex.h>
#include <irrlicht/SMaterial.h>

namespace irr {
namespace video {
class IVideoDriver;
}
}  // namespace irr

namespace kolm {

class CKeScreenQuadAligned {
public:
    CKeScreenQuadAligned();
    virtual ~CKeScreenQuadAligned() {}
    // For a w x h target (u = 0.5 / w, v = 0.5 / h): vertices (-1, 1) (u, v), (1, 1) (1 + u, v),
    // (1, -1) (1 + u, 1 + v), (-1, -1) (u, 1 + v); the material, an identity world transform,
    // and the triangles 0 1 3, 1 2 3.
    virtual void render(irr::video::IVideoDriver* driver);
    virtual irr::video::SMaterial& getMaterial() { return m_material; }
    const irr::video::S3DVertex* vertices() const { return m_vertices; }

    // The four vertices for a target of `width` x `height` pixels.
    static void build(irr::video::S3DVertex (&vertices)[4], irr::u32 width, irr::u32 height);

private:
    irr::video::S3DVertex m_vertices[4];
    irr::video::SMaterial m_material;
};

}  // namespace kolm
