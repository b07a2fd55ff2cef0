#include "engine/IKeMorphMesh.h"
#include "engine/IKeMorphMeshSceneNode.h"
#include "engine/KeRenderPass.h"

#include <irrlicht/IMaterialRenderer.h>
#include <irrlicht/IMeshBuffer.h>
#include <irrlicht/ISceneManager.h>
#include <irrlicht/IVideoDriver.h>

#include <algorithm>
#include <cstring>

namespace kolm {

using namespace irr;

namespace {

class CKeMorphMeshSceneNode : public IKeMorphMeshSceneNode {
public:
    CKeMorphMeshSceneNode(IKeMorphMesh* mesh, scene::ISceneNode* parent, scene::ISceneManager* smgr, s32 id,
                          const core::vector3df& position = core::vector3df(0, 0, 0),
                          const core::vector3df& rotation = core::vector3df(0, 0, 0),
                          const core::vector3df& scale = core::vector3df(1, 1, 1))
        : IKeMorphMeshSceneNode(parent, smgr, id, position, rotation, scale) {
        setMorphMesh(mesh);
    }
    ~CKeMorphMeshSceneNode() override {
        if (m_mesh) m_mesh->drop();
    }

    void OnRegisterSceneNode() override {
        if (IsVisible && m_mesh) {
            video::IVideoDriver* driver = SceneManager->getVideoDriver();
            bool solid = false, transparent = false;
            for (u32 i = 0; i < getMaterialCount(); ++i) {
                if (isTransparent(driver, getMaterial(i))) transparent = true;
                else solid = true;
            }
            if (solid) SceneManager->registerNodeForRendering(this, scene::ESNRP_SOLID);
            if (transparent) SceneManager->registerNodeForRendering(this, scene::ESNRP_TRANSPARENT);
        }
        ISceneNode::OnRegisterSceneNode();
    }

    void OnAnimate(u32 timeMs) override {
        if (m_dirty && m_mesh) {
            m_mesh->update(m_count, m_ids, m_weights, m_frame);
            m_dirty = false;
        }
        ISceneNode::OnAnimate(timeMs);
    }

    void render() override {
        video::IVideoDriver* driver = SceneManager->getVideoDriver();
        if (!driver || !m_mesh) return;
        driver->setTransform(video::ETS_WORLD, AbsoluteTransformation);
        const bool transparentPass = keCurrentRenderPass(SceneManager) == scene::ESNRP_TRANSPARENT;
        for (u32 i = 0; i < m_mesh->getMeshBufferCount(); ++i) {
            scene::IMeshBuffer* buffer = m_mesh->getMeshBuffer(i);
            if (!buffer) continue;
            const video::SMaterial& material = getMaterial(i);
            if (isTransparent(driver, material) != transparentPass) continue;
            driver->setMaterial(material);
            driver->drawMeshBuffer(buffer);
        }
    }

    // The mesh's box (culling and shadow casting need the true extent, which follows the
    // morphs and the animation).
    const core::aabbox3df& getBoundingBox() const override { return m_mesh ? m_mesh->getBoundingBox() : m_noBox; }

    video::SMaterial& getMaterial(u32 i) override {
        if (m_readOnly && m_mesh && i < m_mesh->getMeshBufferCount()) return m_mesh->getMeshBuffer(i)->getMaterial();
        if (i < m_materials.size()) return m_materials[i];
        return ISceneNode::getMaterial(i);
    }
    u32 getMaterialCount() const override { return m_materials.size(); }

    scene::ESCENE_NODE_TYPE getType() const override {
        return scene::ESCENE_NODE_TYPE(MAKE_IRR_ID('m', 'o', 'r', 'p'));
    }

    scene::ISceneNode* clone(scene::ISceneNode* newParent, scene::ISceneManager* newManager) override {
        if (!newParent) newParent = Parent;
        if (!newManager) newManager = SceneManager;
        IKeMorphMesh* meshClone = m_mesh ? m_mesh->clone() : nullptr;
        auto* node = new CKeMorphMeshSceneNode(meshClone, newParent, newManager, ID, RelativeTranslation,
                                               RelativeRotation, RelativeScale);
        if (meshClone) meshClone->drop();
        node->cloneMembers(this, newManager);
        node->m_materials = m_materials;
        node->m_readOnly = m_readOnly;
        node->m_start = m_start;
        node->m_end = m_end;
        node->m_frame = m_frame;
        node->m_count = m_count;
        std::memcpy(node->m_ids, m_ids, sizeof m_ids);
        std::memcpy(node->m_weights, m_weights, sizeof m_weights);
        node->m_dirty = true;
        if (newParent) node->drop();
        return node;
    }

