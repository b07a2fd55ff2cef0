// The volumetric stage of the light pre-pass renderer: light scattered in the air of spot and
// point lights whose extension switches it on, added to the scene colour. Spot lights with a
// quality level of 1 to 4 may read their shadow map (kept for them in the pool until this
// stage) and their projection image.
#pragma once

#include "render/CKeRenderLights.h"

namespace kolm {

class CKeRenderLightVolumetric : public virtual irr::IReferenceCounted {
public:
    explicit CKeRenderLightVolumetric(const KeLppStageEnv& env) : m_env(env) {}
    ~CKeRenderLightVolumetric() override;
    // Builds its sphere and cone and loads the point effect, the standard spot effect and the
    // twelve spot variants; the depth target is read on layer 0. Logs and returns false at the
    // first failure.
    bool init(IKeEffectManager* effects, const char* spotFile, const char* pointFile,
              irr::video::ITexture* depthTarget);
    void setDebug(irr::s32 debug) { m_debug = debug; }
    // Draws every light whose extension has the volumetric switch on into `target` (no clear).
    void render(irr::video::ITexture* target, const irr::core::array<irr::scene::ILightSceneNode*>& lights,
                const KeLppShadowPool& pool);
    bool drawLight(irr::scene::ILightSceneNode* light, const KeLppShadowPool& pool);
    void drawPoint(irr::scene::ILightSceneNode* light, IKeEffect* effect);
    void drawSpot(irr::scene::ILightSceneNode* light, IKeEffect* effect, irr::video::ITexture* shadowMap,
                  irr::video::ITexture* projectionImage);

    // For tests: the last light volume drawn (false: the screen quad) and its length.
    bool lastDrawnAsVolume() const { return m_lastVolume; }
    irr::f32 lastVolumeLength() const { return m_lastLength; }

private:
    void setCommon(irr::scene::ILightSceneNode* light, IKeEffect* effect);
    void draw(IKeEffect* effect, irr::scene::IMesh* mesh, const irr::core::matrix4* world);

    KeLppStageEnv m_env;
    irr::s32 m_debug = 0;
    irr::scene::IMesh* m_sphere = nullptr;
    irr::scene::IMesh* m_cone = nullptr;
    IKeEffect* m_point = nullptr;
    IKeEffect* m_spot = nullptr;
    IKeEffect* m_variants[KE_LPP_VOLUMETRIC_VARIANTS] = {};
    CKeScreenQuad m_quad;
    KeMaterialBinding m_record;
    bool m_lastVolume = false;
    irr::f32 m_lastLength = 0;
};

}  // namespace kolm
