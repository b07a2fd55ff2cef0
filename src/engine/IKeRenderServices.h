// Render services: the screen quad, texture copies, cube-map rendering and small debug
// drawing, shared by renderers, post effects and cube maps.
#pragma once

#include "engine/IKeCubeMap.h"

#include <irrlicht/IReferenceCounted.h>
#include <irrlicht/ISceneNode.h>
#include <irrlicht/S3DVertex.h>
#include <irrlicht/SMaterial.h>
#include <irrlicht/aabbox3d.h>
#include <irrlicht/irrArray.h>

namespace irr {
class IrrlichtDevice;
namespace scene {
class ILightSceneNode;
}
namespace video {
class IVideoDriver;
}
}  // namespace irr

namespace kolm {

class IKeEffect;

// Two triangles covering clip space; texture coordinate (0, 0) at the top-left corner.
class CKeScreenQuad {
public:
    CKeScreenQuad();
    // Sets the material and an identity world transform and draws the six vertices.
    void render(irr::video::IVideoDriver* driver);
    irr::video::SMaterial& getMaterial() { return mMaterial; }
    const irr::video::S3DVertex* vertices() const { return mVertices; }

private:
    irr::video::S3DVertex mVertices[6];
    irr::video::SMaterial mMaterial;
};

class IKeRenderServices : public virtual irr::IReferenceCounted, public IKeCubeFaceRenderer {
public:
    // Releases the copy shader's callback and both quads.
    virtual ~IKeRenderServices() {}

    // Draws the general screen quad with an effect's technique and pass: the quad's material
    // and its record (effect, technique, pass, layers 4-7) come from the pass, `texture` (when
    // not null) goes into layer 0. False, nothing drawn, for a null effect or a technique or
    // pass out of range. The effect is borrowed for the call.
    virtual bool drawScreenQuad(IKeEffect* effect, irr::s32 technique, irr::s32 pass, irr::video::ITexture* texture) = 0;
    // Copies a texture onto the whole current render target, texel for pixel (with the copy
    // shader on OpenGL, 2D image drawing on other drivers).
    virtual void copyTexture(irr::video::ITexture* texture) = 0;
    // Renders the nodes of a list in order in the library's pass `pass` (E_SCENE_NODE_RENDER_PASS),
    // which is the engine's current pass meanwhile (engine/KeRenderPass.h): of mesh nodes the
    // solid pass draws the solid buffers, the transparent passes the transparent ones.
    virtual void renderNodes(const irr::core::array<irr::scene::ISceneNode*>& nodes, irr::s32 pass) = 0;
    // IKeCubeFaceRenderer: the six faces through `target`, from `position`.
    bool renderCubeMap(irr::video::ITexture* cube, irr::video::ITexture* target, const irr::core::vector3df& position,
                       IKeRenderer* renderer) override = 0;
    // Clears the six faces of a cube texture; the back buffer is current afterwards.
    virtual bool clearCubeMap(irr::video::ITexture* cube) = 0;
    // Visible nodes below the root whose node extension casts shadows (nodes without an
    // extension never do). Empties the list first.
    virtual void collectShadowCasters(irr::core::array<irr::scene::ISceneNode*>& list) = 0;
    // Debug: the box's twelve edges as white lines, identity world transform, no depth test.
    virtual void drawBox(const irr::core::aabbox3df& box) = 0;
    // Debug: the box around a light's shadow view (nothing for a light without a shadow map).
    virtual void drawLightBox(irr::scene::ILightSceneNode* light) = 0;

    virtual CKeScreenQuad* getScreenQuad() = 0;
    // The copy shader's material type (-1 on drivers without it).
    virtual irr::s32 getCopyMaterialType() const = 0;
};

// Render services for the device; null (with "CKeRenderServices failed to create copy
// texture shader" logged) when the copy shader cannot be made.
class IKeGPUProgrammingServices;
IKeRenderServices* keCreateRenderServices(irr::IrrlichtDevice* device, IKeGPUProgrammingServices* gpu);

}  // namespace kolm
