#include "fx/CKeLightSceneNodeExt.h"

#include <irrlicht/ILightSceneNode.h>

namespace kolm {

using namespace irr;

CKeLightSceneNodeExt::CKeLightSceneNodeExt(scene::ILightSceneNode* light) : m_light(light) {}

scene::ESCENE_NODE_ANIMATOR_TYPE CKeLightSceneNodeExt::getType() const {
    return scene::ESCENE_NODE_ANIMATOR_TYPE(KE_LIGHT_EXT_ANIMATOR);
}

scene::ISceneNodeAnimator* CKeLightSceneNodeExt::createClone(scene::ISceneNode* node, scene::ISceneManager*) {
    if (!node || node->getType() != scene::ESNT_LIGHT) return nullptr;
    auto* ext = new CKeLightSceneNodeExt(static_cast<scene::ILightSceneNode*>(node));
    ext->m_params = m_params;
    return ext;
}

void CKeLightSceneNodeExt::setIntensity(f32 intensity) {
    m_params.intensity = intensity;
    applyColour();
}

void CKeLightSceneNodeExt::setColour(f32 r, f32 g, f32 b) {
    m_params.colour[0] = r;
    m_params.colour[1] = g;
    m_params.colour[2] = b;
    m_params.colour[3] = 1.0f;
    applyColour();
}

void CKeLightSceneNodeExt::applyColour() {
    if (!m_light) return;
    const f32 i = m_params.intensity;
    m_light->getLightData().DiffuseColor =
        video::SColorf(m_params.colour[0] * i, m_params.colour[1] * i, m_params.colour[2] * i, 1.0f);
}

IKeLightSceneNodeExt* keFindLightExt(scene::ISceneNode* node) {
    if (!node) return nullptr;
    const core::list<scene::ISceneNodeAnimator*>& animators = node->getAnimators();
    for (auto it = animators.begin(); it != animators.end(); ++it)
        if (s32((*it)->getType()) == KE_LIGHT_EXT_ANIMATOR)
            if (auto* ext = dynamic_cast<IKeLightSceneNodeExt*>(*it)) return ext;
    return nullptr;
}

CKeLightSceneNodeExt* keGetLightExt(scene::ILightSceneNode* light) {
    if (!light) return nullptr;
    if (auto* ext = dynamic_cast<CKeLightSceneNodeExt*>(keFindLightExt(light))) return ext;
    auto* ext = new CKeLightSceneNodeExt(light);
    light->addAnimator(ext);
    ext->drop();
    return ext;
}

}  // namespace kolm
