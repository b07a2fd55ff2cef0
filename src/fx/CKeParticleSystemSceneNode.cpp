#include "fx/CKeParticleSystemSceneNode.h"

#include "core/KeError.h"
#include "gl/KeGlParticles.h"

#include <irrlicht/ICameraSceneNode.h>
#include <irrlicht/IMesh.h>
#include <irrlicht/IMeshBuffer.h>
#include <irrlicht/ISceneManager.h>
#include <irrlicht/IVideoDriver.h>
#include <irrlicht/S3DVertex.h>

#include <memory>

namespace kolm {

using namespace irr;

namespace {

constexpr u32 kQuadCapacity = 16384;  // CPU quads per node: 65536 vertices, 16-bit indices
const scene::ESCENE_NODE_TYPE kNodeType = scene::ESCENE_NODE_TYPE(MAKE_IRR_ID('k', 'e', 'p', 's'));

// The instance records of one draw: one array for every node, made on the first draw.
KeFxInstance* scratch() {
    static std::unique_ptr<KeFxInstance[]> records(new KeFxInstance[KE_PARTICLE_INSTANCE_CAPACITY]);
    return records.get();
}

// The CPU path's quad buffer, shared by the generic nodes that drew at least once: corners
// and indices preset, positions and times written per draw.
struct QuadBuffer {
    video::S3DVertexTangents vertices[kQuadCapacity * 4];
    u16 indices[kQuadCapacity * 6];
    QuadBuffer() {
        static const f32 corners[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
        for (u32 k = 0; k < kQuadCapacity; ++k) {
            for (u32 c = 0; c < 4; ++c) {
                vertices[4 * k + c].TCoords.set(corners[c][0], corners[c][1]);
                vertices[4 * k + c].Color = video::SColor(255, 255, 255, 255);
            }
            const u16 b = u16(4 * k);
            const u16 quad[6] = {b, u16(b + 2), u16(b + 1), b, u16(b + 3), u16(b + 2)};
            for (u32 i = 0; i < 6; ++i) indices[6 * k + i] = quad[i];
        }
    }
};
QuadBuffer* g_quads = nullptr;
int g_quadUsers = 0;
int g_glUsers = 0;

}  // namespace

u32 keMeshVertexCount(scene::IMesh* mesh) {
    u32 n = 0;
    for (u32 i = 0; mesh && i < mesh->getMeshBufferCount(); ++i)
        if (const scene::IMeshBuffer* b = mesh->getMeshBuffer(i)) n += b->getVertexCount();
    return n;
}

CKeParticleSystemSceneNode::CKeParticleSystemSceneNode(scene::ISceneNode* parent, scene::ISceneManager* smgr, s32 id,
                                                       KeParticleSource source, scene::IMesh* mesh)
    : IKeParticleSystemSceneNode(parent, smgr, id), m_box(-1, -1, -1, 1, 1, 1) {
    setAutomaticCulling(scene::EAC_OFF);
    switch (source) {
    case KeParticleSource::Emitter: m_emitter.init(0, true); break;
    case KeParticleSource::StaticMesh: {
        const u32 count = keMeshVertexCount(mesh);
        m_emitter.init(count ? int(count) : 1, false);  // 0 would mean the default size
        for (u32 i = 0; mesh && i < mesh->getMeshBufferCount(); ++i) {
            const scene::IMeshBuffer* b = mesh->getMeshBuffer(i);
            for (u32 v = 0; b && v < b->getVertexCount(); ++v) {
                const core::vector3df& p = b->getPosition(v);
                m_emitter.addStaticParticle(p.X, p.Y, p.Z, 0, 0xFFFFFFFFu);
            }
        }
        break;
    }
    case KeParticleSource::AnimatedMesh: m_emitter.init(65536, false); break;
    }
}

CKeParticleSystemSceneNode::~CKeParticleSystemSceneNode() {
    if (m_holdsQuads && --g_quadUsers == 0) {
        delete g_quads;
        g_quads = nullptr;
    }
}

scene::ESCENE_NODE_TYPE CKeParticleSystemSceneNode::getType() const { return kNodeType; }

void CKeParticleSystemSceneNode::OnRegisterSceneNode() {
    if (IsVisible) SceneManager->registerNodeForRendering(this, scene::ESNRP_TRANSPARENT);
    ISceneNode::OnRegisterSceneNode();
}

void CKeParticleSystemSceneNode::OnAnimate(u32 timeMs) {
    ISceneNode::OnAnimate(timeMs);
    if (!IsVisible) return;
    m_emitter.setTransform(AbsoluteTransformation);
    if (scene::ICameraSceneNode* camera = SceneManager ? SceneManager->getActiveCamera() : nullptr) {
        const core::vector3df p = camera->getAbsolutePosition();
        m_emitter.setSortOrigin(p.X, p.Y, p.Z);
    }
    m_emitter.update(timeMs);
}

void CKeParticleSystemSceneNode::render() {
    if (m_renderEnabled) renderQuads();
}

void CKeParticleSystemSceneNode::setVisible(bool visible) {
    if (!visible) m_emitter.releaseAll(true);
    ISceneNode::setVisible(visible);
}

video::SMaterial& CKeParticleSystemSceneNode::getMaterial(u32) { return m_material; }

bool CKeParticleSystemSceneNode::renderInstancing() {
    printMessage(KE_ERROR, "CKeParticleSystemSceneNode::renderInstancing not implemented");
    return false;
}

void CKeParticleSystemSceneNode::renderQuads() {
    m_lastQuads = 0;
    if (!m_holdsQuads) {
        if (!g_quads) g_quads = new QuadBuffer();
        ++g_quadUsers;
        m_holdsQuads = true;
    }
    KeFxInstance* records = scratch();
    u32 n = m_emitter.copyParticles(records, KE_PARTICLE_INSTANCE_CAPACITY);
    if (n > kQuadCapacity) n = kQuadCapacity;
    video::S3DVertexTangents* v = g_quads->vertices;
    for (u32 k = 0; k < n; ++k) {
        const KeFxInstance& r = records[k];
        for (u32 c = 0; c < 4; ++c, ++v) {
            v->Pos.set(r.pos[0], r.pos[1], r.pos[2]);
            v->Normal.set(r.birth, r.death, 0.0f);
            v->Tangent.set(r.vel[0], r.vel[1], r.vel[2]);  // velocity, as the instanced path gives it
        }
    }
    m_lastQuads = n;
    if (n == 0) return;
    video::IVideoDriver* driver = SceneManager->getVideoDriver();
    driver->setMaterial(m_material);
    driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
    driver->drawVertexPrimitiveList(g_quads->vertices, 4 * n, g_quads->indices, 2 * n, video::EVT_TANGENTS,
                                    scene::EPT_TRIANGLES, video::EIT_16BIT);
}

// --- OpenGL -----------------------------------------------------------------------------------

CKeGLParticleSystemSceneNode::CKeGLParticleSystemSceneNode(scene::ISceneNode* parent, scene::ISceneManager* smgr,
                                                           s32 id, KeParticleSource source, scene::IMesh* mesh)
    : CKeParticleSystemSceneNode(parent, smgr, id, source, mesh) {
    addRefSharedData();
}

CKeGLParticleSystemSceneNode::~CKeGLParticleSystemSceneNode() { removeRefSharedData(); }

void CKeGLParticleSystemSceneNode::addRefSharedData() { ++g_glUsers; }

void CKeGLParticleSystemSceneNode::removeRefSharedData() {
    if (--g_glUsers < 0) {
        printMessage(KE_ERROR, "CKeD3D9ParticleSystemSceneNode: Invalid negative sharedDataRefCount=%d", g_glUsers);
        g_glUsers = 0;
    }
    if (g_glUsers == 0 && keGlParticleBuffersExist()) {
        printMessage(KE_DEBUG, "CKeD3D9ParticleSystemSceneNode::RemoveRefSharedData: remove VertexBuffer");
        keGlParticleBuffersRelease();
    }
}

int CKeGLParticleSystemSceneNode::sharedDataRefCount() { return g_glUsers; }

void CKeGLParticleSystemSceneNode::render() {
    if (!m_renderEnabled) return;
    // A material whose effect has no instanced inputs (or none at all) gets the CPU quads.
    if (!m_instancing || !renderInstancing()) renderQuads();
}

bool CKeGLParticleSystemSceneNode::renderInstancing() {
    m_lastInstances = m_lastBatches = 0;
    if (!keGlParticleBuffersExist()) {
        printMessage(KE_DEBUG, "CKeD3D9ParticleSystemSceneNode: Allocate VertexBuffer for Particles");
        const char* step = "";
        if (!keGlParticleBuffersCreate(&step)) {
            printMessage(KE_ERROR, "CKeD3D9ParticleSystemSceneNode Error : %s", step);
            printMessage(KE_ERROR, "CKeD3D9ParticleSystemSceneNode: Failed to allocate the vertex buffers");
            return true;  // nothing drawn this frame; the next draw tries again
        }
    }
    KeFxInstance* records = scratch();
    const u32 n = m_emitter.copyParticles(records, KE_PARTICLE_INSTANCE_CAPACITY);
    if (n == 0) return true;
    if (!keGlParticleInstancesWrite(records, n)) {
        printMessage(KE_ERROR, "CKeD3D9ParticleSystemSceneNode: VertexBufferLock failed");
        return true;
    }
    video::IVideoDriver* driver = SceneManager->getVideoDriver();
    driver->setMaterial(m_material);
    driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
    // One degenerate triangle through the driver applies the material, its program and its
    // constants; the instanced draw then uses them.
    static const video::S3DVertex zeroVertex;
    static const u16 zeroIndices[3] = {0, 0, 0};
    driver->drawVertexPrimitiveList(&zeroVertex, 1, zeroIndices, 1, video::EVT_STANDARD, scene::EPT_TRIANGLES,
                                    video::EIT_16BIT);
    m_lastBatches = keGlParticleInstancesDraw(n);
    if (m_lastBatches == 0) return false;
    m_lastInstances = n;
    return true;
}

CKeParticleSystemSceneNode* keAddParticleSystemNode(scene::ISceneManager* smgr, scene::ISceneNode* parent, s32 id,
                                                    KeParticleSource source, scene::IMesh* mesh) {
    if (!smgr) return nullptr;
    if (!parent) parent = smgr->getRootSceneNode();
    video::IVideoDriver* driver = smgr->getVideoDriver();
    CKeParticleSystemSceneNode* node;
    if (driver && driver->getDriverType() == video::EDT_OPENGL && keGlInstancingSupported())
        node = new CKeGLParticleSystemSceneNode(parent, smgr, id, source, mesh);
    else
        node = new CKeParticleSystemSceneNode(parent, smgr, id, source, mesh);
    node->drop();  // the parent holds it
    return node;
}

}  // namespace kolm
