// The node extension (see IKeSceneNodeExt.h) and the operations that find, create and clone
// nodes with their extensions.
#pragma once

#include "fx/IKeSceneNodeExt.h"
#include "fx/KeMaterialBinding.h"

#include <irrlicht/IMesh.h>
#include <irrlicht/SMaterial.h>

#include <memory>
#include <vector>

namespace kolm {

class CKeTextureIndirect;

// One material's textures prepared by the surface for a technique and pass: layers 0-3 in
// `material`, layers 4-7 and the flag bytes in `side`.
struct KePassMaterial {
    irr::video::SMaterial material;
    KeMaterialBinding side;
};

// One row: the material's record, with what the extension keeps beside it.
struct KeNodeExtRow : KeMaterialBinding {
    // `effect` (of the record) holds one reference here.
    IKeSurface* surface = nullptr;  // one reference
    std::vector<std::vector<KePassMaterial>> passMaterials;  // [technique][pass]
    irr::s32 depthTechnique = -1;
    irr::s32 shadowTechnique = -1;
    irr::s32 reflectionTechnique = -1;
};

class CKeSceneNodeExt : public IKeSceneNodeExt {
public:
    explicit CKeSceneNodeExt(irr::scene::ISceneNode* node);
    ~CKeSceneNodeExt() override;

    // ISceneNodeAnimator
    void animateNode(irr::scene::ISceneNode*, irr::u32) override {}
    irr::scene::ISceneNodeAnimator* createClone(irr::scene::ISceneNode* node,
                                                irr::scene::ISceneManager* newManager = nullptr) override;
    bool isEventReceiverEnabled() const override { return false; }
    irr::scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override;
    bool hasFinished() const override { return false; }

    irr::scene::ISceneNode* getNode() const override { return m_node; }
    irr::u32 getRowCount() const override { return irr::u32(m_rows.size()); }
    void setCastShadows(bool on) override { m_castShadows = on; }
    bool getCastShadows() const override { return m_castShadows; }

    IKeEffect* getEffect(irr::s32 row) const override;
    irr::s32 getTechnique(irr::s32 row) const override;
    irr::s32 getPass(irr::s32 row) const override;
    void setEffect(irr::s32 row, IKeEffect* effect, irr::s32 technique, irr::s32 pass) override;
    void setTechniquePass(irr::s32 row, irr::s32 technique, irr::s32 pass) override;
    void setTechnique(irr::s32 row, irr::s32 technique) override;
    void setPass(irr::s32 row, irr::s32 pass) override;
    void removeEffect(irr::s32 row) override;
    void removeAllEffects() override;

    IKeSurface* getSurface(irr::s32 row) const override;
    void setSurface(irr::s32 row, IKeSurface* surface) override;
    void removeSurface(irr::s32 row) override;
    void removeAllSurfaces() override;
    irr::s32 getSurfaceRow(const IKeSurface* surface) const override;

    bool anyBufferMarked() const override;
    bool getBufferProperties(irr::u32 i, irr::s32& first, irr::s32& second) const override;
    void setTangentMode(irr::s32 mode) override { m_tangentMode = mode; }
    irr::s32 getTangentMode() const override { return m_tangentMode; }
    bool needTangents() const override;
    bool prepare() override;
    void updateAllRows() override;

    irr::s32 getShadowTechnique(irr::s32 row) const override;
    irr::s32 getDepthTechnique(irr::s32 row) const override;
    irr::s32 getReflectionTechnique(irr::s32 row) const override;
    void getEffects(irr::core::array<KeEffectBindingEntry>& list) const override;
    void setEffects(const irr::core::array<KeEffectBindingEntry>& list) override;

    void setCubeMapTexture(irr::video::ITexture* texture) override;
    irr::video::ITexture* getCubeMapTexture() const override { return m_cubeMapTexture; }
    irr::video::ITexture* getCubeMapIndirect() const override;
    void setCubeMapBoxed(bool on) override;
    void setCubeMapBox(const irr::core::vector3df& position, const irr::core::vector3df& scale) override;
    bool getCubeMapBoxed() const override { return m_cubeMapBoxed; }
    const irr::core::vector3df& getCubeMapBoxPosition() const override { return m_cubeMapBoxPosition; }
    const irr::core::vector3df& getCubeMapBoxScale() const override { return m_cubeMapBoxScale; }

    // IKeBindNodeData
    IKeBindSurface* getBindSurface(irr::s32 index) const override;
    // The cube map's position is the centre of its box.
    void getBindCubeMap(irr::f32* position3, irr::f32* boxPosition3, irr::f32* boxScale3) const override;

    // The row's record (null outside the rows).
    const KeNodeExtRow* getRow(irr::s32 row) const;

private:
    KeNodeExtRow* row(irr::s32 index) const;
    // Surface, effect, record and overrides of a row; `rebuild` makes the pass materials anew.
    void updateRow(irr::u32 index, bool rebuild);
    // Effect pass and overrides only (technique or pass changed).
    void applyTechniquePass(irr::u32 index);
    void applyOverrides(KeNodeExtRow& r, irr::video::SMaterial& material) const;
    irr::video::SMaterial* materialOf(irr::u32 index) const;

    irr::scene::ISceneNode* m_node;  // not counted: the node owns the extension
    bool m_castShadows = false;
    irr::s32 m_tangentMode = KE_TANGENTS_AUTO;
    std::vector<std::unique_ptr<KeNodeExtRow>> m_rows;  // stable addresses: materials hold their handles
    irr::video::ITexture* m_cubeMapTexture = nullptr;    // one reference
    CKeTextureIndirect* m_cubeMapIndirect = nullptr;      // one reference
    bool m_cubeMapBoxed = false;
    irr::core::vector3df m_cubeMapBoxPosition{0, 0, 0};
    irr::core::vector3df m_cubeMapBoxScale{1000000, 1000000, 1000000};
};

// The node's extension, created and attached on first request (null for a null node).
CKeSceneNodeExt* keGetNodeExt(irr::scene::ISceneNode* node);

// The node's clone made by the library (attached to the node's parent, as the library does),
// with the extensions of the clone and of its cloned children applied to the clone's own
// materials. Null when the library cannot clone the node, or when the node has an extension
// and its clone has none (a clone whose tangent conversion failed): that clone is discarded.
irr::scene::ISceneNode* keCloneNode(irr::scene::ISceneNode* node);

// A copy of a static mesh with tangent vertices (one reference for the caller): vertices and
// indices in the same order, each buffer's engine properties and file vertex indices kept,
// tangents and binormals computed from positions and first texture coordinates. With
// `keepUV2`, the second texture coordinates of two-coordinate buffers go into the binormal
// slot (x, y) instead. Null when a buffer cannot be converted (32-bit indices).
irr::scene::IMesh* keCreateMeshWithTangents(irr::scene::IMesh* mesh, bool keepUV2);

}  // namespace kolm
