// The node extension: the engine's data on a scene node, kept in the node's animator list
// (animator type 4321) so that the library clones, keeps and frees it with the node.
//
// It binds, per material of the node ("row"), an effect with its technique and pass and a
// surface, and writes them into the node's materials: the row is the material's record
// (KeMaterialBinding, found through the handle in MaterialTypeParam2). It also keeps what the
// renderers need: the effect's "depth", "shadow" and "reflection" techniques, whether the node
// casts shadows, its tangent mode, and its cube-map reflection.
//
// Rows are made once, from the node's material count at creation. A row whose index is at or
// beyond the node's current material count keeps its bindings but writes no material. Row
// operations with an index outside the rows do nothing (getters answer null, -1 or false).
#pragma once

#include "fx/KeEffectBindContext.h"

#include <irrlicht/ISceneNodeAnimator.h>
#include <irrlicht/irrArray.h>
#include <irrlicht/vector3d.h>

namespace irr {
namespace video {
class ITexture;
}
}  // namespace irr

namespace kolm {

class IKeEffect;
class IKeSurface;

// Tangent mode: 0 decides from the bound effects and surfaces, 1 never, 2 always.
enum KeTangentMode : irr::s32 {
    KE_TANGENTS_AUTO = 0,
    KE_TANGENTS_NEVER = 1,
    KE_TANGENTS_ALWAYS = 2,
};

// One row's effect binding as getEffects hands it out (the effect holds one reference).
struct KeEffectBindingEntry {
    IKeEffect* effect = nullptr;
    irr::s32 technique = 0;
    irr::s32 pass = 0;
};

class IKeSceneNodeExt : public irr::scene::ISceneNodeAnimator, public IKeBindNodeData {
public:
    virtual irr::scene::ISceneNode* getNode() const = 0;
    virtual irr::u32 getRowCount() const = 0;

    virtual void setCastShadows(bool on) = 0;
    virtual bool getCastShadows() const = 0;

    virtual IKeEffect* getEffect(irr::s32 row) const = 0;
    virtual irr::s32 getTechnique(irr::s32 row) const = 0;
    virtual irr::s32 getPass(irr::s32 row) const = 0;
    // Binds `effect` (may be null: the row is left without one) with a technique and pass; an
    // effect already bound is removed first.
    virtual void setEffect(irr::s32 row, IKeEffect* effect, irr::s32 technique, irr::s32 pass) = 0;
    // Only when the row has an effect: change technique and/or pass and apply them.
    virtual void setTechniquePass(irr::s32 row, irr::s32 technique, irr::s32 pass) = 0;
    virtual void setTechnique(irr::s32 row, irr::s32 technique) = 0;
    virtual void setPass(irr::s32 row, irr::s32 pass) = 0;
    // Releases the effect; the material goes back to material type 0 without a record.
    virtual void removeEffect(irr::s32 row) = 0;
    virtual void removeAllEffects() = 0;

    virtual IKeSurface* getSurface(irr::s32 row) const = 0;
    // A null surface is ignored.
    virtual void setSurface(irr::s32 row, IKeSurface* surface) = 0;
    virtual void removeSurface(irr::s32 row) = 0;
    virtual void removeAllSurfaces() = 0;
    // The lowest row that holds `surface`, or -1. A surface bound to several rows belongs to
    // that row: its mesh buffer decides which texture channels take the second UV set.
    virtual irr::s32 getSurfaceRow(const IKeSurface* surface) const = 0;

    // Mesh, animated mesh and morph nodes: whether any buffer of the mesh has a non-zero second
    // engine property (some texture channel takes the second UV set).
    virtual bool anyBufferMarked() const = 0;
    // The two engine properties of mesh buffer i; false out of range or for other nodes.
    virtual bool getBufferProperties(irr::u32 i, irr::s32& first, irr::s32& second) const = 0;
    virtual void setTangentMode(irr::s32 mode) = 0;
    virtual irr::s32 getTangentMode() const = 0;
    virtual bool needTangents() const = 0;
    // Gives a static mesh node tangent vertices when they are needed (keeping the second UV set
    // in the binormal slot when a buffer is marked), then applies every row. False, with the
    // node left as it was, when the conversion is impossible or fails.
    virtual bool prepare() = 0;
    // Writes every row into the node's materials again (after the library copied materials
    // over them, as its clone does).
    virtual void updateAllRows() = 0;

    virtual irr::s32 getShadowTechnique(irr::s32 row) const = 0;
    virtual irr::s32 getDepthTechnique(irr::s32 row) const = 0;
    virtual irr::s32 getReflectionTechnique(irr::s32 row) const = 0;
    // Empties `list` (dropping its effects) and appends one entry per row.
    virtual void getEffects(irr::core::array<KeEffectBindingEntry>& list) const = 0;
    virtual void setEffects(const irr::core::array<KeEffectBindingEntry>& list) = 0;

    // The cube map used for reflections (may be null; one reference held).
    virtual void setCubeMapTexture(irr::video::ITexture* texture) = 0;
    virtual irr::video::ITexture* getCubeMapTexture() const = 0;
    // The texture that forwards to whatever cube map the node uses (never null).
    virtual irr::video::ITexture* getCubeMapIndirect() const = 0;
    // Turning the box off moves its centre to (1000000, 1000000, 1000000).
    virtual void setCubeMapBoxed(bool on) = 0;
    virtual void setCubeMapBox(const irr::core::vector3df& position, const irr::core::vector3df& scale) = 0;
    virtual bool getCubeMapBoxed() const = 0;
    virtual const irr::core::vector3df& getCubeMapBoxPosition() const = 0;
    virtual const irr::core::vector3df& getCubeMapBoxScale() const = 0;
};

// The node's extension (its animator of type 4321), or null.
IKeSceneNodeExt* keFindNodeExt(irr::scene::ISceneNode* node);

}  // namespace kolm
