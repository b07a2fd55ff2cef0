// The renderer manager: makes the engine's renderers and keeps the last-frame information.
#pragma once

#include <irrlicht/IReferenceCounted.h>
#include <irrlicht/irrTypes.h>

namespace irr {
class IrrlichtDevice;
}

namespace kolm {

class IKeManager;
class IKeRenderer;
class CKeLastFrameInfo;
struct RendererLppParams;

class IKeRendererManager : public virtual irr::IReferenceCounted {
public:
    virtual ~IKeRendererManager() {}
    virtual irr::s32 reserved() { return 0; }
    // A new simple renderer, initialised, or null. One reference for the caller.
    virtual IKeRenderer* createSimpleRenderer() = 0;
    // A new light pre-pass renderer initialised with `params`, or null (the failure logged).
    // One reference for the caller.
    virtual IKeRenderer* createLppRenderer(const RendererLppParams* params) = 0;
    // The last-frame information, updated by the frame loop after every frame (never null).
    virtual CKeLastFrameInfo* getLastFrameInfo() = 0;
};

IKeRendererManager* keCreateRendererManager(irr::IrrlichtDevice* device, IKeManager* manager);

}  // namespace kolm
