// The skinning work mesh of morph meshes: per mesh buffer, 16-byte aligned work records
// (position and normal as four floats, up to 8 joint influences), the base pose they are reset
// from, and the per-frame joint matrices. Morphs are blended into the work records, which are
// then skinned (or copied) into the mesh that is drawn. Built on the skinned mesh's public
// interface only: joints with their weights, global animated and global inverse matrices.
#pragma once

#include <irrlicht/irrTypes.h>
#include <irrlicht/matrix4.h>

#include <vector>

namespace irr {
namespace scene {
class IMesh;
class IMeshBuffer;
class ISkinnedMesh;
}  // namespace scene
}  // namespace irr

namespace kolm {

// Base pose record: position (w = 1) and normal (w = 0).
struct alignas(16) KeBaseVertexKM {
    irr::f32 position[4];
    irr::f32 normal[4];
};

// The base pose of one mesh buffer, copied from the mesh at creation.
class CKeStaticMeshBufferKM {
public:
    void create(const irr::scene::IMeshBuffer* buffer);
    std::vector<KeBaseVertexKM> records;
};

struct alignas(16) KeWorkVertexKM {
    irr::f32 position[4];
    irr::f32 normal[4];
    irr::u32 jointCount;  // 0 to 8
    irr::u32 joints[8];
    irr::f32 weights[8];  // not normalised
};

class CKeMeshBufferKM {
public:
    std::vector<KeWorkVertexKM> vertices;
};

class CKeMeshKM {
public:
    static constexpr irr::u32 MAX_JOINTS = 8;  // influences per vertex
    static constexpr irr::f32 MIN_WEIGHT = 0.0001f;

    // Work records for every buffer of `mesh` (positions and normals of standard, two-texture-
    // coordinate and tangent vertices) and, with `skinned` (whose buffers must be those of
    // `mesh`), the joint influences of every vertex. Influences past the eighth are dropped
    // with one warning for the whole mesh; a vertex without any gets the identity matrix (index
    // J), or, in a buffer attached to joint j without skin weights, joint j's global animated
    // matrix (index J + 1 + j). Weights naming a buffer or vertex that does not exist are ignored.
    bool create(irr::scene::IMesh* mesh, irr::scene::ISkinnedMesh* skinned);
    // Copies the base positions and normals into the work records (joints untouched).
    void resetFromBase(const std::vector<CKeStaticMeshBufferKM>& base);
    // Matrix j = joint j's global animated matrix x its global inverse matrix, and matrix
    // J + 1 + j its global animated matrix alone, for a skinned mesh animated and skinned to the
    // frame (the library's animateMesh and skinMesh).
    void updateJointMatrices(const irr::scene::ISkinnedMesh* skinned);
    // For every vertex, M = sum of weight x matrix over its joints; position = M (x, y, z, 1),
    // normal = M (x, y, z, 0), not renormalised. The target must have as many buffers and
    // vertices; every vertex type is written (position and normal lead every vertex layout).
    // Updates the target buffers' and the mesh's boxes and marks their vertices changed.
    bool skinMesh(irr::scene::IMesh* target) const;
    // Copies the work positions and normals into the target, with the same checks and updates.
    bool copyToMesh(irr::scene::IMesh* target) const;

    irr::u32 getJointCount() const { return m_jointCount; }
    irr::core::matrix4& jointMatrix(irr::u32 j) { return m_matrices[j]; }
    std::vector<CKeMeshBufferKM>& buffers() { return m_buffers; }
    const std::vector<CKeMeshBufferKM>& buffers() const { return m_buffers; }

private:
    bool write(irr::scene::IMesh* target, bool skin, const char* who) const;

    std::vector<CKeMeshBufferKM> m_buffers;
    irr::u32 m_jointCount = 0;
    // J skinning matrices, the identity (J), then J rigid matrices of attached buffers.
    std::vector<irr::core::matrix4> m_matrices;
};

}  // namespace kolm
