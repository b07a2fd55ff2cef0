#include "engine/KeRenderPass.h"

namespace kolm {

namespace {
irr::scene::E_SCENE_NODE_RENDER_PASS g_pass = irr::scene::ESNRP_NONE;
}

void keSetRenderPass(irr::scene::E_SCENE_NODE_RENDER_PASS pass) { g_pass = pass; }

irr::scene::E_SCENE_NODE_RENDER_PASS keGetRenderPass() { return g_pass; }

irr::scene::E_SCENE_NODE_RENDER_PASS keCurrentRenderPass(const irr::scene::ISceneManager* smgr) {
    if (g_pass != irr::scene::ESNRP_NONE || !smgr) return g_pass;
    return smgr->getSceneNodeRenderPass();
}

}  // namespace kolm
