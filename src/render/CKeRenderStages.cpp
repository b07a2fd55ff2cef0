#include "render/CKeRenderStages.h"

#include "core/KeError.h"
#include "engine/IKeVideoDriverExt.h"
#include "engine/KeRenderPass.h"
#include "fx/IKeEffect.h"
#include "fx/IKeEffectManager.h"
#include "fx/IKeSceneNodeExt.h"
#include "gl/KeGlTarget.h"
#include "render/KeFrameCollector.h"

#include <irrlicht/ISceneNode.h>
#include <irrlicht/IVideoDriver.h>

namespace kolm {

using namespace irr;

// ---------------------------------------------------------------------------------------------
// Environment and helpers

KeLppOverrideScope::KeLppOverrideScope(video::IVideoDriver* driver, const video::SMaterial& material, u32 flags,
                                       u16 passes)
    : m_driver(driver) {
    video::SOverrideMaterial& o = driver->getOverrideMaterial();
    o.Material = material;
    o.EnableFlags = flags;
    o.EnablePasses = passes;
    o.Enabled = true;
}

KeLppOverrideScope::~KeLppOverrideScope() {
    video::SOverrideMaterial& o = m_driver->getOverrideMaterial();
    o.EnableFlags = 0;
    o.EnablePasses = 0;
    o.Enabled = false;
}

IKeEffect* keLppLoadEffect(IKeEffectManager* effects, const char* file, const CKeMacro* macros) {
    if (!effects || !file) return nullptr;
    return effects->createEffect(file, -1, macros);
}

bool keLppApplyEffect(IKeEffect* effect, video::SMaterial& material, KeMaterialBinding& record) {
    if (!effect || !effect->getPassMaterial(0, 0, material, &record)) return false;
    record.effect = effect;
    record.technique = 0;
    record.pass = 0;
    record.node = nullptr;
    record.materialIndex = 0;
    record.attach(material);
    return true;
}

namespace {

// Draws the nodes' buffers of one pass, with the target's orientation and the engine's pass.
void drawNodes(video::IVideoDriver* driver, const core::array<scene::ISceneNode*>& nodes,
               scene::E_SCENE_NODE_RENDER_PASS pass) {
    KeGlTargetOrientation orientation(driver);
    KeRenderPassScope scope(pass);
    const KeFrameCollector::Pass ours = pass == scene::ESNRP_SOLID         ? KeFrameCollector::PASS_SOLID
                                        : pass == scene::ESNRP_TRANSPARENT ? KeFrameCollector::PASS_TRANSPARENT
                                                                           : KeFrameCollector::PASS_TRANSPARENT_EFFECT;
    for (u32 i = 0; i < nodes.size(); ++i)
        if (nodes[i]) KeFrameCollector::drawNode(driver, nodes[i], ours);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CKeRenderDepth

CKeRenderDepth::~CKeRenderDepth() {
    if (m_effect) m_effect->drop();
}

bool CKeRenderDepth::init(IKeEffectManager* effects, const char* file) {
    IKeEffect* effect = keLppLoadEffect(effects, file, nullptr);
    if (!effect) {
        printMessage(KE_ERROR, "CKeRenderDepth failed to load %s", file ? file : "");
        return false;
    }
    setEffect(effect);
    effect->drop();
    return true;
}

void CKeRenderDepth::setEffect(IKeEffect* effect) {
    if (effect) effect->grab();
    if (m_effect) m_effect->drop();
    m_effect = effect;
    keLppApplyEffect(m_effect, m_quad.getMaterial(), m_record);
}

void CKeRenderDepth::render(video::ITexture* normalTarget, video::ITexture* depthTarget,
                            const core::array<scene::ISceneNode*>& nodes, u32& drawn) {
    video::IVideoDriver* driver = m_env.driver;
    drawn = 0;
    {
        KeLppTargetPair::Scope pair(m_pair, driver, normalTarget, depthTarget);
        {
            KeGlTargetOrientation orientation(driver);
            if (keLppApplyEffect(m_effect, m_quad.getMaterial(), m_record)) m_quad.render(driver);
        }
        for (u32 n = 0; n < nodes.size(); ++n)
            if (nodes[n] && drawNode(nodes[n])) ++drawn;
    }
    driver->setRenderTarget(nullptr, false, false);
}

bool CKeRenderDepth::drawNode(scene::ISceneNode* node) {
    IKeSceneNodeExt* ext = keFindNodeExt(node);
    if (!ext) return false;
    video::IVideoDriver* driver = m_env.driver;
    const u32 materials = node->getMaterialCount();
    const u32 rows = ext->getRowCount();
    m_techniques.set_used(0);
    m_types.set_used(0);
    for (u32 i = 0; i < rows; ++i) m_techniques.push_back(ext->getTechnique(s32(i)));
    for (u32 i = 0; i < materials; ++i) m_types.push_back(s32(node->getMaterial(i).MaterialType));
    bool any = false;
    for (u32 i = 0; i < materials; ++i) {
        const s32 depth = i < rows && ext->getEffect(s32(i)) ? ext->getDepthTechnique(s32(i)) : -1;
        if (depth >= 0) {
            ext->setTechnique(s32(i), depth);
            any = true;
        } else {
            // Left out of the solid pass that draws the node.
            node->getMaterial(i).MaterialType = video::EMT_TRANSPARENT_ALPHA_CHANNEL;
        }
    }
    if (any) {
        KeGlTargetOrientation orientation(driver);
        KeRenderPassScope scope(scene::ESNRP_SOLID);
        KeFrameCollector::drawNode(driver, node, KeFrameCollector::PASS_SOLID);
    }
    for (u32 i = 0; i < rows && i < m_techniques.size(); ++i)
        if (ext->getEffect(s32(i)) && ext->getTechnique(s32(i)) != m_techniques[i])
            ext->setTechnique(s32(i), m_techniques[i]);
    for (u32 i = 0; i < materials && i < m_types.size(); ++i)
        node->getMaterial(i).MaterialType = video::E_MATERIAL_TYPE(m_types[i]);
    return any;
}

// ---------------------------------------------------------------------------------------------
// CKeRenderSolid

void CKeRenderSolid::render(video::ITexture* colourTarget, video::ITexture* depthTarget,
                            const core::array<scene::ISceneNode*>& nodes) {
    if (nodes.empty()) return;
    video::IVideoDriver* driver = m_env.driver;
    video::SMaterial forced;
    forced.Lighting = true;
    forced.ZBuffer = video::ECFN_LESSEQUAL;
    forced.ZWriteEnable = true;
    {
        KeLppTargetPair::Scope pair(m_pair, driver, colourTarget, depthTarget);
        KeLppOverrideScope override(driver, forced, video::EMF_LIGHTING | video::EMF_ZBUFFER | video::EMF_ZWRITE_ENABLE,
                                    scene::ESNRP_SOLID);
        drawNodes(driver, nodes, scene::ESNRP_SOLID);
    }
    driver->setRenderTarget(nullptr, false, false);
}

// ---------------------------------------------------------------------------------------------
// CKeRenderTransparent

void CKeRenderTransparent::render(video::ITexture* colourTarget, video::ITexture* depthTarget,
                                  const core::array<scene::ISceneNode*>& nodes, scene::E_SCENE_NODE_RENDER_PASS pass) {
    if (nodes.empty()) return;
    video::IVideoDriver* driver = m_env.driver;
    IKeVideoDriverExt* ext = m_env.driverExt;
    if (ext) {
        ext->setSeparateAlphaBlend(true);
        ext->setAlphaSrcBlend(video::EBF_ZERO);
        ext->setBlendFactor(video::SColor(0));
        // Alpha: source x 0 + dest x (1 - source alpha); 200 stands for the constant factor.
        ext->setAlphaBlend(video::EBO_ADD, 200, video::EBF_ONE_MINUS_SRC_ALPHA);
    }
    video::SMaterial forced;
    forced.ZWriteEnable = false;
    {
        KeLppTargetPair::Scope pair(m_pair, driver, colourTarget, depthTarget);
        KeLppOverrideScope override(driver, forced, video::EMF_ZWRITE_ENABLE, u16(pass));
        drawNodes(driver, nodes, pass);
    }
    if (ext) ext->setSeparateAlphaBlend(false);
    driver->setRenderTarget(nullptr, false, false);
}

}  // namespace kolm