    // IMeshSceneNode: a morph mesh may be set through the mesh interface; other meshes are not
    // morph meshes and are ignored.
    void setMesh(scene::IMesh* mesh) override {
        if (auto* morph = dynamic_cast<IKeMorphMesh*>(mesh)) setMorphMesh(morph);
    }
    scene::IMesh* getMesh() override { return m_mesh; }
    scene::IShadowVolumeSceneNode* addShadowVolumeSceneNode(const scene::IMesh*, s32, bool, f32) override {
        return nullptr;
    }
    void setReadOnlyMaterials(bool readOnly) override { m_readOnly = readOnly; }
    bool isReadOnlyMaterials() const override { return m_readOnly; }

    void setCurrentFrame(f32 frame) override {
        frame = core::clamp(frame, f32(m_start), f32(m_end));
        if (frame == m_frame) return;
        m_frame = frame;
        m_dirty = true;
    }

    void setFrameLoop(s32 begin, s32 end) override {
        const s32 last = m_mesh && m_mesh->getFrameCount() > 0 ? s32(m_mesh->getFrameCount()) - 1 : 0;
        m_start = core::clamp(std::min(begin, end), 0, last);
        m_end = core::clamp(std::max(begin, end), 0, last);
        setCurrentFrame(f32(m_start));
    }

    void setMorphs(u32 count, const u32* ids, const f32* weights) override {
        if (count > IKeMorphMesh::MAX_MORPHS) count = IKeMorphMesh::MAX_MORPHS;
        if (count && (!ids || !weights)) return;
        if (count == m_count && std::memcmp(ids, m_ids, count * sizeof(u32)) == 0 &&
            std::memcmp(weights, m_weights, count * sizeof(f32)) == 0)
            return;
        m_count = count;
        if (count) {
            std::memcpy(m_ids, ids, count * sizeof(u32));
            std::memcpy(m_weights, weights, count * sizeof(f32));
        }
        m_dirty = true;
    }

    void setMorphMesh(IKeMorphMesh* mesh) override {
        if (!mesh) return;
        mesh->grab();
        if (m_mesh) m_mesh->drop();
        m_mesh = mesh;
        m_materials.clear();
        for (u32 i = 0; i < mesh->getMeshBufferCount(); ++i) m_materials.push_back(mesh->getMeshBuffer(i)->getMaterial());
        setFrameLoop(0, s32(mesh->getFrameCount()));
        m_dirty = true;
    }
    IKeMorphMesh* getMorphMesh() const override { return m_mesh; }
    s32 getStartFrame() const override { return m_start; }
    s32 getEndFrame() const override { return m_end; }
    f32 getFrameNr() const override { return m_frame; }

private:
    static bool isTransparent(video::IVideoDriver* driver, const video::SMaterial& material) {
        video::IMaterialRenderer* renderer = driver ? driver->getMaterialRenderer(material.MaterialType) : nullptr;
        return renderer && renderer->isTransparent();
    }

    IKeMorphMesh* m_mesh = nullptr;
    core::array<video::SMaterial> m_materials;
    bool m_readOnly = false;
    core::aabbox3df m_noBox{-1, -1, -1, 1, 1, 1};
    s32 m_start = 0;
    s32 m_end = 0;
    f32 m_frame = 0.f;
    u32 m_count = 0;
    u32 m_ids[IKeMorphMesh::MAX_MORPHS] = {};
    f32 m_weights[IKeMorphMesh::MAX_MORPHS] = {};
    bool m_dirty = true;
};

}  // namespace

IKeMorphMeshSceneNode* keAddMorphMeshSceneNode(IKeMorphMesh* mesh, scene::ISceneNode* parent,
                                               scene::ISceneManager* smgr, s32 id) {
    if (!mesh || !smgr) return nullptr;
    auto* node = new CKeMorphMeshSceneNode(mesh, parent ? parent : smgr->getRootSceneNode(), smgr, id);
    node->drop();  // the parent holds it
    return node;
}

}  // namespace kolm
