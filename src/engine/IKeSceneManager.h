// The engine's scene-manager extension: mesh nodes from mesh files (morph meshes included),
// clones, node extensions, the scene time and cube maps. Particle systems and node extensions
// come from higher layers; without them those operations return null.
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
class IKeMorphMesh;
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
    // The morph mesh of a mesh file with a "base.kmorph" file or "base.morph1.ext", "base.morph2.ext"
    // ... target files beside it (base and ext as keSplitMeshPath gives them); skinned meshes
    // with animation skin at their frames. Null when there are neither, or when the morph file,
    // a target or the mesh does not load ("Failed to load morph mesh '%s'" names a target that
    // does not load or does not have the mesh's vertices). The caller drops it.
    virtual IKeMorphMesh* getMorphMap(const irr::io::path& path) = 0;
    // A new cube map created with (size, engine colour format), or null (nothing kept).
    virtual IKeCubeMap* createCubeMap(irr::u32 size, irr::s32 format) = 0;
};

// Splits a mesh path into the path without its file name's last extension and that extension
// with its dot ("" when the file name has none); a dot in a folder name does not count.
void keSplitMeshPath(const irr::io::path& path, irr::io::path& base, irr::io::path& ext);

IKeSceneManager* keCreateSceneManager(irr::IrrlichtDevice* device, IKeManager* manager);

}  // namespace kolm
