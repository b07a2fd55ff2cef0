// The light extension: the engine's parameters of a light node, kept in the node's animator
// list (animator type 4322) so that the library clones, keeps and frees them with the light.
#pragma once

#include <irrlicht/ISceneNodeAnimator.h>

namespace irr {
namespace scene {
class ILightSceneNode;
}
namespace video {
class ITexture;
}
}  // namespace irr

namespace kolm {

constexpr irr::s32 KE_LIGHT_EXT_ANIMATOR = 4322;

struct KeLightParams {
    irr::f32 intensity = 1.0f;
    irr::f32 colour[4] = {1, 1, 1, 1};        // r, g, b, a (a always 1)
    irr::video::ITexture* projectionImage = nullptr;  // not owned
    irr::f32 shadowColour[4] = {0, 0, 0, 1};
    irr::s32 shadowMapSize = 512;
    irr::f32 shadowEpsilon = 5.0f;
    irr::f32 shadowMapFuzz = 0.0f;
    bool volumetric = false;
    irr::f32 volumetricDensity = 1.0f;
    bool volumetricHasColour = false;
    irr::f32 volumetricColour[4] = {1, 1, 1, 1};
    irr::f32 volumetricBase = 0.0f;
    bool volumetricClamp = false;
    irr::f32 volumetricClampMax = 1.0f;
    irr::s32 volumetricMode = 0;
};

class IKeLightSceneNodeExt : public irr::scene::ISceneNodeAnimator {
public:
    virtual irr::scene::ILightSceneNode* getNode() const = 0;
    // The parameter block, for reading and writing. After changing intensity or colour
    // directly, call applyColour.
    virtual KeLightParams& getParams() = 0;
    virtual const KeLightParams& getParams() const = 0;
    // Set the value and give the light's library data diffuse colour = colour x intensity
    // (alpha 1). setColour stores alpha 1.
    virtual void setIntensity(irr::f32 intensity) = 0;
    virtual void setColour(irr::f32 r, irr::f32 g, irr::f32 b) = 0;
    virtual void applyColour() = 0;
};

}  // namespace kolm
