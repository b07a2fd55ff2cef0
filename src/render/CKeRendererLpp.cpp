#include "render/CKeRendererLpp.h"

#include "core/KeError.h"
#include "engine/IKeManager.h"
#include "engine/IKeRenderServices.h"
#include "fx/IKeEffect.h"
#include "fx/IKeEffectBindSemanticMap.h"
#include "fx/IKeEffectManager.h"
#include "gl/KeGlTarget.h"
#include "render/CKeRenderLightVolumetric.h"

#include <irrlicht/ICameraSceneNode.h>
#include <irrlicht/ILightSceneNode.h>
#include <irrlicht/ISceneManager.h>
#include <irrlicht/ITimer.h>
#include <irrlicht/IVideoDriver.h>
#include <irrlicht/IrrlichtDevice.h>

#include <limits>

namespace kolm {

using namespace irr;

irr::core::stringc* RendererLppParams::file(u32 i) {
    irr::core::stringc* const files[kFileCount] = {
        &finalPass,      &uberShader,     &depthClear,   &lightPass,    &shadowDepth,     &gaussianBlur,
        &downSampleBlur, &composeUpSample, &lightStreakMaxInt, &lightStreakDraw, &glowAlphaMul, &dofCocArtist,
        &dofCocPhysical, &dof,            &gamma,        &volumetricSpot, &volumetricPoint, &smaaEdge,
        &smaaWeights,    &smaaBlend,      &areaTex,      &searchTex};
    return i < kFileCount ? files[i] : nullptr;
}

namespace {

template <class T> void dropInto(T*& p) {
    if (p) p->drop();
    p = nullptr;
}

const char* const kSemantics[7] = {"BloomSpecMin",     "BloomThreshold",      "FocalDistance",   "FStop",
                                   "DofFocalRangeMin", "DofFocalRangeFocused", "DofFocalRangeMax"};

}  // namespace

IKeRenderer* keCreateLppRenderer(IrrlichtDevice* device, IKeManager* manager, const RendererLppParams& params) {
    if (!device || !manager) return nullptr;
    CKeRendererLpp* renderer = new CKeRendererLpp(device, manager);
    if (!renderer->init(params)) {
        renderer->drop();
        return nullptr;
    }
    return renderer;
}

CKeRendererLpp::CKeRendererLpp(IrrlichtDevice* device, IKeManager* manager) : m_device(device), m_manager(manager) {
    m_env.device = device;
    m_env.driver = device->getVideoDriver();
    m_env.smgr = device->getSceneManager();
    m_env.services = manager ? manager->getRenderServices() : nullptr;
    m_env.effects = manager ? manager->getEffectManager() : nullptr;
    m_env.driverExt = manager ? manager->getVideoDriverExt() : nullptr;
    for (f32& v : m_published) v = std::numeric_limits<f32>::quiet_NaN();
}

CKeRendererLpp::~CKeRendererLpp() {
    dropInto(m_volumetric);
    dropInto(m_lightPass);
    dropInto(m_shadowMap);
    dropInto(m_lightBuffer);
    dropInto(m_depth);
    dropInto(m_solid);
    dropInto(m_transparent);
    dropInto(m_semantics);
    for (u32 i = 0; i < m_cameraEffects.size(); ++i) m_cameraEffects[i]->drop();
    m_cameraEffects.clear();
    m_targets.release();
}

bool CKeRendererLpp::init(const RendererLppParams& params) {
    if (m_initialised) return false;
    video::IVideoDriver* driver = m_env.driver;
    if (!driver || !m_env.services || !m_env.effects) return false;
    const core::dimension2du full = keLppFullSize(params.width, params.height, driver->getScreenSize());
    if (!m_targets.createTargets(driver, full, params.colorFormat)) {
        printMessage(KE_ERROR, "CKeRendererLpp failed to allocate render targets");
        return false;
    }
    if (!m_targets.createShadowMaps(driver)) {
        printMessage(KE_ERROR, "CKeRendererLpp failed to allocate shadow map render targets");
        return false;
    }
    m_pool.count = m_targets.shadowMapCount();
    for (u32 i = 0; i < m_pool.count; ++i) m_pool.maps[i] = m_targets.shadowMap(i);
    m_pool.freeAll();

    m_semantics = m_env.effects->createSemanticMap();
    if (!m_semantics) {
        printMessage(KE_ERROR, "CKeRendererLpp failed to create BindSemanticMap");
        return false;
    }
    for (const char* name : kSemantics) {
        if (!m_semantics->addSemantic(name, KE_FXP_FLOAT)) {
            printMessage(KE_ERROR, "CKeRendererLpp failed to create bind semantics");
            return false;
        }
    }

    m_depth = new CKeRenderDepth(m_env);
    if (!m_depth->init(m_env.effects, params.depthClear.c_str())) return false;
    m_lightBuffer = new CKeRenderLightBuffer(m_env);
    if (!m_lightBuffer->init(m_env.effects, params.lightPass.c_str(), m_targets.normal(), m_targets.depth()))
        return false;
    m_shadowMap = new CKeRenderLightShadowMap(m_env);
    if (!m_shadowMap->init(m_env.effects, params.shadowDepth.c_str())) return false;
    m_lightPass = new CKeRenderLightPass();
    if (!m_lightPass->init(m_lightBuffer, m_shadowMap)) return false;
    m_volumetric = new CKeRenderLightVolumetric(m_env);
    if (!m_volumetric->init(m_env.effects, params.volumetricSpot.c_str(), params.volumetricPoint.c_str(),
                            m_targets.depth()))
        return false;
    if (!m_postChain.init(driver, m_env.effects, m_manager ? m_manager->getTextureManager() : nullptr, params,
                          m_targets))
        return false;
    m_solid = new CKeRenderSolid(m_env);
    m_transparent = new CKeRenderTransparent(m_env);

    m_smaa = params.smaa;
    m_uberShader = params.uberShader;
    m_finalPass = params.finalPass;
    m_initialised = true;
    return true;
}

bool CKeRendererLpp::getMaterialEffect(core::stringc& effectFile, CKeMacro* macros, u32& macroCount,
                                       video::E_MATERIAL_TYPE baseMaterial, scene::ISceneNode* node,
                                       IKeSurface* surface) {
    (void)node;
    (void)surface;
    if (!macros || macroCount < 2) {
        printMessage(KE_ERROR, "CKeRendererLpp::getMaterialEffect not enough space for macros");
        return false;
    }
    const bool transparent =
        baseMaterial >= video::EMT_TRANSPARENT_ADD_COLOR && baseMaterial <= video::EMT_TRANSPARENT_VERTEX_ALPHA;
    effectFile = transparent ? m_uberShader : m_finalPass;
    macros[0] = CKeMacro{"USE_OUTDEPTH", nullptr};
    macros[1] = CKeMacro{nullptr, nullptr};
    macroCount = 1;
    return true;
}

void CKeRendererLpp::setCameraEffects(const core::array<IKeEffect*>& effects) {
    for (u32 i = 0; i < effects.size(); ++i)
        if (effects[i]) effects[i]->grab();
    for (u32 i = 0; i < m_cameraEffects.size(); ++i) m_cameraEffects[i]->drop();
    m_cameraEffects.set_used(0);
    for (u32 i = 0; i < effects.size(); ++i)
        if (effects[i]) m_cameraEffects.push_back(effects[i]);
}

void CKeRendererLpp::publishSemantics() {
    const LppPostSettings& p = m_post;
    const f32 values[7] = {p.bloomEnabled ? p.bloomSpecularMin : 2.0f,
                           p.bloomEnabled ? 1.0f - p.bloomCompose : 1.0f,
                           p.focalDistance,
                           p.fStop,
                           p.dofFocalRangeMin,
                           p.dofFocalRangeFocused,
                           p.dofFocalRangeMax};
    // The map looks names up by string: only values that changed are handed over.
    for (u32 i = 0; i < 7; ++i) {
        if (m_published[i] == values[i]) continue;
        if (m_semantics->setFloat(kSemantics[i], values[i])) m_published[i] = values[i];
    }
}

void CKeRendererLpp::collectLists() {
    m_lights.set_used(0);
    for (scene::ILightSceneNode* light : m_collector.getLights()) m_lights.push_back(light);
    m_solidNodes.set_used(0);
    for (const KeFrameCollector::Entry& e : m_collector.getSolid()) m_solidNodes.push_back(e.node);
    m_transparentNodes.set_used(0);
    for (const KeFrameCollector::Entry& e : m_collector.getTransparent()) m_transparentNodes.push_back(e.node);
    m_transparentEffectNodes.set_used(0);
    for (const KeFrameCollector::Entry& e : m_collector.getTransparentEffect())
        m_transparentEffectNodes.push_back(e.node);
    m_env.services->collectShadowCasters(m_casters);
}

bool CKeRendererLpp::render(const KeFrameContext& frame) {
    if (!m_initialised) return false;
    video::IVideoDriver* driver = m_env.driver;
    scene::ISceneManager* smgr = m_env.smgr;
    if (frame.post) m_post = *frame.post;
    if (frame.lightStreaks) m_streaks = *frame.lightStreaks;
    if (frame.cameraEffectCount) {
        m_frameEffects = frame.cameraEffects;
        m_frameEffectCount = frame.cameraEffectCount;
    } else {
        m_frameEffects = m_cameraEffects.const_pointer();
        m_frameEffectCount = m_cameraEffects.size();
    }

    m_inFrame = true;
    scene::ICameraSceneNode* shown = smgr->getActiveCamera();
    if (frame.camera && frame.camera != shown) smgr->setActiveCamera(frame.camera);
    m_device->getTimer()->setTime(frame.timeMs);

    // 1-2: semantics and light-buffer settings.
    publishSemantics();
    m_lightBuffer->setShadowEpsilonOverride(m_post.shadowEpsilonOverride, m_post.shadowEpsilon);
    m_lightBuffer->setDebug(m_debug ? 1 : 0);
    m_volumetric->setDebug(m_debug ? 1 : 0);

    // 3-4: animate, cull and sort; camera and the driver's lights (for materials drawn by the
    // library's own lighting) set; the frame's lists.
    m_collector.collect(smgr, frame.timeMs);
    m_collector.applyCamera();
    m_collector.applyLights(driver);
    collectLists();
    const bool glowOn = m_post.glowEnabled && m_post.glowIntensity != 0.0f;

    // 6-9: the scene colour cleared, normals and depth, the lights with their shadow maps.
    driver->setRenderTarget(m_targets.back(0), true, true, m_clearColor);
    m_depth->render(m_targets.normal(), m_targets.depth(), m_solidNodes, m_depthDrawn);
    m_pool.freeAll();
    m_lightPass->render(driver, m_targets.light(), m_lights, m_casters, m_pool, smgr->getActiveCamera());
    applyCameraEffects(m_targets.light(), "lightpost", true, false);

    // 11-14: solid and transparent geometry.
    m_solid->render(m_targets.back(0), m_targets.depth(), m_solidNodes);
    applyCameraEffects(m_targets.back(0), "solidpost", true, false);
    m_transparent->render(m_targets.back(0), m_targets.depth(), m_transparentNodes, scene::ESNRP_TRANSPARENT);
    video::ITexture* scene = applyCameraEffects(m_targets.back(0), "prepost", false, false);

    // 15-19: the glow's half-size copy of the scene before the transparent effects, which do
    // not glow; transparent effects and volumetric lights; glow; depth of field into the other
    // buffer of the pair.
    if (glowOn) m_postChain.copyForGlow(scene);
    m_transparent->render(scene, m_targets.depth(), m_transparentEffectNodes, scene::ESNRP_TRANSPARENT_EFFECT);
    m_volumetric->render(scene, m_lights, m_pool);
    if (glowOn) m_postChain.glow(scene, m_post.glowRadius, m_post.glowIntensity, m_post.streakEnabled, m_streaks);
    if (m_post.dofEnabled) {
        video::ITexture* out = keLppSpareTarget(scene, m_targets.back(0), m_targets.back(1));
        m_postChain.dof(out, scene, m_post.dofAdvanced != 0.0f, m_post.dofRadiusScale);
        scene = out;
    }

    // 20-23: the untagged camera effects, gamma, then SMAA or the copy onto the frame's target.
    // Into a target, SMAA's edges go into that target before the final picture overwrites it.
    // The copy fills the whole target, scaling when its size differs from the targets'.
    scene = applyCameraEffects(scene, nullptr, false, glowOn);
    if (m_post.gammaEnabled) {
        video::ITexture* out = keLppSpareTarget(scene, m_targets.back(0), m_targets.back(1));
        m_postChain.gamma(out, scene);
        scene = out;
    }
    if (m_smaa) {
        video::ITexture* weights = keLppSpareTarget(scene, m_targets.back(0), m_targets.back(1));
        video::ITexture* edges = frame.target ? frame.target : m_targets.back(2);
        m_postChain.getSMAA().render(scene, edges, weights, frame.target == nullptr);
    } else {
        driver->setRenderTarget(frame.target, false, false);
        m_env.services->copyTexture(scene);
    }

    if (m_debug && !frame.target) drawDebugView();
    if (frame.camera && frame.camera != shown) smgr->setActiveCamera(shown);
    m_frameEffects = nullptr;
    m_frameEffectCount = 0;
    m_inFrame = false;
    return true;
}

video::ITexture* CKeRendererLpp::applyCameraEffects(video::ITexture* target, const char* tag, bool copyBack,
                                                    bool glowOn) {
    if (!m_inFrame) {
        m_frameEffects = m_cameraEffects.const_pointer();
        m_frameEffectCount = m_cameraEffects.size();
    }
    if (m_frameEffectCount == 0) return target;
    m_chainTag = tag;
    m_chainGlow = glowOn;
    video::ITexture* spare = keLppSpareTarget(target, m_targets.back(0), m_targets.back(1));
    return keLppRunChain(*this, m_frameEffectCount, target, spare, copyBack);
}

bool CKeRendererLpp::applyEffect(u32 index, video::ITexture* dest, video::ITexture* src) {
    if (index >= m_frameEffectCount) return false;
    return applyCameraEffect(dest, src, m_frameEffects[index], m_chainTag, m_chainGlow);
}

void CKeRendererLpp::copy(video::ITexture* dest, video::ITexture* src) {
    m_env.driver->setRenderTarget(dest, false, false);
    m_env.services->copyTexture(src);
}

void CKeRendererLpp::makeCurrent(video::ITexture* texture) { m_env.driver->setRenderTarget(texture, false, false); }

bool CKeRendererLpp::applyCameraEffect(video::ITexture* dest, video::ITexture* src, IKeEffect* effect, const char* tag,
                                       bool glowOn) {
    if (!effect) return false;
    const STechnique* technique = effect->getTechnique(0);
    if (!technique) return false;
    const SParameter* render = effect->getAnnotationByName(technique, "render");
    if (!keLppEffectRunsAt(render ? render->text.c_str() : nullptr, tag)) return false;
    video::ITexture* drawTo = dest;
    bool result = true;
    if (const SParameter* named = effect->getAnnotationByName(technique, "rendertarget")) {
        // Only a render target can be drawn into; any other texture of that name counts as
        // unknown and the effect stays in the chain.
        video::ITexture* texture = m_env.driver->findTexture(named->text.c_str());
        if (texture && texture->isRenderTarget()) {
            drawTo = texture;
            result = false;
        }
    }
    s32 glow = effect->getTextureParameterBySemantic(nullptr, "GlowRTT");
    if (glow < 0) {
        const SParameter* byName = effect->getParameterByName(nullptr, "GlowRTT");
        glow = byName ? effect->getParameterIndex(byName) : -1;
    }
    if (glow >= 0) {
        if (!glowOn) return false;
        effect->setTextureByIndex(glow, m_targets.half(1), false);
    }
    m_env.driver->setRenderTarget(drawTo, false, false);
    KeGlTargetOrientation orientation(m_env.driver);
    m_env.services->drawScreenQuad(effect, 0, 0, src);
    return result;
}

void CKeRendererLpp::drawDebugView() {
    drawThumbnail(m_targets.normal(), 0, 0, 160, 120);
    drawThumbnail(m_targets.depth(), 180, 0, 160, 120);
    drawThumbnail(m_targets.light(), 360, 0, 160, 120);
    if (m_pool.count > 1) drawThumbnail(m_pool.maps[1], 540, 0, 160, 120);
    drawThumbnail(m_targets.half(1), 0, 140, 160, 120);
    drawThumbnail(m_targets.get(9), 0, 270, 160, 120);
    drawThumbnail(m_targets.get(10), 0, 400, 160, 120);
}

void CKeRendererLpp::drawThumbnail(video::ITexture* texture, s32 x, s32 y, s32 w, s32 h) {
    if (!texture) return;
    const core::dimension2du size = texture->getOriginalSize();
    keGlDraw2DImage(m_env.driver, texture, core::rect<s32>(x, y, x + w, y + h),
                    core::rect<s32>(0, 0, s32(size.Width), s32(size.Height)));
}

}  // namespace kolm
