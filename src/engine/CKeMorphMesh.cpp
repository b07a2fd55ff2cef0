#include "engine/CKeMorphMesh.h"

#include "engine/CKeSkinMeshBuffer.h"

#include <irrlicht/IMeshBuffer.h>
#include <irrlicht/SMesh.h>

namespace kolm {

using namespace irr;

namespace {

template <class V>
void copyVertices(core::array<V>& out, const scene::IMeshBuffer* in) {
    out.set_used(in->getVertexCount());
    const V* v = static_cast<const V*>(in->getVertices());
    for (u32 i = 0; i < in->getVertexCount(); ++i) out[i] = v[i];
}

// Position and normal lead every vertex layout of the library.
inline video::S3DVertex* vertexAt(void* base, u32 stride, u32 i) {
    return reinterpret_cast<video::S3DVertex*>(static_cast<u8*>(base) + size_t(stride) * i);
}

}  // namespace

scene::IMesh* keCopyMeshWithExt(scene::IMesh* mesh) {
    if (!mesh) return nullptr;
    auto* copy = new scene::SMesh;
    for (u32 b = 0; b < mesh->getMeshBufferCount(); ++b) {
        const scene::IMeshBuffer* in = mesh->getMeshBuffer(b);
        if (in->getIndexType() != video::EIT_16BIT) {
            copy->drop();
            return nullptr;
        }
        auto* out = new CKeSkinMeshBuffer(in->getVertexType());
        switch (in->getVertexType()) {
        case video::EVT_STANDARD: copyVertices(out->Vertices_Standard, in); break;
        case video::EVT_2TCOORDS: copyVertices(out->Vertices_2TCoords, in); break;
        case video::EVT_TANGENTS: copyVertices(out->Vertices_Tangents, in); break;
        }
        out->Indices.set_used(in->getIndexCount());
        for (u32 i = 0; i < in->getIndexCount(); ++i) out->Indices[i] = in->getIndices()[i];
        out->Material = in->getMaterial();
        out->setBoundingBox(in->getBoundingBox());
        if (const IKeMeshBufferExt* ext = keGetMeshBufferExt(in)) {
            if (const core::array<u32>* originals = ext->getOriginalVerticesIndices())
                out->originalVerticesIndices() = *originals;
            out->setFirstProperty(ext->getFirstProperty());
            out->setSecondProperty(ext->getSecondProperty());
        }
        copy->addMeshBuffer(out);
        out->drop();
    }
    copy->setBoundingBox(mesh->getBoundingBox());
    return copy;
}

// --- IMesh, answered by the copy ---------------------------------------------------------------

u32 CKeMorphMeshMorphMapKM::getMeshBufferCount() const { return m_copy ? m_copy->getMeshBufferCount() : 0; }

scene::IMeshBuffer* CKeMorphMeshMorphMapKM::getMeshBuffer(u32 nr) const {
    return m_copy && nr < m_copy->getMeshBufferCount() ? m_copy->getMeshBuffer(nr) : nullptr;
}

scene::IMeshBuffer* CKeMorphMeshMorphMapKM::getMeshBuffer(const video::SMaterial& material) const {
    return m_copy ? m_copy->getMeshBuffer(material) : nullptr;
}

void CKeMorphMeshMorphMapKM::setMaterialFlag(video::E_MATERIAL_FLAG flag, bool value) {
    if (m_copy) m_copy->setMaterialFlag(flag, value);
}

void CKeMorphMeshMorphMapKM::setHardwareMappingHint(scene::E_HARDWARE_MAPPING hint, scene::E_BUFFER_TYPE buffer) {
    if (m_copy) m_copy->setHardwareMappingHint(hint, buffer);
}

void CKeMorphMeshMorphMapKM::setDirty(scene::E_BUFFER_TYPE buffer) {
    if (m_copy) m_copy->setDirty(buffer);
}

// --- set-up -------------------------------------------------------------------------------------

bool CKeMorphMeshMorphMapKM::setUp(scene::IMesh* mesh, scene::ISkinnedMesh* skinned, KeMorphSetPtr morphs) {
    clear();
    if (!mesh) return false;
    m_copy = KePtr<scene::IMesh>::adopt(keCopyMeshWithExt(mesh));
    if (!m_copy) return false;
    auto base = std::make_shared<std::vector<CKeStaticMeshBufferKM>>(m_copy->getMeshBufferCount());
    for (u32 b = 0; b < m_copy->getMeshBufferCount(); ++b) (*base)[b].create(m_copy->getMeshBuffer(b));
    m_base = base;
    m_work.create(m_copy.get(), skinned);
    m_skinned = KePtr<scene::ISkinnedMesh>::share(skinned);
    m_morphs = morphs ? morphs : std::make_shared<KeMorphSet>();
    m_box = m_copy->getBoundingBox();
    return true;
}

bool CKeMorphMeshMorphMapKM::createStatic(scene::IMesh* mesh, KeMorphSetPtr morphs) {
    return setUp(mesh, nullptr, std::move(morphs));
}

bool CKeMorphMeshMorphMapKM::createSkinned(scene::ISkinnedMesh* mesh, KeMorphSetPtr morphs) {
    if (!mesh) return false;
    // The library then only evaluates joints and keeps its buffers in the bind pose, which is
    // the base pose copied here.
    mesh->setHardwareSkinning(true);
    return setUp(mesh, mesh, std::move(morphs));
}

void CKeMorphMeshMorphMapKM::clear() {
    m_copy = nullptr;
    m_skinned = nullptr;
    m_base.reset();
    m_work = CKeMeshKM();
    m_morphs.reset();
}

u32 CKeMorphMeshMorphMapKM::getFrameCount() const { return m_skinned ? m_skinned->getFrameCount() : 1; }

void CKeMorphMeshMorphMapKM::copyInto(CKeMorphMeshMorphMapKM& clone) const {
    clone.m_copy = KePtr<scene::IMesh>::adopt(keCopyMeshWithExt(m_copy.get()));
    clone.m_box = m_box;
    clone.m_skinned = m_skinned;
    clone.m_base = m_base;
    clone.m_work = m_work;
    clone.m_morphs = m_morphs;
}

IKeMorphMesh* CKeMorphMeshMorphMapKM::clone() const {
    auto* clone = new CKeMorphMeshMorphMapKM;
    copyInto(*clone);
    return clone;
}

// --- update -------------------------------------------------------------------------------------

void CKeMorphMeshMorphMapKM::blendWork(u32 count, const u32* ids, const f32* weights) {
    if (count > MAX_MORPHS) count = MAX_MORPHS;
    std::vector<CKeMeshBufferKM>& work = m_work.buffers();
    for (u32 i = 0; i < count; ++i) {
        const u32 id = ids[i];
        const f32 w = weights[i];
        if (id == 0 || id > m_morphs->getMorphCount() || w == 0.f) continue;
        const KeMorph& morph = m_morphs->morphs[id - 1];
        const size_t buffers = morph.buffers.size() < work.size() ? morph.buffers.size() : work.size();
        for (size_t b = 0; b < buffers; ++b) {
            KeWorkVertexKM* v = work[b].vertices.data();
            const size_t n = work[b].vertices.size();
            for (const KeMorphEntry& e : morph.buffers[b]) {
                if (e.vertex >= n) continue;
                KeWorkVertexKM& t = v[e.vertex];
                for (int c = 0; c < 4; ++c) t.position[c] += w * e.position[c];
                for (int c = 0; c < 4; ++c) t.normal[c] += w * e.normal[c];
            }
        }
    }
}

void CKeMorphMeshMorphMapKM::evaluateJoints(f32 frame) {
    m_skinned->animateMesh(frame, 1.0f);
    m_skinned->skinMesh();
    m_work.updateJointMatrices(m_skinned.get());
}

void CKeMorphMeshMorphMapKM::update(u32 count, const u32* ids, const f32* weights, f32 frame) {
    if (!m_copy) return;
    m_work.resetFromBase(*m_base);
    blendWork(count, ids, weights);
    if (m_skinned) {
        evaluateJoints(frame);
        m_work.skinMesh(m_copy.get());
    } else {
        m_work.copyToMesh(m_copy.get());
    }
    m_box = m_copy->getBoundingBox();
}

IKeMorphMesh* CKeMorphMeshMorphMap::clone() const {
    auto* clone = new CKeMorphMeshMorphMap;
    copyInto(*clone);
    return clone;
}

bool CKeMorphMeshMorphMap::copyBaseVertices(scene::IMesh* target) const {
    if (!m_base || !target || target->getMeshBufferCount() != m_base->size()) return false;
    for (u32 b = 0; b < m_base->size(); ++b)
        if (target->getMeshBuffer(b)->getVertexCount() != (*m_base)[b].records.size()) return false;
    for (u32 b = 0; b < m_base->size(); ++b) {
        scene::IMeshBuffer* buffer = target->getMeshBuffer(b);
        const u32 stride = video::getVertexPitchFromType(buffer->getVertexType());
        const std::vector<KeBaseVertexKM>& records = (*m_base)[b].records;
        for (u32 i = 0; i < records.size(); ++i) {
            video::S3DVertex* v = vertexAt(buffer->getVertices(), stride, i);
            v->Pos.set(records[i].position[0], records[i].position[1], records[i].position[2]);
            v->Normal.set(records[i].normal[0], records[i].normal[1], records[i].normal[2]);
        }
    }
    return true;
}

void CKeMorphMeshMorphMap::update(u32 count, const u32* ids, const f32* weights, f32 frame) {
    if (!m_copy) return;
    if (m_skinned) {
        CKeMorphMeshMorphMapKM::update(count, ids, weights, frame);
        return;
    }
    // Static: the copy's own vertices take the base pose and the weighted deltas.
    copyBaseVertices(m_copy.get());
    if (count > MAX_MORPHS) count = MAX_MORPHS;
    for (u32 i = 0; i < count; ++i) {
        const u32 id = ids[i];
        const f32 w = weights[i];
        if (id == 0 || id > m_morphs->getMorphCount() || w == 0.f) continue;
        const KeMorph& morph = m_morphs->morphs[id - 1];
        for (u32 b = 0; b < morph.buffers.size() && b < m_copy->getMeshBufferCount(); ++b) {
            scene::IMeshBuffer* buffer = m_copy->getMeshBuffer(b);
            const u32 stride = video::getVertexPitchFromType(buffer->getVertexType());
            const u32 n = buffer->getVertexCount();
            for (const KeMorphEntry& e : morph.buffers[b]) {
                if (e.vertex >= n) continue;
                video::S3DVertex* v = vertexAt(buffer->getVertices(), stride, e.vertex);
                v->Pos += core::vector3df(e.position[0], e.position[1], e.position[2]) * w;
                v->Normal += core::vector3df(e.normal[0], e.normal[1], e.normal[2]) * w;
            }
        }
    }
    core::aabbox3df meshBox(core::vector3df(0, 0, 0));
    bool first = true;
    for (u32 b = 0; b < m_copy->getMeshBufferCount(); ++b) {
        scene::IMeshBuffer* buffer = m_copy->getMeshBuffer(b);
        buffer->setDirty(scene::EBT_VERTEX);
        const u32 n = buffer->getVertexCount();
        if (!n) continue;
        const u32 stride = video::getVertexPitchFromType(buffer->getVertexType());
        core::aabbox3df box(vertexAt(buffer->getVertices(), stride, 0)->Pos);
        for (u32 i = 1; i < n; ++i) box.addInternalPoint(vertexAt(buffer->getVertices(), stride, i)->Pos);
        buffer->setBoundingBox(box);
        if (first) meshBox = box;
        else meshBox.addInternalBox(box);
        first = false;
    }
    m_copy->setBoundingBox(meshBox);
    m_box = meshBox;
}

IKeMorphMesh* keCreateMorphMeshMorphMapKM() { return new CKeMorphMeshMorphMapKM; }
IKeMorphMesh* keCreateMorphMeshMorphMap() { return new CKeMorphMeshMorphMap; }

}  // namespace kolm
