// The engine state the built-in binds read while a material is set up. The effect manager owns
// one; the engine fills it once its services exist, and the frame loop updates the last-frame
// information after each frame. Every pointer is borrowed and may be null: binds that need a
// missing source send zeros (or nothing, for per-object values) rather than fail a draw.
#pragma once

#include <irrlicht/matrix4.h>
#include <irrlicht/irrTypes.h>

#include <memory>

namespace irr {
class IrrlichtDevice;
namespace scene {
class ISceneNode;
}
namespace video {
class ITexture;
}
}  // namespace irr

namespace kolm {

class IKeSceneManager;
class IKeTextureManager;
class IKeVideoDriverExt;

// What the frame before this one was drawn with.
struct KeLastFrameInfo {
    irr::core::matrix4 view;
    irr::core::matrix4 projection;
    irr::f32 fps = 0.0f;
};

// The values a LightWave surface gives the binds. Implemented by the engine's surfaces.
class IKeBindSurface {
public:
    virtual ~IKeBindSurface() {}
    // Four-character kind ("lwsr", "lwhv", KE_SURFACE_* of IKeSurfaceManager.h).
    virtual irr::u32 getBindKind() const = 0;
    // Up to `count` floats of the channel or particle value called `name` ("Glossiness",
    // "Color", "ColorKeyValues", ...); false when the surface has no such value.
    virtual bool getBindValue(const irr::c8* name, irr::f32* values, irr::u32 count) const = 0;
    // A texture channel's texture ("ReflectionImage"), or null.
    virtual irr::video::ITexture* getBindTexture(const irr::c8* name) const = 0;
    // The glow value (LightWave "GlowValue", the HyperVoxel glow), unclamped.
    virtual irr::f32 getBindGlow() const = 0;
};

// What a node extension gives the binds. The node extension (the node's animator of type
// KE_NODE_EXT_ANIMATOR) implements it.
class IKeBindNodeData {
public:
    virtual ~IKeBindNodeData() {}
    // The surface bound to material `index`, or null.
    virtual IKeBindSurface* getBindSurface(irr::s32 index) const = 0;
    // Cube-map values: box centre, box size (3 floats each) and position of the cube map.
    virtual void getBindCubeMap(irr::f32* position3, irr::f32* boxPosition3, irr::f32* boxScale3) const = 0;
};

constexpr irr::s32 KE_NODE_EXT_ANIMATOR = 4321;

// The node data of a node (its animator of type 4321 that implements IKeBindNodeData), or null.
IKeBindNodeData* keFindBindNodeData(irr::scene::ISceneNode* node);

struct KeEffectBindContext {
    irr::IrrlichtDevice* device = nullptr;  // timer, scene manager, camera, lights, driver
    IKeSceneManager* sceneExt = nullptr;    // scene time
    IKeTextureManager* textures = nullptr;  // named textures and texture loading
    IKeVideoDriverExt* driverExt = nullptr; // blend factor of transparent surfaces
    KeLastFrameInfo lastFrame;
};

// Binds share the context with the effect manager: effects (and their binds) may outlive it.
using KeEffectBindContextPtr = std::shared_ptr<KeEffectBindContext>;

}  // namespace kolm
