#include "render/CKeRendererSimple.h"

#include "gl/KeGlTarget.h"

#include <irrlicht/ICameraSceneNode.h>
#include <irrlicht/ISceneManager.h>
#include <irrlicht/ITimer.h>
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

bool CKeRendererSimple::render(const KeFrameContext& frame) {
    irr::video::IVideoDriver* driver = m_device->getVideoDriver();
    irr::scene::ISceneManager* smgr = m_device->getSceneManager();
    driver->setRenderTarget(frame.target, true, true, m_clearColor);
    irr::scene::ICameraSceneNode* shown = smgr->getActiveCamera();
    if (frame.camera && frame.camera != shown) smgr->setActiveCamera(frame.camera);
    // The scene manager animates with the library's virtual clock: it shows the frame's time.
    m_device->getTimer()->setTime(frame.timeMs);
    {
        KeGlTargetOrientation orientation(driver);  // a target's row 0 is the top of its picture
        smgr->drawAll();
    }
    if (frame.camera && frame.camera != shown) smgr->setActiveCamera(shown);
    return true;
}

}  // namespace kolm
