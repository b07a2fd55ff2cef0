#include "render/IKeRendererManager.h"

#include "render/IKeRenderer.h"

namespace kolm {

using namespace irr;

namespace {

class CKeRendererManager : public IKeRendererManager {
public:
    CKeRendererManager(IrrlichtDevice* device, IKeManager* manager) : m_device(device), m_manager(manager) {}
    IKeRenderer* createSimpleRenderer() override { return keCreateSimpleRenderer(m_device); }
    IKeRenderer* createLppRenderer(const KeLppRendererParams*) override { return nullptr; }
    CKeLastFrameInfo* getLastFrameInfo() override { return nullptr; }

private:
    [[maybe_unused]] IrrlichtDevice* m_device;
    [[maybe_unused]] IKeManager* m_manager;
};

}  // namespace

IKeRendererManager* keCreateRendererManager(IrrlichtDevice* device, IKeManager* manager) {
    return new CKeRendererManager(device, manager);
}

}  // namespace kolm
