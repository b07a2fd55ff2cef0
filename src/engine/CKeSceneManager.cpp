#include "engine/IKeSceneManager.h"

#include "core/KeError.h"
#include "core/KePtr.h"
#include "engine/CKeXMeshLoader.h"
#include "engine/IKeMorphMesh.h"
#include "engine/IKeMorphMeshSceneNode.h"
#include "engine/IKeCubeMap.h"
#include "engine/IKeManager.h"
#include "engine/IKeRenderServices.h"
#include "engine/IKeTextureManager.h"

#include <irrlicht/IAnimatedMesh.h>
#include <irrlicht/IAnimatedMeshSceneNode.h>
#include <irrlicht/IMeshCache.h>
#include <irrlicht/IMeshSceneNode.h>
#include <irrlicht/ISceneManager.h>
#include <irrlicht/ISkinnedMesh.h>
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
        if (isMorphFile(path)) {
            KePtr<IKeMorphMesh> morph = KePtr<IKeMorphMesh>::adopt(getMorphMap(path));
            return morph ? keAddMorphMeshSceneNode(morph.get(), parent, smgr, id) : nullptr;
        }
        scene::IAnimatedMesh* mesh = smgr->getMesh(path);
        if (!mesh) return nullptr;
        if (mesh->getFrameCount() <= 1) {
            scene::IMeshSceneNode* node = smgr->addMeshSceneNode(mesh->getMesh(0), parent, id);
            if (node && node->getMesh()) node->getMesh()->setHardwareMappingHint(scene::EHM_STATIC, scene::EBT_VERTEX_AND_INDEX);
            return node;
        }
        if (mesh->getMeshType() == scene::EAMT_SKINNED) {
            // Skinned meshes animate through a morph mesh without morphs: the engine skins them.
            KePtr<IKeMorphMesh> morph = KePtr<IKeMorphMesh>::adopt(keCreateMorphMeshMorphMap());
            if (!morph->createSkinned(static_cast<scene::ISkinnedMesh*>(mesh), nullptr)) return nullptr;
            return keAddMorphMeshSceneNode(morph.get(), parent, smgr, id);
        }
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
    IKeMorphMesh* getMorphMap(const io::path& path) override {
        scene::ISceneManager* smgr = m_device->getSceneManager();
        io::IFileSystem* fs = m_device->getFileSystem();
        io::path base, ext;
        keSplitMeshPath(path, base, ext);
        const bool kmorph = fs->existFile(base + ".kmorph");
        if (!kmorph && !fs->existFile(base + ".morph1" + ext)) return nullptr;
        scene::IAnimatedMesh* mesh = smgr->getMesh(path);
        if (!mesh) return nullptr;
        scene::IMesh* pose = restPose(mesh);
        auto* skinned = mesh->getMeshType() == scene::EAMT_SKINNED ? static_cast<scene::ISkinnedMesh*>(mesh) : nullptr;
        if (skinned && skinned->isStatic()) skinned = nullptr;
        KeMorphSetPtr morphs;
        KePtr<IKeMorphMesh> morph;
        if (kmorph) {
            morphs = CKeMorphMapLoader::loadMorphMap(pose, fs, base + ".kmorph");
            if (!morphs) return nullptr;
            morph = KePtr<IKeMorphMesh>::adopt(keCreateMorphMeshMorphMapKM());
        } else {
            auto set = std::make_shared<KeMorphSet>();
            for (u32 i = 1;; ++i) {
                const io::path target = base + ".morph" + io::path(i) + ext;
                if (!fs->existFile(target)) break;
                scene::IAnimatedMesh* targetMesh = smgr->getMesh(target);
                const bool added = targetMesh && keAddMorphFromTarget(*set, pose, restPose(targetMesh));
                // Only the deltas are kept: the target leaves the library's mesh cache.
                if (targetMesh) smgr->getMeshCache()->removeMesh(targetMesh);
                if (!added) {
                    printMessage(KE_ERROR, "Failed to load morph mesh '%s'", target.c_str());
                    return nullptr;
                }
            }
            morphs = set;
            morph = KePtr<IKeMorphMesh>::adopt(keCreateMorphMeshMorphMap());
        }
        const bool made = skinned ? morph->createSkinned(skinned, morphs) : morph->createStatic(pose, morphs);
        if (!made) return nullptr;
        morph->grab();
        return morph.get();
    }
    IKeCubeMap* createCubeMap(u32 size, s32 format) override {
        IKeCubeMap* cube = keCreateCubeMap(m_device, m_manager->getTextureManager(), m_manager->getRenderServices());
        if (cube && !cube->create(size, format)) {
            cube->drop();
            return nullptr;
        }
        return cube;
    }

private:
    // The pose morphs are measured against: a skinned mesh in its bind pose (the library then
    // keeps its vertices there and only evaluates joints), else frame 0.
    static scene::IMesh* restPose(scene::IAnimatedMesh* mesh) {
        if (mesh->getMeshType() != scene::EAMT_SKINNED) return mesh->getMesh(0);
        auto* skinned = static_cast<scene::ISkinnedMesh*>(mesh);
        skinned->setHardwareSkinning(true);
        return skinned;
    }

    // The morph-file test: a "base.kmorph" or a "base.morph1.ext" beside the mesh file.
    bool isMorphFile(const io::path& path) const {
        io::IFileSystem* fs = m_device->getFileSystem();
        io::path base, ext;
        keSplitMeshPath(path, base, ext);
        return fs->existFile(base + ".kmorph") || fs->existFile(base + ".morph1" + ext);
    }

    IrrlichtDevice* m_device;
    IKeManager* m_manager;
    u32 m_sceneTime = 0;
    KeNodeExtHooks m_hooks;
};

}  // namespace

void keSplitMeshPath(const io::path& path, io::path& base, io::path& ext) {
    const s32 slash = core::max_(path.findLast('/'), path.findLast('\\'));
    const s32 dot = path.findLast('.');
    if (dot > slash) {
        base = path.subString(0, u32(dot));
        ext = path.subString(u32(dot), path.size() - u32(dot));
    } else {
        base = path;
        ext = "";
    }
}

IKeSceneManager* keCreateSceneManager(IrrlichtDevice* device, IKeManager* manager) {
    return new CKeSceneManager(device, manager);
}

}  // namespace kolm
