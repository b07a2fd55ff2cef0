// The simple renderer: the scene manager draws the whole scene in one go.
#pragma once

#include "render/IKeRenderer.h"

namespace irr {
class IrrlichtDevice;
}

namespace kolm {

class CKeRendererSimple : public IKeRenderer {
public:
    explicit CKeRendererSimple(irr::IrrlichtDevice* device);
    ~CKeRendererSimple() override;

    void setClearColor(irr::video::SColor color) override { m_clearColor = color; }
    void setDebug(irr::s32 debug) override { m_debug = debug; }
    // Makes the frame's target current (null: the back buffer), clears colour and depth with
    // the clear colour and lets the scene manager animate (at the frame's time) and draw
    // everything with the frame's camera. Cannot fail.
    bool render(const KeFrameContext& frame) override;

    // Nothing to prepare.
    bool init() { return true; }

    irr::video::SColor getClearColor() const { return m_clearColor; }
    irr::s32 getDebug() const { return m_debug; }

private:
    irr::IrrlichtDevice* m_device;
    irr::s32 m_debug = 0;                   // ignored by this renderer
    irr::video::SColor m_clearColor{0};     // 0xAARRGGBB
};

}  // namespace kolm
