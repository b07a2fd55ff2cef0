#include "render/CKePostChain.h"

#include "core/KeError.h"
#include "render/KeLppTargets.h"

namespace kolm {

using namespace irr;

namespace {

bool loadNamed(CKePostEffect& effect, IKeEffectManager* effects, const core::stringc& file) {
    if (effect.load(effects, file.c_str())) return true;
    printMessage(KE_ERROR, "CKePostEffect failed to load %s", file.c_str());
    return false;
}

}  // namespace

bool CKePostChain::init(video::IVideoDriver* driver, IKeEffectManager* effects, IKeTextureManager* textures,
                        const RendererLppParams& params, const KeLppTargets& targets) {
    m_driver = driver;
    m_half2 = targets.half(2);
    m_depth = targets.depth();
    m_coc = targets.back(2);
    if (params.smaa && !m_smaa.init(driver, effects, textures, params.smaaEdge.c_str(), params.smaaWeights.c_str(),
                                    params.smaaBlend.c_str(), params.areaTex.c_str(), params.searchTex.c_str()))
        return false;
    if (!loadNamed(m_gaussian, effects, params.gaussianBlur)) return false;
    if (!loadNamed(m_downSample, effects, params.downSampleBlur)) return false;
    if (!loadNamed(m_compose, effects, params.composeUpSample)) return false;
    if (!m_streak.init(effects, &m_compose, params.lightStreakMaxInt.c_str(), params.lightStreakDraw.c_str()))
        return false;
    video::ITexture* const glowTargets[KE_POST_TARGET_COUNT] = {
        nullptr,           targets.half(2),   targets.half(0),   targets.half(1),
        targets.find("QuarterScreen[0]"),     targets.find("QuarterScreen[1]"),
        targets.find("EighthScreen[0]"),      targets.find("EighthScreen[1]"),
        targets.find("SixTeenthScreen[0]"),   targets.find("SixTeenthScreen[1]"),
        targets.find("ThirtyTwothScreen[0]"), targets.find("ThirtyTwothScreen[1]")};
    if (!m_glow.init(driver, effects, params.glowAlphaMul.c_str(), &m_downSample, &m_gaussian, &m_compose, &m_streak,
                     glowTargets))
        return false;
    if (!m_dof.init(effects, params.dofCocArtist.c_str(), params.dofCocPhysical.c_str(), params.dof.c_str()))
        return false;
    return loadNamed(m_gamma, effects, params.gamma);
}

void CKePostChain::copyForGlow(video::ITexture* scene) { m_downSample.downSample(m_driver, m_half2, scene); }

void CKePostChain::glow(video::ITexture* scene, f32 radius, f32 intensity, bool streaks,
                        const LightStreakSettings& streakSettings) {
    m_glow.render(scene, radius, intensity, streaks, streakSettings);
}

void CKePostChain::dof(video::ITexture* out, video::ITexture* scene, bool artist, f32 radiusScale) {
    m_dof.render(m_driver, out, scene, m_depth, m_coc, artist, radiusScale);
}

void CKePostChain::gamma(video::ITexture* out, video::ITexture* scene) { m_gamma.draw(m_driver, out, scene); }

}  // namespace kolm
