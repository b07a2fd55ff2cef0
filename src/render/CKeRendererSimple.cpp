#include "render/CKeRendererSimple.h"

#include <irrlicht/ISceneManager.h>
#include <irrlicht/IVideoDriver.h>
#include <irrlicht/IrrlichtDevice.h>

namespace kolm {

IKeRenderer* keCreateSimpleRenderer(irr::IrrlichtDevice* device) {
    if (!device) return nullptr;
    CKeRendererSimple* renderer = new CKeRendererSimple(device);
    if (!renderer->init()) {
        renderer->drop();
        return nullptr;
    }
    return renderer;
}

CKeRendererSimple::CKeRendererSimple(irr::IrrlichtDevice* device) : m_device(device) {}

CKeRendererSimple::~CKeRendererSimple() {}

bool CKeRendererSimple::render(irr::video::ITexture* target) {
    irr::video::IVideoDriver* driver = m_device->getVideoDriver();
    driver->setRenderTarget(target, true, true, m_clearColor);
    m_device->getSceneManager()->drawAll();
    return true;
}

}  // namespace kolm
