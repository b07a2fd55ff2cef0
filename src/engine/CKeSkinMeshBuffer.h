// A skinned-mesh buffer of the library with the engine's additions (IKeMeshBufferExt). The
// `.x` loader puts these into the library's skinned meshes, which own and drop them like
// their own buffers.
#pragma once

#include "engine/IKeMeshBufferExt.h"

#include <irrlicht/SSkinMeshBuffer.h>

namespace kolm {

class CKeSkinMeshBuffer : public irr::scene::SSkinMeshBuffer, public IKeMeshBufferExt {
public:
    explicit CKeSkinMeshBuffer(irr::video::E_VERTEX_TYPE vertexType = irr::video::EVT_STANDARD)
        : irr::scene::SSkinMeshBuffer(vertexType) {}

    const irr::core::array<irr::u32>* getOriginalVerticesIndices() const override { return &m_originalIndices; }
    irr::s32 getFirstProperty() const override { return m_first; }
    irr::s32 getSecondProperty() const override { return m_second; }
    void setFirstProperty(irr::s32 value) override { m_first = value; }
    void setSecondProperty(irr::s32 value) override { m_second = value; }

    // Filled by the loader: one entry per vertex, in vertex order.
    irr::core::array<irr::u32>& originalVerticesIndices() { return m_originalIndices; }

private:
    irr::core::array<irr::u32> m_originalIndices;
    irr::s32 m_first = 0;
    irr::s32 m_second = 0;
};

}  // namespace kolm
