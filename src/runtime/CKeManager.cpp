#include "runtime/CKeManager.h"

#include "core/KePtr.h"
#include "engine/IKeRenderServices.h"
#include "engine/IKeResourceManager.h"
#include "engine/IKeSceneManager.h"
#include "engine/IKeTextureManager.h"
#include "engine/IKeVideoDriverExt.h"
#include "fx/CKeLightSceneNodeExt.h"
#include "fx/CKeSceneNodeExt.h"
#include "fx/IKeEffectManager.h"
#include "fx/KeEffectBindContext.h"
#include "fx/IKeGPUProgrammingServices.h"
#include "fx/IKeSurfaceManager.h"
#include "render/IKeRendererManager.h"

#include <irrlicht/IVideoDriver.h>
#include <irrlicht/IrrlichtDevice.h>

namespace kolm {

using namespace irr;

namespace {

ILogger* g_logger = nullptr;

class CKeManager : public IKeManager {
public:
    explicit CKeManager(IrrlichtDevice* device) : m_device(device) {}

    // Creates the services in order; false when the render services cannot start.
    bool init() {
        m_gpu = adopt(keCreateGPUProgrammingServices(m_device));
        m_renderServices = adopt(keCreateRenderServices(m_device, m_gpu.get()));
        if (!m_renderServices) return false;
        m_textures = adopt(keCreateTextureManager(m_device));
        m_scene = adopt(keCreateSceneManager(m_device, this));
        if (m_scene) {
            KeNodeExtHooks hooks;
            hooks.getNodeExt = &keGetNodeExt;
            hooks.getLightExt = &keGetLightExt;
            hooks.cloneNode = &keCloneNode;
            m_scene->setNodeExtHooks(hooks);
        }
        m_surfaces = adopt(keCreateSurfaceManager(m_device));
        m_renderers = adopt(keCreateRendererManager(m_device, this));
        m_driverExt = adopt(keCreateVideoDriverExt(m_device));
        // Borrows the shader services, which are destroyed after it.
        m_effects = adopt(createKeEffectManager(
            m_gpu.get(), m_device->getVideoDriver()->getDriverType() == video::EDT_OPENGL));
        m_resources = adopt(keCreateResourceManager(m_device));
        // What the effects' built-in binds read at every draw.
        if (m_effects) {
            KeEffectBindContext& binds = m_effects->getBindContext();
            binds.device = m_device;
            binds.sceneExt = m_scene.get();
            binds.textures = m_textures.get();
            binds.driverExt = m_driverExt.get();
        }
        return true;
    }

    // The reverse order of creation.
    ~CKeManager() override {
        m_resources.reset();
        m_effects.reset();
        m_driverExt.reset();
        m_renderers.reset();
        m_surfaces.reset();
        m_scene.reset();
        m_textures.reset();
        m_renderServices.reset();
        m_gpu.reset();
    }

    IKeGPUProgrammingServices* getGPUProgrammingServices() override { return m_gpu.get(); }
    IKeEffectManager* getEffectManager() override { return m_effects.get(); }
    IKeSceneManager* getSceneManager() override { return m_scene.get(); }
    IKeTextureManager* getTextureManager() override { return m_textures.get(); }
    IKeSurfaceManager* getSurfaceManager() override { return m_surfaces.get(); }
    IKeRendererManager* getRendererManager() override { return m_renderers.get(); }
    IKeRenderServices* getRenderServices() override { return m_renderServices.get(); }
    IKeVideoDriverExt* getVideoDriverExt() override { return m_driverExt.get(); }
    IKeResourceManager* getResourceManager() override { return m_resources.get(); }
    void onDeviceReset(bool) override {}

private:
    template <class T>
    static KePtr<T> adopt(T* service) {
        return KePtr<T>::adopt(service);
    }

    IrrlichtDevice* m_device;
    KePtr<IKeGPUProgrammingServices> m_gpu;
    KePtr<IKeEffectManager> m_effects;
    KePtr<IKeSceneManager> m_scene;
    KePtr<IKeTextureManager> m_textures;
    KePtr<IKeSurfaceManager> m_surfaces;
    KePtr<IKeRendererManager> m_renderers;
    KePtr<IKeRenderServices> m_renderServices;
    KePtr<IKeVideoDriverExt> m_driverExt;
    KePtr<IKeResourceManager> m_resources;
};

}  // namespace

ILogger* keEngineLogger() { return g_logger; }

IKeManager* createKeManager(IrrlichtDevice* device) {
    if (!device) return nullptr;
    g_logger = device->getLogger();
    KePtr<CKeManager> manager = KePtr<CKeManager>::adopt(new CKeManager(device));
    if (!manager->init()) return nullptr;
    return manager.release();
}

}  // namespace kolm
