// The two morph mesh classes (see IKeMorphMesh.h). Both keep a mesh copy that is drawn, the
// base pose, the morph set and, when skinned, the library's skinned mesh for joint evaluation
// with a work mesh to skin from: the library's own skinning starts from poses of its own and
// would overwrite blended morphs, so the library's skinned mesh is switched to skinning
// elsewhere (hardware skinning) and its vertices stay in the bind pose.
#pragma once

#include "core/KePtr.h"
#include "engine/CKeMeshKM.h"
#include "engine/IKeMorphMesh.h"

#include <irrlicht/ISkinnedMesh.h>

#include <memory>
#include <vector>

namespace kolm {

class CKeMorphMeshMorphMapKM : public IKeMorphMesh {
public:
    CKeMorphMeshMorphMapKM() = default;

    irr::u32 getMeshBufferCount() const override;
    irr::scene::IMeshBuffer* getMeshBuffer(irr::u32 nr) const override;
    irr::scene::IMeshBuffer* getMeshBuffer(const irr::video::SMaterial& material) const override;
    const irr::core::aabbox3df& getBoundingBox() const override { return m_box; }
    void setBoundingBox(const irr::core::aabbox3df& box) override { m_box = box; }
    void setMaterialFlag(irr::video::E_MATERIAL_FLAG flag, bool value) override;
    void setHardwareMappingHint(irr::scene::E_HARDWARE_MAPPING hint, irr::scene::E_BUFFER_TYPE buffer) override;
    void setDirty(irr::scene::E_BUFFER_TYPE buffer) override;

    void update(irr::u32 count, const irr::u32* ids, const irr::f32* weights, irr::f32 frame) override;
    irr::u32 getMorphCount() const override { return m_morphs ? m_morphs->getMorphCount() : 0; }
    irr::u32 getFrameCount() const override;
    IKeMorphMesh* clone() const override;
    bool createStatic(irr::scene::IMesh* mesh, KeMorphSetPtr morphs) override;
    bool createSkinned(irr::scene::ISkinnedMesh* mesh, KeMorphSetPtr morphs) override;
    irr::scene::ISkinnedMesh* getSkinnedMesh() const override { return m_skinned.get(); }
    void clear() override;

    // For tests and benchmarks: the work mesh (its joint matrices can be set by hand) and the
    // mesh that is drawn.
    CKeMeshKM& workMesh() { return m_work; }
    irr::scene::IMesh* meshCopy() const { return m_copy.get(); }

protected:
    bool setUp(irr::scene::IMesh* mesh, irr::scene::ISkinnedMesh* skinned, KeMorphSetPtr morphs);
    void copyInto(CKeMorphMeshMorphMapKM& clone) const;
    // Adds the weighted deltas of the selection to the work records.
    void blendWork(irr::u32 count, const irr::u32* ids, const irr::f32* weights);
    // Joint matrices of the skinned mesh at `frame` into the work mesh.
    void evaluateJoints(irr::f32 frame);

    KePtr<irr::scene::IMesh> m_copy;
    irr::core::aabbox3df m_box{-1, -1, -1, 1, 1, 1};
    KePtr<irr::scene::ISkinnedMesh> m_skinned;
    std::shared_ptr<const std::vector<CKeStaticMeshBufferKM>> m_base;
    CKeMeshKM m_work;
    KeMorphSetPtr m_morphs;
};

class CKeMorphMeshMorphMap : public CKeMorphMeshMorphMapKM {
public:
    void update(irr::u32 count, const irr::u32* ids, const irr::f32* weights, irr::f32 frame) override;
    IKeMorphMesh* clone() const override;
    // Writes the base positions and normals into `target` (same buffers and vertex counts).
    bool copyBaseVertices(irr::scene::IMesh* target) const;
};

}  // namespace kolm
