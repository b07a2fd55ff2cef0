// The engine manager: root of the engine's own layer on top of the 3D library. One exists
// between engine start-up and shutdown; it creates, owns and hands out the nine services.
#pragma once

#include <irrlicht/IReferenceCounted.h>

namespace irr {
class IrrlichtDevice;
class ILogger;
}  // namespace irr

namespace kolm {

class IKeGPUProgrammingServices;
class IKeEffectManager;
class IKeSceneManager;
class IKeTextureManager;
class IKeSurfaceManager;
class IKeRendererManager;
class IKeRenderServices;
class IKeVideoDriverExt;
class IKeResourceManager;

class IKeManager : public virtual irr::IReferenceCounted {
public:
    // Destroys the services in the reverse order of their creation.
    virtual ~IKeManager() {}

    virtual IKeGPUProgrammingServices* getGPUProgrammingServices() = 0;
    virtual IKeEffectManager* getEffectManager() = 0;
    virtual IKeSceneManager* getSceneManager() = 0;
    virtual IKeTextureManager* getTextureManager() = 0;
    virtual IKeSurfaceManager* getSurfaceManager() = 0;
    virtual IKeRendererManager* getRendererManager() = 0;
    virtual IKeRenderServices* getRenderServices() = 0;
    virtual IKeVideoDriverExt* getVideoDriverExt() = 0;
    virtual IKeResourceManager* getResourceManager() = 0;
    // Device resets do not happen on OpenGL: nothing to do.
    virtual void onDeviceReset(bool flag) = 0;
};

// Created by the runtime (runtime/CKeManager.h), which composes the services of every layer.

}  // namespace kolm
