// The post objects of the light pre-pass renderer together: made and loaded with the renderer,
// drawing its steps from the glow's scene copy to gamma over the renderer's own targets (no
// target of their own).
#pragma once

#include "render/CKePostEffects.h"
#include "render/CKePostSMAA.h"
#include "render/KeLppSettings.h"

namespace kolm {

class KeLppTargets;

class CKePostChain {
public:
    // Loads, in this order and each failure logged with its own message: SMAA (only when
    // params.smaa: with it off SMAA loads nothing and costs nothing), Gaussian blur, down-sample
    // blur, compose up-sample, light streaks, glow, depth of field, gamma.
    bool init(irr::video::IVideoDriver* driver, IKeEffectManager* effects, IKeTextureManager* textures,
              const RendererLppParams& params, const KeLppTargets& targets);

    // The scene's half-size copy that the glow starts from ("HalfScreen[2]").
    void copyForGlow(irr::video::ITexture* scene);
    void glow(irr::video::ITexture* scene, irr::f32 radius, irr::f32 intensity, bool streaks,
              const LightStreakSettings& streakSettings);
    // Depth of field from `scene` into `out` (see CKePostDof::render); artist when `artist`.
    void dof(irr::video::ITexture* out, irr::video::ITexture* scene, bool artist, irr::f32 radiusScale);
    void gamma(irr::video::ITexture* out, irr::video::ITexture* scene);

    CKePostGaussian& getGaussian() { return m_gaussian; }
    CKePostDownSample& getDownSample() { return m_downSample; }
    CKePostCompose& getCompose() { return m_compose; }
    CKePostEffect& getGamma() { return m_gamma; }
    CKePostGlow& getGlow() { return m_glow; }
    CKePostSMAA& getSMAA() { return m_smaa; }

private:
    irr::video::IVideoDriver* m_driver = nullptr;
    irr::video::ITexture* m_half2 = nullptr;
    irr::video::ITexture* m_depth = nullptr;
    irr::video::ITexture* m_coc = nullptr;
    CKePostGaussian m_gaussian;
    CKePostDownSample m_downSample;
    CKePostCompose m_compose;
    CKePostLightStreak m_streak;
    CKePostGlow m_glow;
    CKePostDof m_dof;
    CKePostEffect m_gamma;
    CKePostSMAA m_smaa;
};

}  // namespace kolm
