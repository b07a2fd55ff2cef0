#include "api/KeDrawApi.h"

#include "runtime/KeEngine.h"

namespace kolm {

namespace {

// The one fader and the GUI environment that owns it: a fader of an environment that is no
// longer the engine's went with that environment.
irr::gui::IGUIInOutFader* g_fader = nullptr;
irr::gui::IGUIEnvironment* g_faderGui = nullptr;

int startFade(int timeMs, uint32_t colour, bool fadeIn) {
    EngineContext& engine = keEngineContext();
    if (!engine.started || !engine.gui) return -1;
    keStopFade();
    const irr::core::rect<irr::s32> screen(0, 0, engine.screenWidth, engine.screenHeight);
    g_fader = engine.gui->addInOutFader(&screen, nullptr, -1);
    if (!g_fader) return -1;
    g_faderGui = engine.gui;
    g_fader->setColor(irr::video::SColor(colour));
    // The library's fader divides by its length: a fade of 0 ms is one of 1 ms, over at once.
    const irr::u32 length = timeMs > 1 ? irr::u32(timeMs) : 1u;
    if (fadeIn)
        g_fader->fadeIn(length);
    else
        g_fader->fadeOut(length);
    return 0;
}

}  // namespace

int keFadeIn(int timeMs, uint32_t colour) { return startFade(timeMs, colour, true); }

int keFadeOut(int timeMs, uint32_t colour) { return startFade(timeMs, colour, false); }

int keStopFade() {
    const EngineContext& engine = keEngineContext();
    if (g_fader && engine.started && engine.gui == g_faderGui) g_fader->remove();
    g_fader = nullptr;
    g_faderGui = nullptr;
    return 0;
}

}  // namespace kolm
