#include "render/CKeScreenQuadAligned.h"

#include <irrlicht/IVideoDriver.h>

namespace kolm {

using namespace irr;

CKeScreenQuadAligned::CKeScreenQuadAligned() {
    build(m_vertices, 1, 1);
    m_material.Lighting = false;
    m_material.ZWriteEnable = false;
    m_material.Wireframe = false;
    m_material.ZBuffer = video::ECFN_ALWAYS;
}

void CKeScreenQuadAligned::build(video::S3DVertex (&v)[4], u32 width, u32 height) {
    const f32 u = 0.5f / f32(width ? width : 1);
    const f32 t = 0.5f / f32(height ? height : 1);
    const video::SColor none(0);
    v[0] = video::S3DVertex(-1, 1, 0, 0, 0, 1, none, u, t);
    v[1] = video::S3DVertex(1, 1, 0, 0, 0, 1, none, 1 + u, t);
    v[2] = video::S3DVertex(1, -1, 0, 0, 0, 1, none, 1 + u, 1 + t);
    v[3] = video::S3DVertex(-1, -1, 0, 0, 0, 1, none, u, 1 + t);
}

void CKeScreenQuadAligned::render(video::IVideoDriver* driver) {
    static const u16 indices[6] = {0, 1, 3, 1, 2, 3};
    const core::dimension2du size = driver->getCurrentRenderTargetSize();
    build(m_vertices, size.Width, size.Height);
    driver->setMaterial(m_material);
    driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
    driver->drawIndexedTriangleList(m_vertices, 4, indices, 2);
}

}  // namespace kolm
