#include "engine/IKeManager.h"

#include "engine/IKeRenderServices.h"
#include "render/IKeRendererManager.h"
#include "engine/IKeResourceManager.h"
#include "engine/IKeSceneManager.h"
#include "fx/IKeSurfaceManager.h"
#include "engine/IKeTextureManager.h"
#include "engine/IKeVideoDriverExt.h"
#include "fx/IKeGPUProgrammingServices.h"

#include <irrlicht/IrrlichtDevice.h>

namespace kolm {

using namespace irr;

namespace {

ILogger* gLogger = nullptr;

template <typename T> void release(T*& p) {
    if (p) p->drop();
    p = nullptr;
}

class CKeManager : public IKeManager {
public:
    explicit CKeManager(IrrlichtDevice* device) : mDevice(device) {}

    // Creates the services in order; false when the render services cannot start.
    bool init() {
        mGpu = keCreateGPUProgrammingServices(mDevice);
        mRenderServices = keCreateRenderServices(mDevice, mGpu);
        if (!mRenderServices) return false;
        mTextures = keCreateTextureManager(mDevice);
        mScene = keCreateSceneManager(mDevice, this);
        mSurfaces = keCreateSurfaceManager(mDevice);
        mRenderers = keCreateRendererManager(mDevice, this);
        mDriverExt = keCreateVideoDriverExt(mDevice);
        // The effect manager joins here once effect definitions are part of the build.
        mResources = keCreateResourceManager(mDevice);
        return true;
    }

    ~CKeManager() override {
        release(mResources);
        mEffects = nullptr;
        release(mDriverExt);
        release(mRenderers);
        release(mSurfaces);
        release(mScene);
        release(mTextures);
        release(mRenderServices);
        release(mGpu);
    }

    IKeGPUProgrammingServices* getGPUProgrammingServices() override { return mGpu; }
    IKeEffectManager* getEffectManager() override { return mEffects; }
    IKeSceneManager* getSceneManager() override { return mScene; }
    IKeTextureManager* getTextureManager() override { return mTextures; }
    IKeSurfaceManager* getSurfaceManager() override { return mSurfaces; }
    IKeRendererManager* getRendererManager() override { return mRenderers; }
    IKeRenderServices* getRenderServices() override { return mRenderServices; }
    IKeVideoDriverExt* getVideoDriverExt() override { return mDriverExt; }
    IKeResourceManager* getResourceManager() override { return mResources; }
    void onDeviceReset(bool) override {}

private:
    IrrlichtDevice* mDevice;
    IKeGPUProgrammingServices* mGpu = nullptr;
    IKeEffectManager* mEffects = nullptr;
    IKeSceneManager* mScene = nullptr;
    IKeTextureManager* mTextures = nullptr;
    IKeSurfaceManager* mSurfaces = nullptr;
    IKeRendererManager* mRenderers = nullptr;
    IKeRenderServices* mRenderServices = nullptr;
    IKeVideoDriverExt* mDriverExt = nullptr;
    IKeResourceManager* mResources = nullptr;
};

}  // namespace

ILogger* keEngineLogger() { return gLogger; }

IKeManager* createKeManager(IrrlichtDevice* device) {
    if (!device) return nullptr;
    gLogger = device->getLogger();
    auto* m = new CKeManager(device);
    if (!m->init()) {
        m->drop();
        return nullptr;
    }
    return m;
}

}  // namespace kolm
