#include "render/CKePostEffects.h"

#include "core/KeError.h"
#include "fx/IKeEffect.h"
#include "fx/IKeEffectManager.h"
#include "gl/KeGlTarget.h"
#include "render/CKeRenderStages.h"

#include <irrlicht/IVideoDriver.h>

namespace kolm {

using namespace irr;

namespace {

const c8* const kLayers[3] = {"Tex__0", "Tex__1", "Tex__2"};

}  // namespace

// --- CKePostEffect ------------------------------------------------------------------------------

CKePostEffect::~CKePostEffect() {
    if (m_effect) m_effect->drop();
}

bool CKePostEffect::load(IKeEffectManager* effects, const char* file) {
    IKeEffect* effect = keLppLoadEffect(effects, file, nullptr);
    if (!effect) return false;
    setEffect(effect);
    effect->drop();
    return true;
}

void CKePostEffect::setEffect(IKeEffect* effect) {
    if (effect) effect->grab();
    if (m_effect) m_effect->drop();
    m_effect = effect;
    if (m_effect) keLppApplyEffect(m_effect, m_quad.getMaterial(), m_record);
}

void CKePostEffect::draw(video::IVideoDriver* driver, video::ITexture* dest, video::ITexture* layer0,
                         video::ITexture* layer1, video::ITexture* layer2) {
    if (!m_effect || !driver) return;
    video::ITexture* const layers[3] = {layer0, layer1, layer2};
    for (u32 i = 0; i < 3; ++i)
        if (layers[i]) m_effect->setTexture(kLayers[i], layers[i], false);
    // The pass's material again: it carries the textures and sampler states just set.
    video::SMaterial& material = m_quad.getMaterial();
    keLppApplyEffect(m_effect, material, m_record);
    material.ZWriteEnable = false;
    material.ZBuffer = video::ECFN_ALWAYS;
    driver->setRenderTarget(dest, false, false);
    KeGlTargetOrientation orientation(driver);
    m_quad.render(driver);
}

void CKePostGaussian::blur(video::IVideoDriver* driver, video::ITexture* dest, video::ITexture* src, bool horizontal,
                           f32 radius, f32 intensity) {
    if (IKeEffect* e = getEffect()) {
        const f32 direction[2] = {horizontal ? 1.0f : 0.0f, horizontal ? 0.0f : 1.0f};
        e->setFloatArray("Direction", direction, 2);
        e->setFloat("Radius", radius);
        e->setFloat("Intensity", intensity);
    }
    draw(driver, dest, src);
}

void CKePostCompose::compose(video::IVideoDriver* driver, video::ITexture* dest, video::ITexture* src, f32 intensity) {
    if (IKeEffect* e = getEffect()) e->setFloat("Intensity", intensity);
    draw(driver, dest, src);
}

// --- light streaks ------------------------------------------------------------------------------

bool CKePostLightStreak::init(IKeEffectManager* effects, CKePostCompose* compose, const char* maxIntFile,
                              const char* drawFile) {
    m_compose = compose;
    return m_maxInt.load(effects, maxIntFile) && m_draw.load(effects, drawFile);
}

// --- glow ---------------------------------------------------------------------------------------

bool CKePostGlow::init(video::IVideoDriver* driver, IKeEffectManager* effects, const char* alphaMulFile,
                       CKePostDownSample* downSample, CKePostGaussian* gaussian, CKePostCompose* compose,
                       CKePostLightStreak* streak, video::ITexture* const (&targets)[KE_POST_TARGET_COUNT]) {
    m_driver = driver;
    m_downSample = downSample;
    m_gaussian = gaussian;
    m_compose = compose;
    m_streak = streak;
    for (u32 i = 0; i < KE_POST_TARGET_COUNT; ++i) m_targets[i] = targets[i];
    if (!m_alphaMul.load(effects, alphaMulFile)) {
        printMessage(KE_ERROR, "CKePostGlow failed to load %s", alphaMulFile ? alphaMulFile : "");
        return false;
    }
    return true;
}

void CKePostGlow::render(video::ITexture* scene, f32 radius, f32 intensity, bool streaks,
                         const LightStreakSettings& streakSettings) {
    m_targets[KE_POST_SCENE] = scene;
    keRunGlow(*this, radius, intensity, streaks && m_streak, streakSettings);
    m_targets[KE_POST_SCENE] = nullptr;
}

void CKePostGlow::alphaMul(KePostTarget dest, KePostTarget src) {
    m_alphaMul.draw(m_driver, m_targets[dest], m_targets[src]);
}

void CKePostGlow::downSample(KePostTarget dest, KePostTarget src) {
    m_downSample->downSample(m_driver, m_targets[dest], m_targets[src]);
}

void CKePostGlow::blur(KePostTarget dest, KePostTarget src, bool horizontal, f32 radius, f32 intensity) {
    m_gaussian->blur(m_driver, m_targets[dest], m_targets[src], horizontal, radius, intensity);
}

void CKePostGlow::compose(KePostTarget dest, KePostTarget src, f32 intensity) {
    m_compose->compose(m_driver, m_targets[dest], m_targets[src], intensity);
}

void CKePostGlow::streakSource(KePostTarget dest, KePostTarget src, const KeStreakSource& v) {
    CKePostEffect& pass = m_streak->getMaxInt();
    if (IKeEffect* e = pass.getEffect()) {
        e->setFloatArray("limitalpha", v.limitAlpha, 2);
        e->setFloatArray("limitcolor", v.limitColor, 2);
        e->setFloatArray("colorkey", v.colorKey, 3);
    }
    pass.draw(m_driver, m_targets[dest], m_targets[src]);
}

void CKePostGlow::streakPass(KePostTarget dest, KePostTarget src, const KeStreakPass& v) {
    CKePostEffect& pass = m_streak->getDraw();
    if (IKeEffect* e = pass.getEffect()) {
        e->setFloatArray("direction", v.direction, 2);
        e->setFloatArray("colorize", v.colorize, 3);
        e->setFloat("attenuation", v.attenuation);
        e->setFloat("passn", v.passn);
    }
    pass.draw(m_driver, m_targets[dest], m_targets[src]);
}

// --- depth of field -----------------------------------------------------------------------------

bool CKePostDof::init(IKeEffectManager* effects, const char* artistFile, const char* physicalFile,
                      const char* dofFile) {
    const struct {
        CKePostEffect* effect;
        const char* file;
    } order[3] = {{&m_artist, artistFile}, {&m_physical, physicalFile}, {&m_blur, dofFile}};
    for (const auto& o : order)
        if (!o.effect->load(effects, o.file)) {
            printMessage(KE_ERROR, "CKePostEffect failed to load %s", o.file ? o.file : "");
            return false;
        }
    return true;
}

void CKePostDof::render(video::IVideoDriver* driver, video::ITexture* out, video::ITexture* scene,
                        video::ITexture* depth, video::ITexture* coc, bool artist, f32 radiusScale) {
    (artist ? m_artist : m_physical).draw(driver, coc, scene, depth);
    IKeEffect* blur = m_blur.getEffect();
    if (!blur) return;
    const f32 scale = artist ? radiusScale : 1.0f;
    blur->setFloat("angle", 0.0f);
    blur->setFloat("radiusScale", scale);
    m_blur.draw(driver, scene, coc, depth);
    blur->setFloat("angle", 1.0471976f);
    blur->setFloat("radiusScale", scale);
    m_blur.draw(driver, out, scene, depth);
}

}  // namespace kolm
