#include "render/IKeRendererManager.h"

#include "render/IKeRenderer.h"

namespace kolm {

using namespace irr;

namespace {

class CKeRendererManager : public IKeRendererManager {
public:
    CKeRendererManager(IrrlichtDevice* device, IKeManager* manager) : mDevice(device), mManager(manager) {}
    IKeRenderer* createSimpleRenderer() override { return keCreateSimpleRenderer(mDevice); }
    IKeRenderer* createLppRenderer(const KeLppRendererParams*) override { return nullptr; }
    CKeLastFrameInfo* getLastFrameInfo() override { return nullptr; }

private:
    [[maybe_unused]] IrrlichtDevice* mDevice;
    [[maybe_unused]] IKeManager* mManager;
};

}  // namespace

IKeRendererManager* keCreateRendererManager(IrrlichtDevice* device, IKeManager* manager) {
    return new CKeRendererManager(device, manager);
}

}  // namespace kolm
