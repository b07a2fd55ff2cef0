// The light extension (see IKeLightSceneNodeExt.h).
#pragma once

#include "fx/IKeLightSceneNodeExt.h"

namespace kolm {

class CKeLightSceneNodeExt : public IKeLightSceneNodeExt {
public:
    explicit CKeLightSceneNodeExt(irr::scene::ILightSceneNode* light);

    void animateNode(irr::scene::ISceneNode*, irr::u32) override {}
    // A new extension for the new node (which must be a light) with a copy of the whole block.
    irr::scene::ISceneNodeAnimator* createClone(irr::scene::ISceneNode* node,
                                                irr::scene::ISceneManager* newManager = nullptr) override;
    bool isEventReceiverEnabled() const override { return false; }
    irr::scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override;
    bool hasFinished() const override { return false; }

    irr::scene::ILightSceneNode* getNode() const override { return m_light; }
    KeLightParams& getParams() override { return m_params; }
    const KeLightParams& getParams() const override { return m_params; }
    void setIntensity(irr::f32 intensity) override;
    void setColour(irr::f32 r, irr::f32 g, irr::f32 b) override;
    void applyColour() override;

private:
    irr::scene::ILightSceneNode* m_light;  // not counted: the light owns the extension
    KeLightParams m_params;
};

// The light's extension (its animator of type 4322), or null.
IKeLightSceneNodeExt* keFindLightExt(irr::scene::ISceneNode* node);
// The light's extension, created and attached on first request (null for a null light).
CKeLightSceneNodeExt* keGetLightExt(irr::scene::ILightSceneNode* light);

}  // namespace kolm
