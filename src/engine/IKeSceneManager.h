// The engine's scene-manager extension: mesh nodes from mesh files, clones, node extensions,
// the scene time and cube maps. Particle systems, morph maps and node extensions belong to
// later parts of the engine: until they are part of the build those operations return null.
#pragma once

#include <irrlicht/IReferenceCounted.h>
#include <irrlicht/irrTypes.h>
#include <irrlicht/path.h>

namespace irr {
class IrrlichtDevice;
namespace scene {
class ISceneNode;
class ILightSceneNode;
}  // namespace scene
}  // namespace irr

namespace kolm {

class IKeManager;
class IKeCubeMap;
class CKeSceneNodeExt;
class CKeLightSceneNodeExt;
class IKeMorphMap;
struct KeParticleDescription;

// The node-extension services of the effect layer (a higher layer), which the engine manager
// that composes both installs: extensions found or made on request, clones that keep them.
struct KeNodeExtHooks {
    CKeSceneNodeExt* (*getNodeExt)(irr::scene::ISceneNode* node) = nullptr;
    CKeLightSceneNodeExt* (*getLightExt)(irr::scene::ILightSceneNode* light) = nullptr;
    irr::scene::ISceneNode* (*cloneNode)(irr::scene::ISceneNode* node) = nullptr;
};

class IKeSceneManager : public virtual irr::IReferenceCounted {
public:
    virtual ~IKeSceneManager() {}
    // The node for a mesh file below `parent` (the root when null), or null when the mesh
    // cannot be loaded. The scene graph owns the node.
    virtual irr::scene::ISceneNode* addMeshNode(const irr::io::path& path, irr::scene::ISceneNode* parent,
                                                irr::s32 id) = 0;
    virtual irr::scene::ISceneNode* addParticleSystem(const KeParticleDescription* description,
                                                      irr::scene::ISceneNode* parent, irr::s32 id) = 0;
    virtual irr::scene::ISceneNode* addParticleSystem(irr::scene::ISceneNode* parent, irr::s32 id) = 0;
    // The node's clone, or null. With the extension hooks installed, the clone's extensions
    // are applied to the clone's own materials; without them the library's plain clone.
    virtual irr::scene::ISceneNode* cloneNode(irr::scene::ISceneNode* node) = 0;
    // The node's (light's) extension, made on first request; null without the hooks.
    virtual CKeSceneNodeExt* getNodeExt(irr::scene::ISceneNode* node) = 0;
    virtual CKeLightSceneNodeExt* getLightExt(irr::scene::ILightSceneNode* light) = 0;
    virtual void setNodeExtHooks(const KeNodeExtHooks& hooks) = 0;
    // Scene time in ms; effects read it / 1000 as "TimeScene".
    virtual void setSceneTime(irr::u32 ms) = 0;
    virtual irr::u32 getSceneTime() const = 0;
    virtual IKeMorphMap* getMorphMap(const irr::io::path& path) = 0;
    // A new cube map created with (size, engine colour format), or null (nothing kept).
    virtual IKeCubeMap* createCubeMap(irr::u32 size, irr::s32 format) = 0;
};

IKeSceneManager* keCreateSceneManager(irr::IrrlichtDevice* device, IKeManager* manager);

}  // namespace kolm
