#include "render/IKeRendererManager.h"

#include "render/CKeLastFrameInfo.h"
#include "render/CKeRendererLpp.h"
#include "render/IKeRenderer.h"

#include <irrlicht/IrrlichtDevice.h>

namespace kolm {

using namespace irr;

namespace {

class CKeRendererManager : public IKeRendererManager {
public:
    CKeRendererManager(IrrlichtDevice* device, IKeManager* manager)
        : m_device(device), m_manager(manager), m_lastFrame(device ? device->getTimer() : nullptr, device ? device->getVideoDriver() : nullptr) {}
    IKeRenderer* createSimpleRenderer() override { return keCreateSimpleRenderer(m_device); }
    IKeRenderer* createLppRenderer(const RendererLppParams* params) override {
        return params ? keCreateLppRenderer(m_device, m_manager, *params) : nullptr;
    }
    CKeLastFrameInfo* getLastFrameInfo() override { return &m_lastFrame; }

private:
    IrrlichtDevice* m_device;
    IKeManager* m_manager;
    CKeLastFrameInfo m_lastFrame;
};

}  // namespace

IKeRendererManager* keCreateRendererManager(IrrlichtDevice* device, IKeManager* manager) {
    return new CKeRendererManager(device, manager);
}

}  // namespace kolm
