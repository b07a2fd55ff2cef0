#include "render/CKeRenderLights.h"

#include "core/KeError.h"
#include "engine/KeRenderPass.h"
#include "fx/CKeLightSceneNodeExt.h"
#include "fx/IKeEffect.h"
#include "fx/IKeSceneNodeExt.h"
#include "gl/KeGlTarget.h"
#include "render/KeFrameCollector.h"

#include <irrlicht/ICameraSceneNode.h>
#include <irrlicht/IGeometryCreator.h>
#include <irrlicht/ILightSceneNode.h>
#include <irrlicht/IMesh.h>
#include <irrlicht/IMeshBuffer.h>
#include <irrlicht/IMeshManipulator.h>
#include <irrlicht/IMeshSceneNode.h>
#include <irrlicht/IAnimatedMeshSceneNode.h>
#include <irrlicht/IAnimatedMesh.h>
#include <irrlicht/IMaterialRenderer.h>
#include <irrlicht/ISceneManager.h>
#include <irrlicht/IVideoDriver.h>
#include <irrlicht/SViewFrustum.h>

#include <cmath>

namespace kolm {

using namespace irr;

namespace {

core::vector3df lightDirection(scene::ILightSceneNode* light) {
    core::vector3df dir(0, 0, 1);
    light->getAbsoluteTransformation().rotateVect(dir);
    return dir.normalize();
}

bool isBlack(const video::SColorf& c) { return c.r == 0.0f && c.g == 0.0f && c.b == 0.0f; }

bool setVector(IKeEffect* effect, const char* name, const core::vector3df& v, f32 w) {
    const f32 values[4] = {v.X, v.Y, v.Z, w};
    return effect->setFloatArray(name, values, 4);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Shadow-map pool

void KeLppShadowPool::freeAll() {
    for (u32 i = 0; i < KE_LPP_SHADOW_MAPS; ++i) users[i] = nullptr;
}

s32 KeLppShadowPool::choose(s32 requestedSize) const {
    KeLppPoolSlot slots[KE_LPP_SHADOW_MAPS];
    for (u32 i = 0; i < count; ++i) {
        slots[i].width = maps[i] ? maps[i]->getSize().Width : 0;
        IKeLightSceneNodeExt* ext = users[i] ? keFindLightExt(users[i]) : nullptr;
        slots[i].heldByVolumetric = ext && ext->getParams().volumetric;
    }
    return keLppChooseShadowMap(slots, count, requestedSize);
}

video::ITexture* KeLppShadowPool::mapOf(const scene::ILightSceneNode* light) const {
    if (!light) return nullptr;
    for (u32 i = 0; i < count; ++i)
        if (users[i] == light) return maps[i];
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Light meshes

scene::IMesh* keLppCreateLightSphere(scene::ISceneManager* smgr) {
    if (!smgr || !smgr->getGeometryCreator()) return nullptr;
    return smgr->getGeometryCreator()->createSphereMesh(1.0f, 8, 8);
}

scene::IMesh* keLppCreateLightCone(scene::ISceneManager* smgr) {
    if (!smgr || !smgr->getGeometryCreator() || !smgr->getMeshManipulator()) return nullptr;
    scene::IMesh* cone = smgr->getGeometryCreator()->createConeMesh(1.0f, 1.0f, 4, video::SColor(0xFFFFFFFF),
                                                                     video::SColor(0xFFFFFFFF));
    if (!cone) return nullptr;
    // The library's cone stands on its base along +Y; turned so that the apex is at the origin
    // and the base at z = 1.
    core::matrix4 m;
    m.setRotationDegrees(core::vector3df(-90.0f, 0.0f, 0.0f));
    m.setTranslation(core::vector3df(0.0f, 0.0f, 1.0f));
    smgr->getMeshManipulator()->transform(cone, m);
    return cone;
}

// ---------------------------------------------------------------------------------------------
// CKeRenderLightBuffer

CKeRenderLightBuffer::~CKeRenderLightBuffer() {
    for (IKeEffect*& e : m_effects)
        if (e) e->drop();
    if (m_sphere) m_sphere->drop();
    if (m_cone) m_cone->drop();
}

bool CKeRenderLightBuffer::init(IKeEffectManager* effects, const char* file, video::ITexture* normalTarget,
                                video::ITexture* depthTarget) {
    m_sphere = keLppCreateLightSphere(m_env.smgr);
    if (!m_sphere) {
        printMessage(KE_ERROR, "CKeRenderLightBuffer: failed to create LightSphereMesh");
        return false;
    }
    m_cone = keLppCreateLightCone(m_env.smgr);
    if (!m_cone) {
        printMessage(KE_ERROR, "CKeRenderLightBuffer: failed to create LightConeMesh");
        return false;
    }
    for (u32 slot = 0; slot < KE_LPP_LIGHT_EFFECTS; ++slot) {
        CKeMacro macros[5];
        if (keLppLightEffectMacros(slot, macros) == 0) continue;
        m_effects[slot] = keLppLoadEffect(effects, file, macros);
        if (!m_effects[slot]) {
            printMessage(KE_ERROR, "CKeRenderLightBuffer: failed to load %s", file ? file : "");
            return false;
        }
        m_effects[slot]->setTexture("Tex__0", normalTarget, false);
        m_effects[slot]->setTexture("Tex__1", depthTarget, false);
    }
    return true;
}

void CKeRenderLightBuffer::beginFrame(scene::ICameraSceneNode* camera) {
    video::IVideoDriver* driver = m_env.driver;
    m_view = driver->getTransform(video::ETS_VIEW);
    m_projection = driver->getTransform(video::ETS_PROJECTION);
    if (!m_view.getInverse(m_inverseView)) m_inverseView = m_view;
    m_normalMatrix = m_inverseView.getTransposed();
    m_cameraPosition = camera ? camera->getAbsolutePosition() : core::vector3df();
    m_cameraNear = camera ? camera->getNearValue() : 1.0f;
    m_counters = KeLppLightCounters();
}

bool CKeRenderLightBuffer::drawLight(video::ITexture* target, scene::ILightSceneNode* light, video::ITexture* map,
                                     const core::matrix4& shadowViewProj, f32 nearValue, f32 shadowFar) {
    (void)nearValue;
    IKeLightSceneNodeExt* ext = light ? keFindLightExt(light) : nullptr;
    if (!ext) return false;
    const video::SLight& data = light->getLightData();
    if (isBlack(data.DiffuseColor)) return false;
    const KeLightParams& params = ext->getParams();
    const bool shadow = map && data.CastShadows && (data.Type == video::ELT_SPOT || data.Type == video::ELT_DIRECTIONAL);
    const s32 slot = keLppLightEffectSlot(data.Type, shadow, params.shadowMapFuzz);
    if (slot < 0) {
        printMessage(KE_ERROR, "CKeRenderLightBuffer: wrong light type");
        return false;
    }
    IKeEffect* effect = m_effects[slot];
    if (!effect) return false;

    const core::vector3df position = light->getAbsolutePosition();
    core::vector3df viewPosition = position;
    m_view.transformVect(viewPosition);
    core::vector3df viewDirection = lightDirection(light);
    m_view.rotateVect(viewDirection);
    viewDirection.normalize();
    const f32 distance = position.getDistanceFrom(m_cameraPosition) - m_cameraNear;

    bool volume = false;
    KeLppSpotCone cone;
    if (data.Type == video::ELT_SPOT) {
        setVector(effect, "LightDirection", viewDirection, 0.0f);
        setVector(effect, "LightPosition", viewPosition, 1.0f);
        effect->setFloat("InvLightRadiusSqr", data.Radius > 0 ? 1.0f / (data.Radius * data.Radius) : 0.0f);
        const f32 angles[2] = {std::cos(data.InnerCone * core::DEGTORAD), std::cos(data.OuterCone * core::DEGTORAD)};
        effect->setFloatArray("SpotlightAngles", angles, 2);
        cone = keLppSpotCone(data.OuterCone, data.Radius);
        volume = cone.fits && std::sqrt(cone.base * cone.base + cone.length * cone.length) < distance;
        ++m_counters.spots;
    } else if (data.Type == video::ELT_POINT) {
        setVector(effect, "LightPosition", viewPosition, 1.0f);
        effect->setFloat("InvLightRadiusSqr", data.Radius > 0 ? 1.0f / (data.Radius * data.Radius) : 0.0f);
        volume = keLppPointVolumeScale(data.Radius) < distance;
        ++m_counters.points;
    } else {
        setVector(effect, "LightDirection", viewDirection, 0.0f);
        ++m_counters.directionals;
    }
    const f32 colour[3] = {data.DiffuseColor.r, data.DiffuseColor.g, data.DiffuseColor.b};
    effect->setFloatArray("LightColor", colour, 3);
    const f32 viewScale[4] = {m_projection[0] != 0 ? 1.0f / m_projection[0] : 1.0f,
                              m_projection[5] != 0 ? 1.0f / m_projection[5] : 1.0f, 0.0f, 0.0f};
    effect->setFloatArray("ViewScale", viewScale, 4);

    if (shadow) {
        const core::matrix4 toShadow = shadowViewProj * m_inverseView;
        effect->setMatrix("ShadowWorldViewProj", toShadow.pointer());
        effect->setFloat("ShadowMaxD", shadowFar);
        const f32 shadowColour[3] = {params.shadowColour[0] * params.intensity, params.shadowColour[1] * params.intensity,
                                     params.shadowColour[2] * params.intensity};
        effect->setFloatArray("ShadowColor", shadowColour, 3);
        const f32 size[2] = {f32(map->getSize().Width), f32(map->getSize().Height)};
        effect->setFloatArray("ShadowMapSize", size, 2);
        // Our effect format names texture parameters by layer: the shadow map is layer 2.
        if (!effect->setTexture("Tex__2", map, false))
            printMessage(KE_ERROR, "CKeRenderLightBuffer: no shader texture parameter ShadowMap");
        const f32 epsilon = m_epsilonOverride ? m_epsilonValue : params.shadowEpsilon;
        effect->setFloat("ShadowEpsilon", epsilon * 0.00001f);
        ++m_counters.shadowed;
    }

    video::SMaterial& material = m_quad.getMaterial();
    if (!keLppApplyEffect(effect, material, m_record)) return false;
    m_env.driver->setRenderTarget(target, false, false);
    KeGlTargetOrientation orientation(m_env.driver);
    if (volume && data.Type == video::ELT_POINT) {
        drawPointVolume(light, effect);
    } else if (volume && data.Type == video::ELT_SPOT) {
        drawSpotVolume(light, effect, cone);
    } else {
        drawFullScreen(effect);
        ++m_counters.fullScreen;
    }
    return true;
}

void CKeRenderLightBuffer::drawFullScreen(IKeEffect* effect) {
    effect->setMatrix("WorldViewProjection", core::IdentityMatrix.pointer());
    m_quad.getMaterial().ZBuffer = video::ECFN_ALWAYS;
    m_quad.render(m_env.driver);
}

void CKeRenderLightBuffer::drawPointVolume(scene::ILightSceneNode* light, IKeEffect* effect) {
    core::matrix4 world;
    world.setTranslation(light->getAbsolutePosition());
    core::matrix4 scale;
    const f32 s = keLppPointVolumeScale(light->getLightData().Radius);
    scale.setScale(core::vector3df(s, s, s));
    drawVolume(m_sphere, world * scale, effect);
}

void CKeRenderLightBuffer::drawSpotVolume(scene::ILightSceneNode* light, IKeEffect* effect, const KeLppSpotCone& cone) {
    core::matrix4 world;
    world.setRotationDegrees(light->getAbsoluteTransformation().getRotationDegrees());
    world.setTranslation(light->getAbsolutePosition());
    core::matrix4 scale;
    scale.setScale(core::vector3df(cone.base * KE_LPP_CONE_ENCLOSE, cone.base * KE_LPP_CONE_ENCLOSE, cone.length));
    drawVolume(m_cone, world * scale, effect);
}

void CKeRenderLightBuffer::drawVolume(scene::IMesh* mesh, const core::matrix4& world, IKeEffect* effect) {
    video::IVideoDriver* driver = m_env.driver;
    const core::matrix4 wvp = m_projection * m_view * world;
    effect->setMatrix("WorldViewProjection", wvp.pointer());
    video::SMaterial& material = m_quad.getMaterial();
    material.ZBuffer = video::ECFN_LESSEQUAL;
    driver->setTransform(video::ETS_WORLD, world);
    driver->setMaterial(material);
    scene::IMeshBuffer* buffer = mesh->getMeshBuffer(0);
    driver->drawMeshBuffer(buffer);
    if (m_debug) {
        video::SMaterial wire;
        wire.Wireframe = true;
        wire.Lighting = false;
        wire.ZWriteEnable = false;
        driver->setMaterial(wire);
        driver->drawMeshBuffer(buffer);
    }
}

// ---------------------------------------------------------------------------------------------
// CKeRenderLightShadowMap

CKeRenderLightShadowMap::~CKeRenderLightShadowMap() {
    if (m_effect) m_effect->drop();
}

bool CKeRenderLightShadowMap::init(IKeEffectManager* effects, const char* file) {
    IKeEffect* effect = keLppLoadEffect(effects, file, nullptr);
    if (!effect) {
        printMessage(KE_ERROR, "CKeRenderLightShadowMap failed to load %s", file ? file : "");
        return false;
    }
    setEffect(effect);
    effect->drop();
    return true;
}

void CKeRenderLightShadowMap::setEffect(IKeEffect* effect) {
    if (effect) effect->grab();
    if (m_effect) m_effect->drop();
    m_effect = effect;
}

bool CKeRenderLightShadowMap::render(video::ITexture* map, scene::ILightSceneNode* light,
                                     const core::array<scene::ISceneNode*>& casters, core::matrix4& viewProj,
                                     f32& nearValue, f32& farValue) {
    if (!map || !light) return false;
    video::IVideoDriver* driver = m_env.driver;
    const video::SLight& data = light->getLightData();
    const KeLppLightView lv =
        keLppLightView(data.Type, light->getAbsolutePosition(), lightDirection(light), data.OuterCone, data.Radius);
    const core::matrix4 vp = lv.projection * lv.view;
    const scene::SViewFrustum frustum(vp);
    const core::aabbox3df box = frustum.getBoundingBox();
    bool any = false;
    for (u32 i = 0; i < casters.size() && !any; ++i) {
        IKeSceneNodeExt* ext = casters[i] ? keFindNodeExt(casters[i]) : nullptr;
        if (ext && ext->getCastShadows() && casters[i]->getTransformedBoundingBox().intersectsWithBox(box)) any = true;
    }
    if (!any) return false;

    const core::matrix4 savedView = driver->getTransform(video::ETS_VIEW);
    const core::matrix4 savedProjection = driver->getTransform(video::ETS_PROJECTION);
    driver->setTransform(video::ETS_VIEW, lv.view);
    driver->setTransform(video::ETS_PROJECTION, lv.projection);
    driver->setRenderTarget(map, true, true, video::SColor(0xFFFFFFFF));
    const video::SOverrideMaterial savedOverride = driver->getOverrideMaterial();
    {
        video::SMaterial forced;
        forced.Lighting = false;
        forced.ZBuffer = video::ECFN_LESSEQUAL;
        forced.ZWriteEnable = true;
        KeLppOverrideScope override(driver, forced, video::EMF_LIGHTING | video::EMF_ZBUFFER | video::EMF_ZWRITE_ENABLE,
                                    scene::ESNRP_SOLID);
        KeGlTargetOrientation orientation(driver);
        KeRenderPassScope pass(scene::ESNRP_SOLID);
        for (u32 i = 0; i < casters.size(); ++i) {
            scene::ISceneNode* node = casters[i];
            IKeSceneNodeExt* ext = node ? keFindNodeExt(node) : nullptr;
            if (ext && ext->getCastShadows()) drawCaster(node, ext);
        }
    }
    driver->getOverrideMaterial() = savedOverride;
    driver->setTransform(video::ETS_VIEW, savedView);
    driver->setTransform(video::ETS_PROJECTION, savedProjection);
    driver->setRenderTarget(nullptr, false, false);
    viewProj = vp;
    nearValue = lv.nearValue;
    farValue = lv.farValue;
    return true;
}

void CKeRenderLightShadowMap::drawCaster(scene::ISceneNode* node, IKeSceneNodeExt* ext) {
    video::IVideoDriver* driver = m_env.driver;
    scene::IMesh* mesh = nullptr;
    bool readOnly = false;
    if (node->getType() == scene::ESNT_MESH) {
        auto* meshNode = static_cast<scene::IMeshSceneNode*>(node);
        mesh = meshNode->getMesh();
        readOnly = meshNode->isReadOnlyMaterials();
    } else if (node->getType() == scene::ESNT_ANIMATED_MESH) {
        auto* animated = static_cast<scene::IAnimatedMeshSceneNode*>(node);
        readOnly = animated->isReadOnlyMaterials();
        if (scene::IAnimatedMesh* a = animated->getMesh()) mesh = a->getMesh(s32(animated->getFrameNr()));
    }
    if (!mesh) {
        node->render();
        return;
    }
    // The rows' own effects are left as they are: each solid buffer is drawn with its row's
    // "shadow" technique, or else with the stage's effect.
    driver->setTransform(video::ETS_WORLD, node->getAbsoluteTransformation());
    for (u32 i = 0; i < mesh->getMeshBufferCount(); ++i) {
        scene::IMeshBuffer* buffer = mesh->getMeshBuffer(i);
        const video::SMaterial& own =
            readOnly || i >= node->getMaterialCount() ? buffer->getMaterial() : node->getMaterial(i);
        video::IMaterialRenderer* renderer = driver->getMaterialRenderer(own.MaterialType);
        if (renderer && renderer->isTransparent()) continue;
        IKeEffect* effect = i < ext->getRowCount() ? ext->getEffect(s32(i)) : nullptr;
        s32 technique = effect ? ext->getShadowTechnique(s32(i)) : -1;
        if (technique < 0) {
            effect = m_effect;
            technique = 0;
        }
        m_material = own;
        if (!effect || !effect->getPassMaterial(technique, 0, m_material, &m_record)) continue;
        m_record.effect = effect;
        m_record.technique = technique;
        m_record.pass = 0;
        m_record.node = node;
        m_record.materialIndex = s32(i);
        m_record.attach(m_material);
        driver->setMaterial(m_material);
        driver->drawMeshBuffer(buffer);
    }
}

// ---------------------------------------------------------------------------------------------
// CKeRenderLightPass

CKeRenderLightPass::~CKeRenderLightPass() {
    if (m_buffer) m_buffer->drop();
    if (m_shadowMap) m_shadowMap->drop();
}

bool CKeRenderLightPass::init(CKeRenderLightBuffer* buffer, CKeRenderLightShadowMap* shadowMap) {
    if (!buffer || !shadowMap) return false;
    buffer->grab();
    shadowMap->grab();
    m_buffer = buffer;
    m_shadowMap = shadowMap;
    return true;
}

void CKeRenderLightPass::render(video::IVideoDriver* driver, video::ITexture* target,
                                const core::array<scene::ILightSceneNode*>& lights,
                                const core::array<scene::ISceneNode*>& casters, KeLppShadowPool& pool,
                                scene::ICameraSceneNode* camera) {
    driver->setRenderTarget(target, true, false, video::SColor(0));
    m_buffer->beginFrame(camera);
    for (u32 i = 0; i < lights.size(); ++i) drawLight(target, lights[i], casters, pool);
}

bool CKeRenderLightPass::drawLight(video::ITexture* target, scene::ILightSceneNode* light,
                                   const core::array<scene::ISceneNode*>& casters, KeLppShadowPool& pool) {
    if (!light) return false;
    const video::SLight& data = light->getLightData();
    if (isBlack(data.DiffuseColor)) return false;
    // Spot lights get their maps as described; directional lights get one over the light's
    // 30 x 30 box as well. Point lights are lit without shadow.
    const bool wantShadow = data.CastShadows && (data.Type == video::ELT_SPOT || data.Type == video::ELT_DIRECTIONAL);
    core::matrix4 shadowViewProj;
    video::ITexture* map = nullptr;
    f32 nearValue = 0.01f, farValue = 5000.0f;
    if (wantShadow) {
        IKeLightSceneNodeExt* ext = keFindLightExt(light);
        const s32 index = pool.choose(ext ? ext->getParams().shadowMapSize : 512);
        if (index >= 0) {
            map = pool.maps[index];
            if (m_shadowMap->render(map, light, casters, shadowViewProj, nearValue, farValue))
                pool.users[index] = light;
            else
                map = nullptr;
        }
    }
    return m_buffer->drawLight(target, light, map, shadowViewProj, nearValue, farValue);
}

}  // namespace kolm
