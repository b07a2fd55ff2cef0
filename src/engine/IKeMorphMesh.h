// A morph mesh: a mesh whose vertices are recomputed on the CPU from a base pose, a weighted
// sum of morph targets and, for skinned meshes, skeletal skinning at an animation frame. Every
// morph mesh draws its own copy of the mesh (made at creation), so that two objects of one file
// and clones animate apart; a skinned one shares the library's skinned mesh only to evaluate
// the joints.
#pragma once

#include "engine/KeMorphSet.h"

#include <irrlicht/IMesh.h>

namespace irr {
namespace scene {
class ISkinnedMesh;
}  // namespace scene
}  // namespace irr

namespace kolm {

class IKeMorphMesh : public irr::scene::IMesh {
public:
    static constexpr irr::u32 MAX_MORPHS = 60;  // selection entries per update

    ~IKeMorphMesh() override {}
    // The IMesh operations answer for the mesh copy that is drawn.

    // Recomputes the vertices: base pose, plus weights[i] x morph ids[i] for each of the first
    // `count` entries (IDs 1-based; ID 0, IDs above the morph count and weight 0 are skipped;
    // negative weights apply), then skinned at `frame` or copied. Allocates nothing.
    virtual void update(irr::u32 count, const irr::u32* ids, const irr::f32* weights, irr::f32 frame) = 0;
    virtual irr::u32 getMorphCount() const = 0;
    // Frames of the skinned animation; 1 for a static mesh.
    virtual irr::u32 getFrameCount() const = 0;
    // A new morph mesh with its own mesh copy and work mesh, sharing the morph set, the base
    // pose and the skinned mesh (the caller drops it); null on failure.
    virtual IKeMorphMesh* clone() const = 0;
    // Set-up from a mesh (frame 0 of a static mesh, or a skinned mesh with animation) and its
    // morph set (may be empty). False when the mesh cannot be copied.
    virtual bool createStatic(irr::scene::IMesh* mesh, KeMorphSetPtr morphs) = 0;
    virtual bool createSkinned(irr::scene::ISkinnedMesh* mesh, KeMorphSetPtr morphs) = 0;
    // The skinned mesh whose joints drive this one, or null for a static mesh.
    virtual irr::scene::ISkinnedMesh* getSkinnedMesh() const = 0;
    // Releases the copy, the work mesh and the morph set; update then does nothing.
    virtual void clear() = 0;
};

// A morph mesh of a `.kmorph` file: blended in the work mesh, then skinned or copied.
IKeMorphMesh* keCreateMorphMeshMorphMapKM();
// A morph mesh of a target sequence (or of a skinned mesh without morph file): a static one
// blends straight into its copy's vertices; a skinned one goes through the work mesh.
IKeMorphMesh* keCreateMorphMeshMorphMap();

// A copy of `mesh` whose buffers keep the engine additions (original vertex indices and the
// two properties), the materials and the boxes; null when a buffer has 32-bit indices.
irr::scene::IMesh* keCopyMeshWithExt(irr::scene::IMesh* mesh);

}  // namespace kolm
