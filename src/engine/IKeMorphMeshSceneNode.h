// The morph mesh scene node (type "morp"): shows a morph mesh with its own copies of the
// materials, and recomputes the mesh lazily: a change of the morph selection or the frame marks
// the node dirty, and the next animation step (OnAnimate) updates the mesh once.
#pragma once

#include <irrlicht/IMeshSceneNode.h>

namespace kolm {

class IKeMorphMesh;

class IKeMorphMeshSceneNode : public irr::scene::IMeshSceneNode {
public:
    IKeMorphMeshSceneNode(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* smgr, irr::s32 id,
                          const irr::core::vector3df& position, const irr::core::vector3df& rotation,
                          const irr::core::vector3df& scale)
        : irr::scene::IMeshSceneNode(parent, smgr, id, position, rotation, scale) {}

    // Clamped to [start frame, end frame]; a change marks the node dirty.
    virtual void setCurrentFrame(irr::f32 frame) = 0;
    // start = the smaller of (begin, end), end = the larger, both clamped to 0 .. frames - 1;
    // then the current frame becomes start.
    virtual void setFrameLoop(irr::s32 begin, irr::s32 end) = 0;
    // The selection: morph IDs (1-based) and weights, at most 60 entries (more are cut). The
    // same selection again changes nothing.
    virtual void setMorphs(irr::u32 count, const irr::u32* ids, const irr::f32* weights) = 0;
    // Takes a reference on the mesh (null is ignored), copies its materials, resets the frame
    // loop to the mesh's frames and marks the node dirty.
    virtual void setMorphMesh(IKeMorphMesh* mesh) = 0;
    virtual IKeMorphMesh* getMorphMesh() const = 0;
    virtual irr::s32 getStartFrame() const = 0;
    virtual irr::s32 getEndFrame() const = 0;
    virtual irr::f32 getFrameNr() const = 0;
};

// A new morph node on `mesh` below `parent` (the root when null); the scene graph owns it.
IKeMorphMeshSceneNode* keAddMorphMeshSceneNode(IKeMorphMesh* mesh, irr::scene::ISceneNode* parent,
                                               irr::scene::ISceneManager* smgr, irr::s32 id);

}  // namespace kolm
