// Cube maps: cube render-target textures that the engine renders from a position in the scene
// and binds to objects for reflections.
#pragma once

#include <irrlicht/IReferenceCounted.h>
#include <irrlicht/ITexture.h>
#include <irrlicht/irrTypes.h>
#include <irrlicht/vector3d.h>

namespace irr {
class IrrlichtDevice;
namespace scene {
class ISceneNode;
}
}  // namespace irr

namespace kolm {

class IKeRenderer;
class IKeTextureManager;

// Renders the six faces of a cube render target from `position` through the 2D render target
// `target` with the scene renderer, face by face (+X, -X, +Y, -Y, +Z, -Z), copying each into
// its face. The engine's render services provide this.
class IKeCubeFaceRenderer {
public:
    virtual ~IKeCubeFaceRenderer() {}
    virtual bool renderCubeMap(irr::video::ITexture* cube, irr::video::ITexture* target,
                               const irr::core::vector3df& position, IKeRenderer* renderer) = 0;
};

class IKeCubeMap : public virtual irr::IReferenceCounted {
public:
    virtual ~IKeCubeMap() {}
    // Creates the cube render target (edge `size`, engine colour format) and makes sure the
    // texture manager holds a 2D render target of the same size and format. False (with an
    // error) when already created or when the driver cannot make it.
    virtual bool create(irr::u32 size, irr::s32 format) = 0;
    // Renders the six faces from `position` with the scene renderer; sets rendered.
    virtual bool render(IKeRenderer* renderer, const irr::core::vector3df& position) = 0;
    // Clears the six faces; clears rendered.
    virtual bool clear() = 0;
    virtual irr::video::ITexture* getTexture() const = 0;
    virtual bool isRendered() const = 0;
    virtual const irr::core::vector3df& getPosition() const = 0;
};

// A cube map for the device, not yet created (call create). `faces` renders the faces (may be
// null: render then fails). Textures and faces must outlive the cube map. One reference held
// by the caller.
IKeCubeMap* keCreateCubeMap(irr::IrrlichtDevice* device, IKeTextureManager* textures, IKeCubeFaceRenderer* faces);

// Removes `texture` from every material layer of `root` and its descendants, so that nothing
// keeps drawing with a texture that is going away. Returns the number of layers cleared.
irr::u32 keClearTextureUsers(irr::scene::ISceneNode* root, const irr::video::ITexture* texture);

}  // namespace kolm
