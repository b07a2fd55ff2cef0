#include "render/CKeRendererSimple.h"

#include <irrlicht/ISceneManager.h>
#include <irrlicht/IVideoDriver.h>
#include <irrlicht/IrrlichtDevice.h>

namespace kolm {

bool keSupportsLightPrePass(irr::video::IVideoDriver* driver) {
    return driver && driver->getDriverType() == irr::video::EDT_OPENGL &&
           driver->queryFeature(irr::video::EVDF_FRAMEBUFFER_OBJECT) &&
           driver->queryFeature(irr::video::EVDF_MULTIPLE_RENDER_TARGETS) &&
           driver->queryFeature(irr::video::EVDF_ARB_GLSL);
}

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
