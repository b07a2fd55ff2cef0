// The running engine: start-up and shut-down, the per-process EngineContext, the frame loop
// operations (keRun, keSync), off-screen renders, the engine clock and screenshots.
//
// Contents: EngineContext; start and stop; per-frame operations; clock; screenshots;
// test seams.
#pragma once

#include "runtime/EngineSetup.h"
#include "core/KeIdTableKinds.h"
#include "runtime/MyEventReceiver.h"

#include <irrlicht.h>

#include <cstdint>

namespace kolm {

class IKeEffect;
class IKeManager;
class IKeRenderer;

// The process-wide engine record; zeroed at start-up and at shut-down.
struct EngineContext {
    int32_t started = 0;  // 1 once start-up completed; the event receiver records only then
    irr::IrrlichtDevice* device = nullptr;
    irr::video::IVideoDriver* driver = nullptr;
    irr::scene::ISceneManager* sceneManager = nullptr;
    irr::gui::IGUIEnvironment* gui = nullptr;
    irr::gui::IGUIFont* defaultFont = nullptr;
    irr::scene::ICameraSceneNode* camera = nullptr;
    irr::scene::ISceneNodeAnimator* cameraAnimator = nullptr;  // the fly camera animator
    int32_t screenWidth = 0;
    int32_t screenHeight = 0;
    int32_t bpp = 0;
    uint8_t antialias = 0;
    int32_t stereo = 0;
    uint8_t lightPrePass = 0;
    // The seven ID lists (image, object, light, fx emitter, camera shader, effect, cube map),
    // capacity 1000 each.
    KeEngineIdTables idLists;
};

EngineContext& keEngineContext();
MyEventReceiver& keEventReceiver();

// Start-up; a running engine is shut down first. 0 or -1 ("Setup failed: %s").
int keStartEngine(const EngineSetup& setup);
// Shut-down when started; always 0.
int keStopEngine();
bool keIsStarted();

// Pumps the window's messages; false once the window was closed (or no engine runs).
bool keRun();
// Renders one frame: begin, renderer, GUI, 2D batch, end, last-frame hook.
int keSync();
// The 2D layer above the frame loop (the object API's draw queue): the loop has it draw its
// batch after the GUI, or discard it in a frame that draws nothing, and tells it at shut-down,
// while the device still exists, so that it lets go of what it holds of the device.
enum class Ke2DStep { Draw, Discard, Shutdown };
using Ke2DLayerHook = void (*)(Ke2DStep step);
void keSet2DLayerHook(Ke2DLayerHook hook);
// Ends the frame begun on the driver and presents it. A GPU copy of the frame is kept first,
// so that screenshots show exactly what was presented. False when the driver fails to end it.
bool kePresentFrame();
// Renders one frame into the 32 x 32 "DummyRenderTarget".
int keRenderDummy();
// Renders one frame (scene, GUI, 2D batch) into a render-target texture, cleared first (colour
// and depth) with the backdrop colour when `clear`; the back buffer is the target again
// afterwards and nothing is presented. -1 without a device or when the frame cannot begin; a
// minimised window renders nothing.
int keRenderToTexture(irr::video::ITexture* target, bool clear);
// A caller's drawing for keRenderWith (cube maps): draws through the given renderer into
// whatever targets it chooses.
class IKeRenderWithDrawer {
public:
    virtual ~IKeRenderWithDrawer() {}
    virtual bool draw(IKeRenderer* renderer) = 0;
};
// Begins the frame (unless begun), lets the drawer draw with the current renderer (the light
// pre-pass renderer with glow, light streaks and gamma off meanwhile) and resets
// the render target to the back buffer; the frame is not ended (keSync ends it). -1 when the
// window is minimised or the frame cannot begin.
int keRenderWith(IKeRenderWithDrawer* drawer);

// The camera effects that every frame drawn to the back buffer hands its renderer, in drawing
// order (cube maps and the dummy target get none). The caller keeps the array and the effects
// alive until it hands another list or none (null, 0); shut-down forgets the list.
void keSetShownCameraEffects(IKeEffect* const* effects, irr::u32 count);

// Sets the engine camera's near and far planes (equal planes: 0.1 and 1000).
void keSetCameraRange(float nearPlane, float farPlane);

// Milliseconds of the device timer since its first reading after start-up (the first call
// returns 0), counted in 32 bits: it goes on across the timer's wrap.
int64_t keTimer();
// The animation time of the frames rendered from now on, ms: capture and scrubbing render
// exactly the frame they ask for. A negative time goes back to the engine clock (the default
// after every start-up).
void keSetFrameTime(int64_t ms);
// Frames rendered by keSync since start-up.
uint32_t keFrameIndex();
void keSleep(int32_t milliseconds);

// Writes the frame last presented (24-bit RGB; before the first one, the back buffer) with the
// writer of the path's extension.
int keScreenShot(const char* path);

// Backdrop colour 0xRRGGBB, cleared to black at each start-up.
void keSetBackdropColor(uint32_t rgb);
uint32_t keGetBackdropColor();

// The renderer in use (null before start-up).
IKeRenderer* keCurrentRenderer();
// The engine manager (null before start-up).
IKeManager* keEngineManager();

// Test seam: where the engine clock reads the device timer (ms, 32 bits, wrapping); nullptr
// reads the device's own timer.
using KeEngineTimerSource = uint32_t (*)(void* user);
void keSetEngineTimerSource(KeEngineTimerSource source, void* user);

// Test seam: the driver the next start-up creates (the OpenGL driver by default; the null
// driver keeps tests headless).
void keSetEngineDriverType(irr::video::E_DRIVER_TYPE type);

}  // namespace kolm
