#include "engine/CKeMeshKM.h"

#include "core/KeError.h"

#include <irrlicht/IMesh.h>
#include <irrlicht/IMeshBuffer.h>
#include <irrlicht/ISkinnedMesh.h>
#include <irrlicht/S3DVertex.h>

namespace kolm {

using namespace irr;

namespace {

// Every vertex layout of the library begins with the standard vertex (position, normal).
inline video::S3DVertex* vertexAt(void* base, u32 stride, u32 i) {
    return reinterpret_cast<video::S3DVertex*>(static_cast<u8*>(base) + size_t(stride) * i);
}
inline const video::S3DVertex* vertexAt(const void* base, u32 stride, u32 i) {
    return reinterpret_cast<const video::S3DVertex*>(static_cast<const u8*>(base) + size_t(stride) * i);
}

}  // namespace

void CKeStaticMeshBufferKM::create(const scene::IMeshBuffer* buffer) {
    const u32 n = buffer ? buffer->getVertexCount() : 0;
    records.resize(n);
    if (!n) return;
    const u32 stride = video::getVertexPitchFromType(buffer->getVertexType());
    for (u32 i = 0; i < n; ++i) {
        const video::S3DVertex* v = vertexAt(buffer->getVertices(), stride, i);
        records[i] = {{v->Pos.X, v->Pos.Y, v->Pos.Z, 1.f}, {v->Normal.X, v->Normal.Y, v->Normal.Z, 0.f}};
    }
}

bool CKeMeshKM::create(scene::IMesh* mesh, scene::ISkinnedMesh* skinned) {
    m_buffers.clear();
    m_jointCount = 0;
    const u32 bufferCount = mesh ? mesh->getMeshBufferCount() : 0;
    m_buffers.resize(bufferCount);
    for (u32 b = 0; b < bufferCount; ++b) {
        const scene::IMeshBuffer* buffer = mesh->getMeshBuffer(b);
        const u32 n = buffer->getVertexCount();
        const u32 stride = video::getVertexPitchFromType(buffer->getVertexType());
        std::vector<KeWorkVertexKM>& out = m_buffers[b].vertices;
        out.resize(n);
        for (u32 i = 0; i < n; ++i) {
            const video::S3DVertex* v = vertexAt(buffer->getVertices(), stride, i);
            KeWorkVertexKM& w = out[i];
            w = KeWorkVertexKM();
            w.position[0] = v->Pos.X, w.position[1] = v->Pos.Y, w.position[2] = v->Pos.Z, w.position[3] = 1.f;
            w.normal[0] = v->Normal.X, w.normal[1] = v->Normal.Y, w.normal[2] = v->Normal.Z, w.normal[3] = 0.f;
        }
    }
    const u32 joints = skinned ? skinned->getAllJoints().size() : 0;
    m_matrices.assign(joints ? 2 * joints + 1 : 1, core::matrix4());
    m_jointCount = joints;
    bool warned = false;
    for (u32 j = 0; j < joints; ++j) {
        const scene::ISkinnedMesh::SJoint* joint = skinned->getAllJoints()[j];
        for (u32 k = 0; k < joint->Weights.size(); ++k) {
            const scene::ISkinnedMesh::SWeight& weight = joint->Weights[k];
            if (!(weight.strength > MIN_WEIGHT)) continue;
            if (weight.buffer_id >= bufferCount || weight.vertex_id >= m_buffers[weight.buffer_id].vertices.size())
                continue;
            KeWorkVertexKM& v = m_buffers[weight.buffer_id].vertices[weight.vertex_id];
            if (v.jointCount < MAX_JOINTS) {
                v.joints[v.jointCount] = j;
                v.weights[v.jointCount] = weight.strength;
                ++v.jointCount;
            } else if (!warned) {
                warned = true;
                printMessage(KE_WARN, "CKeMeshKM::create: Warning, too much joints > MAX %d on MeshBuffer=%d Vertice=%d",
                             s32(MAX_JOINTS), s32(weight.buffer_id), s32(weight.vertex_id));
            }
        }
    }
    // A buffer attached to a joint without skin weights moves rigidly with that joint: its
    // vertices are in the joint's space and take its global animated matrix (index J + 1 + j).
    std::vector<u32> attachedTo(bufferCount, m_jointCount);
    for (u32 j = 0; j < joints; ++j) {
        const core::array<u32>& attached = skinned->getAllJoints()[j]->AttachedMeshes;
        for (u32 k = 0; k < attached.size(); ++k)
            if (attached[k] < bufferCount) attachedTo[attached[k]] = m_jointCount + 1 + j;
    }
    for (u32 b = 0; b < bufferCount; ++b)
        for (KeWorkVertexKM& v : m_buffers[b].vertices)
            if (v.jointCount == 0) {
                v.jointCount = 1;
                v.joints[0] = attachedTo[b];
                v.weights[0] = 1.f;
            }
    return true;
}

void CKeMeshKM::resetFromBase(const std::vector<CKeStaticMeshBufferKM>& base) {
    const size_t buffers = base.size() < m_buffers.size() ? base.size() : m_buffers.size();
    for (size_t b = 0; b < buffers; ++b) {
        std::vector<KeWorkVertexKM>& work = m_buffers[b].vertices;
        const std::vector<KeBaseVertexKM>& records = base[b].records;
        const size_t n = records.size() < work.size() ? records.size() : work.size();
        for (size_t i = 0; i < n; ++i) {
            for (int c = 0; c < 4; ++c) work[i].position[c] = records[i].position[c];
            for (int c = 0; c < 4; ++c) work[i].normal[c] = records[i].normal[c];
        }
    }
}

void CKeMeshKM::updateJointMatrices(const scene::ISkinnedMesh* skinned) {
    if (!skinned) return;
    const core::array<scene::ISkinnedMesh::SJoint*>& joints = skinned->getAllJoints();
    const u32 n = joints.size() < m_jointCount ? joints.size() : m_jointCount;
    for (u32 j = 0; j < n; ++j) {
        m_matrices[j].setbyproduct(joints[j]->GlobalAnimatedMatrix, joints[j]->GlobalInversedMatrix);
        m_matrices[m_jointCount + 1 + j] = joints[j]->GlobalAnimatedMatrix;
    }
}

bool CKeMeshKM::write(scene::IMesh* target, bool skin, const char* who) const {
    if (!target || target->getMeshBufferCount() != m_buffers.size()) {
        printMessage(KE_ERROR, "CKeMeshKM::%s: not same number of buffers", who);
        return false;
    }
    for (u32 b = 0; b < m_buffers.size(); ++b)
        if (target->getMeshBuffer(b)->getVertexCount() != m_buffers[b].vertices.size()) {
            printMessage(KE_ERROR, "CKeMeshKM::%s: not same number of vertices", who);
            return false;
        }
    core::aabbox3df meshBox(core::vector3df(0, 0, 0));
    bool first = true;
    for (u32 b = 0; b < m_buffers.size(); ++b) {
        scene::IMeshBuffer* buffer = target->getMeshBuffer(b);
        const std::vector<KeWorkVertexKM>& work = m_buffers[b].vertices;
        const u32 n = u32(work.size());
        const u32 stride = video::getVertexPitchFromType(buffer->getVertexType());
        void* out = buffer->getVertices();
        core::aabbox3df box(core::vector3df(0, 0, 0));
        for (u32 i = 0; i < n; ++i) {
            const KeWorkVertexKM& w = work[i];
            video::S3DVertex* v = vertexAt(out, stride, i);
            if (!skin) {
                v->Pos.set(w.position[0], w.position[1], w.position[2]);
                v->Normal.set(w.normal[0], w.normal[1], w.normal[2]);
            } else {
                // M = sum of weight x matrix (column-major 4x4, as the library stores it).
                f32 m[12];
                const f32* a = m_matrices[w.joints[0]].pointer();
                const f32 w0 = w.weights[0];
                for (int c = 0; c < 3; ++c) {
                    m[c] = a[c] * w0;
                    m[3 + c] = a[4 + c] * w0;
                    m[6 + c] = a[8 + c] * w0;
                    m[9 + c] = a[12 + c] * w0;
                }
                for (u32 k = 1; k < w.jointCount; ++k) {
                    const f32* s = m_matrices[w.joints[k]].pointer();
                    const f32 wk = w.weights[k];
                    for (int c = 0; c < 3; ++c) {
                        m[c] += s[c] * wk;
                        m[3 + c] += s[4 + c] * wk;
                        m[6 + c] += s[8 + c] * wk;
                        m[9 + c] += s[12 + c] * wk;
                    }
                }
                const f32 px = w.position[0], py = w.position[1], pz = w.position[2];
                const f32 nx = w.normal[0], ny = w.normal[1], nz = w.normal[2];
                v->Pos.set(m[0] * px + m[3] * py + m[6] * pz + m[9], m[1] * px + m[4] * py + m[7] * pz + m[10],
                           m[2] * px + m[5] * py + m[8] * pz + m[11]);
                v->Normal.set(m[0] * nx + m[3] * ny + m[6] * nz, m[1] * nx + m[4] * ny + m[7] * nz,
                              m[2] * nx + m[5] * ny + m[8] * nz);
            }
            if (i == 0) box.reset(v->Pos);
            else box.addInternalPoint(v->Pos);
        }
        if (n) {
            buffer->setBoundingBox(box);
            if (first) meshBox = box;
            else meshBox.addInternalBox(box);
            first = false;
        }
        buffer->setDirty(scene::EBT_VERTEX);
    }
    target->setBoundingBox(meshBox);
    return true;
}

bool CKeMeshKM::skinMesh(scene::IMesh* target) const { return write(target, true, "skinMesh"); }

bool CKeMeshKM::copyToMesh(scene::IMesh* target) const { return write(target, false, "copyToMesh"); }

}  // namespace kolm
