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
    // Null until the effect definitions land in this build.
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

// The engine manager for a device, or null when a service cannot start (the render services'
// copy shader). One reference, held by the caller.
IKeManager* createKeManager(irr::IrrlichtDevice* device);

// The device's logger, stored by createKeManager (null before).
irr::ILogger* keEngineLogger();

}  // namespace kolm
