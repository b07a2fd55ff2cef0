// The generic particle system node (CPU quads) and the OpenGL one (instanced quads, with the
// CPU quads when the bound effect cannot draw instanced).
#pragma once

#include "fx/CKeFxEmitter.h"
#include "fx/IKeParticleSystemSceneNode.h"

#include <irrlicht/SMaterial.h>
#include <irrlicht/aabbox3d.h>

namespace irr {
namespace scene {
class IMesh;
}  // namespace scene
}  // namespace irr

namespace kolm {

// How a node's emitter gets its particles.
enum class KeParticleSource {
    Emitter,       // emission on the shared pool (the fx emitter commands and scene documents)
    StaticMesh,    // one immortal particle per vertex of a mesh, on an own pool of that size
    AnimatedMesh,  // an own pool of 65536 particles, starting empty
};

class CKeParticleSystemSceneNode : public IKeParticleSystemSceneNode {
public:
    // KeParticleSource::Emitter takes no mesh; StaticMesh reads the mesh's vertex positions.
    CKeParticleSystemSceneNode(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* smgr, irr::s32 id,
                               KeParticleSource source = KeParticleSource::Emitter,
                               irr::scene::IMesh* mesh = nullptr);
    ~CKeParticleSystemSceneNode() override;

    void OnRegisterSceneNode() override;
    void OnAnimate(irr::u32 timeMs) override;
    void render() override;
    // The box (-1, -1, -1) to (1, 1, 1). Particles live in world space wherever the emitter
    // sent them, so the node turns automatic culling off: the box would cull visible ones.
    const irr::core::aabbox3d<irr::f32>& getBoundingBox() const override { return m_box; }
    void setVisible(bool visible) override;
    irr::video::SMaterial& getMaterial(irr::u32 i) override;
    irr::u32 getMaterialCount() const override { return 1; }
    irr::scene::ESCENE_NODE_TYPE getType() const override;

    void setRenderEnabled(bool enabled) override { m_renderEnabled = enabled; }
    CKeFxEmitter* getEmitter() override { return &m_emitter; }
    bool renderInstancing() override;
    void renderQuads() override;

    // Quads drawn by the last renderQuads (for tests).
    irr::u32 lastQuadCount() const { return m_lastQuads; }

protected:
    CKeFxEmitter m_emitter;
    irr::video::SMaterial m_material;
    irr::core::aabbox3d<irr::f32> m_box;
    bool m_renderEnabled = true;

private:
    bool m_holdsQuads = false;  // counted into the shared quad buffer
    irr::u32 m_lastQuads = 0;
};

// The OpenGL node: one shared instance buffer of 65536 records serves every node, rewritten
// before each node's draw, drawn in batches of 4096 instances.
class CKeGLParticleSystemSceneNode : public CKeParticleSystemSceneNode {
public:
    CKeGLParticleSystemSceneNode(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* smgr, irr::s32 id,
                                 KeParticleSource source = KeParticleSource::Emitter,
                                 irr::scene::IMesh* mesh = nullptr);
    ~CKeGLParticleSystemSceneNode() override;

    void render() override;
    bool renderInstancing() override;

    // Instanced drawing on (the default) or off, when the CPU quads draw instead.
    void setInstancing(bool on) { m_instancing = on; }
    irr::u32 lastInstanceCount() const { return m_lastInstances; }
    irr::u32 lastBatchCount() const { return m_lastBatches; }

    // The count of OpenGL particle nodes that share the instance buffers; the buffers are
    // released when it returns to 0.
    static void addRefSharedData();
    static void removeRefSharedData();
    static int sharedDataRefCount();

private:
    bool m_instancing = true;
    irr::u32 m_lastInstances = 0;
    irr::u32 m_lastBatches = 0;
};

// The vertex count of all buffers of a mesh (0 for null).
irr::u32 keMeshVertexCount(irr::scene::IMesh* mesh);

// A particle node for the driver in use: the OpenGL node where the driver draws instanced,
// the generic one otherwise. The node is added below `parent` (the root when null); the scene
// graph owns it (the caller's reference is dropped).
CKeParticleSystemSceneNode* keAddParticleSystemNode(irr::scene::ISceneManager* smgr, irr::scene::ISceneNode* parent,
                                                    irr::s32 id, KeParticleSource source = KeParticleSource::Emitter,
                                                    irr::scene::IMesh* mesh = nullptr);

}  // namespace kolm
