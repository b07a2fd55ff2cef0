// The light pre-pass renderer's interface beyond IKeRenderer: the per-frame settings that the
// frame loop writes before each frame and the camera effects to draw.
#pragma once

#include "render/IKeRenderer.h"
#include "render/KeLppSettings.h"

#include <irrlicht/irrArray.h>

namespace kolm {

class IKeEffect;

class IKeRendererLpp : public IKeRenderer {
public:
    ~IKeRendererLpp() override {}
    // Writable per-frame post settings (a frame's KeFrameContext::post, when given, replaces
    // them for that frame on).
    virtual LppPostSettings* getPostSettings() = 0;
    // Writable settings of the light streaks.
    virtual LightStreakSettings* getLightStreakSettings() = 0;
    // Replaces the camera-effect list, drawn when a frame brings no list of its own; takes a
    // reference on every new effect before releasing the old ones.
    virtual void setCameraEffects(const irr::core::array<IKeEffect*>& effects) = 0;
};

}  // namespace kolm
