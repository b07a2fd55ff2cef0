#include "engine/IKeSceneManager.h"

#include "engine/CKeXMeshLoader.h"
#include "engine/IKeCubeMap.h"
#include "engine/IKeManager.h"
#include "engine/IKeRenderServices.h"
#include "engine/IKeTextureManager.h"

#include <irrlicht/IAnimatedMesh.h>
#include <irrlicht/IAnimatedMeshSceneNode.h>
#include <irrlicht/IMeshSceneNode.h>
#include <irrlicht/ISceneManager.h>
#include <irrlicht/IrrlichtDevice.h>

namespace kolm {

using namespace irr;

namespace {

class CKeSceneManager : public IKeSceneManager {
public:
    CKeSceneManager(IrrlichtDevice* device, IKeManager* manager) : m_device(device), m_manager(manager) {
        // Mesh files load through the engine's `.x` loader, which keeps what morphs and
        // surfaces need (original vertex indices, buffer properties).
        keAddXMeshLoader(device);
    }

    scene::ISceneNode* addMeshNode(const io::path& path, scene::ISceneNode* parent, s32 id) override {
        scene::ISceneManager* smgr = m_device->getSceneManager();
        scene::IAnimatedMesh* mesh = smgr->getMesh(path);
        if (!mesh) return nullptr;
        if (mesh->getFrameCount() <= 1) {
            scene::IMeshSceneNode* node = smgr->addMeshSceneNode(mesh->getMesh(0), parent, id);
            if (node && node->getMesh()) node->getMesh()->setHardwareMappingHint(scene::EHM_STATIC, scene::EBT_VERTEX_AND_INDEX);
            return node;
        }
        if (mesh->getMeshType() == scene::EAMT_SKINNED) return nullptr;  // skinned meshes need a morph mesh node
        scene::IAnimatedMeshSceneNode* node = smgr->addAnimatedMeshSceneNode(mesh, parent, id);
        if (node) node->setAnimationSpeed(0.0f);  // the engine sets frames itself
        return node;
    }
    scene::ISceneNode* addParticleSystem(const KeParticleDescription*, scene::ISceneNode*, s32) override {
        return nullptr;
    }
    scene::ISceneNode* addParticleSystem(scene::ISceneNode*, s32) override { return nullptr; }
    scene::ISceneNode* cloneNode(scene::ISceneNode* node) override {
        if (!node) return nullptr;
        return m_hooks.cloneNode ? m_hooks.cloneNode(node) : node->clone(0, 0);
    }
    CKeSceneNodeExt* getNodeExt(scene::ISceneNode* node) override {
        return m_hooks.getNodeExt && node ? m_hooks.getNodeExt(node) : nullptr;
    }
    CKeLightSceneNodeExt* getLightExt(scene::ILightSceneNode* light) override {
        return m_hooks.getLightExt && light ? m_hooks.getLightExt(light) : nullptr;
    }
    void setNodeExtHooks(const KeNodeExtHooks& hooks) override { m_hooks = hooks; }
    void setSceneTime(u32 ms) override { m_sceneTime = ms; }
    u32 getSceneTime() const override { return m_sceneTime; }
    IKeMorphMap* getMorphMap(const io::path&) override { return nullptr; }
    IKeCubeMap* createCubeMap(u32 size, s32 format) override {
        IKeCubeMap* cube = keCreateCubeMap(m_device, m_manager->getTextureManager(), m_manager->getRenderServices());
        if (cube && !cube->create(size, format)) {
            cube->drop();
            return nullptr;
        }
        return cube;
    }

private:
    IrrlichtDevice* m_device;
    IKeManager* m_manager;
    u32 m_sceneTime = 0;
    KeNodeExtHooks m_hooks;
};

}  // namespace

IKeSceneManager* keCreateSceneManager(IrrlichtDevice* device, IKeManager* manager) {
    return new CKeSceneManager(device, manager);
}

}  // namespace kolm
