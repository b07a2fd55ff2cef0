// What a renderer is handed for one frame. Time is an input: the renderer animates and draws
// the scene at `timeMs` and never reads a clock, so that capture and scrubbing render exactly
// the frame asked for.
#pragma once

#include <irrlicht/irrTypes.h>

#include <cstdint>

namespace irr {
namespace scene {
class ICameraSceneNode;
}
namespace video {
class ITexture;
}
}  // namespace irr

namespace kolm {

struct LppPostSettings;
struct LightStreakSettings;
class IKeEffect;

struct KeFrameContext {
    // Animation time of the frame, ms on the engine clock (or the scene time the caller chose).
    irr::u32 timeMs = 0;
    // Frames rendered since engine start-up, this one not counted.
    uint32_t frameIndex = 0;
    // The camera to draw with; null: the scene manager's active camera.
    irr::scene::ICameraSceneNode* camera = nullptr;
    // Where the frame goes; null: the back buffer.
    irr::video::ITexture* target = nullptr;
    // The light pre-pass renderer's per-frame settings; null: keep the renderer's own.
    const LppPostSettings* post = nullptr;
    const LightStreakSettings* lightStreaks = nullptr;
    // The camera effects shown this frame, in drawing order.
    IKeEffect* const* cameraEffects = nullptr;
    irr::u32 cameraEffectCount = 0;
};

// A frame into `target` (null: the back buffer) at `timeMs`, drawn with the active camera.
inline KeFrameContext keFrameInto(irr::video::ITexture* target, irr::u32 timeMs = 0) {
    KeFrameContext frame;
    frame.target = target;
    frame.timeMs = timeMs;
    return frame;
}

}  // namespace kolm
