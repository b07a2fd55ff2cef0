// The render pass being drawn, kept by the engine: the library names its pass only inside its
// own drawAll, while the engine's renderers draw their lists outside it. Renderers and the
// render services set it around each list they draw; binds whose value depends on the pass
// (the glow blend factor of transparent surfaces) read it. Main thread only.
#pragma once

#include <irrlicht/ISceneManager.h>

namespace kolm {

// Sets the current pass (ESNRP_NONE when no pass of the engine is being drawn).
void keSetRenderPass(irr::scene::E_SCENE_NODE_RENDER_PASS pass);
irr::scene::E_SCENE_NODE_RENDER_PASS keGetRenderPass();
// The engine's pass while it draws one, else the library's own (inside its drawAll).
irr::scene::E_SCENE_NODE_RENDER_PASS keCurrentRenderPass(const irr::scene::ISceneManager* smgr);

// Sets a pass for the life of the object and puts the previous one back.
class KeRenderPassScope {
public:
    explicit KeRenderPassScope(irr::scene::E_SCENE_NODE_RENDER_PASS pass) : m_previous(keGetRenderPass()) {
        keSetRenderPass(pass);
    }
    ~KeRenderPassScope() { keSetRenderPass(m_previous); }
    KeRenderPassScope(const KeRenderPassScope&) = delete;
    KeRenderPassScope& operator=(const KeRenderPassScope&) = delete;

private:
    irr::scene::E_SCENE_NODE_RENDER_PASS m_previous;
};

}  // namespace kolm
