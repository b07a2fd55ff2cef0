#include "render/CKeRenderLightVolumetric.h"

#include "core/KeError.h"
#include "fx/CKeLightSceneNodeExt.h"
#include "fx/IKeEffect.h"
#include "gl/KeGlTarget.h"

#include <irrlicht/ICameraSceneNode.h>
#include <irrlicht/ILightSceneNode.h>
#include <irrlicht/IMesh.h>
#include <irrlicht/IMeshBuffer.h>
#include <irrlicht/ISceneManager.h>
#include <irrlicht/IVideoDriver.h>

#include <algorithm>
#include <cmath>

namespace kolm {

using namespace irr;

CKeRenderLightVolumetric::~CKeRenderLightVolumetric() {
    for (IKeEffect*& e : m_variants)
        if (e) e->drop();
    if (m_spot) m_spot->drop();
    if (m_point) m_point->drop();
    if (m_sphere) m_sphere->drop();
    if (m_cone) m_cone->drop();
}

bool CKeRenderLightVolumetric::init(IKeEffectManager* effects, const char* spotFile, const char* pointFile,
                                    video::ITexture* depthTarget) {
    m_sphere = keLppCreateLightSphere(m_env.smgr);
    if (!m_sphere) {
        printMessage(KE_ERROR, "CKeRenderLightVolumetric: failed to create LightSphereMesh");
        return false;
    }
    m_cone = keLppCreateLightCone(m_env.smgr);
    if (!m_cone) {
        printMessage(KE_ERROR, "CKeRenderLightVolumetric: failed to create LightConeMesh");
        return false;
    }
    m_point = keLppLoadEffect(effects, pointFile, nullptr);
    if (!m_point) {
        printMessage(KE_ERROR, "CKeRenderLightVolumetric failed to load %s", pointFile ? pointFile : "");
        return false;
    }
    m_spot = keLppLoadEffect(effects, spotFile, nullptr);
    if (!m_spot) {
        printMessage(KE_ERROR, "CKeRenderLightVolumetric failed to load %s (standard)", spotFile ? spotFile : "");
        m_point->drop();
        m_point = nullptr;
        return false;
    }
    for (u32 v = 0; v < KE_LPP_VOLUMETRIC_VARIANTS; ++v) {
        CKeMacro macros[4];
        keLppVolumetricMacros(v, macros);
        m_variants[v] = keLppLoadEffect(effects, spotFile, macros);
        if (!m_variants[v]) {
            printMessage(KE_ERROR, "CKeRenderLightVolumetric failed to load %s (shadow and proj img)",
                         spotFile ? spotFile : "");
            for (IKeEffect*& e : m_variants)
                if (e) e->drop(), e = nullptr;
            m_spot->drop();
            m_spot = nullptr;
            m_point->drop();
            m_point = nullptr;
            return false;
        }
    }
    m_point->setTexture("Tex__0", depthTarget, false);
    m_spot->setTexture("Tex__0", depthTarget, false);
    for (IKeEffect* e : m_variants) e->setTexture("Tex__0", depthTarget, false);
    video::SMaterial& m = m_quad.getMaterial();
    m.ZWriteEnable = false;
    m.ZBuffer = video::ECFN_ALWAYS;
    return true;
}

void CKeRenderLightVolumetric::render(video::ITexture* target, const core::array<scene::ILightSceneNode*>& lights,
                                      const KeLppShadowPool& pool) {
    bool current = false;
    for (u32 i = 0; i < lights.size(); ++i) {
        IKeLightSceneNodeExt* ext = lights[i] ? keFindLightExt(lights[i]) : nullptr;
        if (!ext || !ext->getParams().volumetric) continue;
        if (!current) {
            m_env.driver->setRenderTarget(target, false, false);
            current = true;
        }
        drawLight(lights[i], pool);
    }
}

bool CKeRenderLightVolumetric::drawLight(scene::ILightSceneNode* light, const KeLppShadowPool& pool) {
    IKeLightSceneNodeExt* ext = light ? keFindLightExt(light) : nullptr;
    if (!ext) return false;
    const KeLightParams& params = ext->getParams();
    const video::E_LIGHT_TYPE type = light->getLightData().Type;
    if (type == video::ELT_POINT) {
        drawPoint(light, m_point);
        return true;
    }
    if (type != video::ELT_SPOT) return false;
    video::ITexture* map = nullptr;
    video::ITexture* image = nullptr;
    if (params.volumetricMode >= 1) {
        map = pool.mapOf(light);
        image = params.projectionImage;
    }
    const s32 variant = keLppVolumetricVariant(params.volumetricMode, map != nullptr, image != nullptr);
    drawSpot(light, variant < 0 ? m_spot : m_variants[variant], map, image);
    return true;
}

void CKeRenderLightVolumetric::setCommon(scene::ILightSceneNode* light, IKeEffect* effect) {
    const KeLightParams& params = keFindLightExt(light)->getParams();
    const video::SLight& data = light->getLightData();
    const core::vector3df p = light->getAbsolutePosition();
    const f32 position[4] = {p.X, p.Y, p.Z, 1.0f};
    effect->setFloatArray("LightPosition", position, 4);
    f32 colour[3] = {data.DiffuseColor.r, data.DiffuseColor.g, data.DiffuseColor.b};
    if (params.volumetricHasColour)
        for (int k = 0; k < 3; ++k) colour[k] *= params.volumetricColour[k];
    effect->setFloatArray("LightColor", colour, 3);
    effect->setFloat("LightRadius", data.Radius);
    effect->setFloat("LightPower", params.volumetricDensity);
    effect->setFloat("IntensityClamp", params.volumetricClamp ? params.volumetricClampMax : 1000000.0f);
    // The camera ray of each pixel: position, view-to-world rotation and the projection's scale.
    video::IVideoDriver* driver = m_env.driver;
    const core::matrix4& view = driver->getTransform(video::ETS_VIEW);
    const core::matrix4& projection = driver->getTransform(video::ETS_PROJECTION);
    core::matrix4 toWorld;
    if (!view.getInverse(toWorld)) toWorld = core::IdentityMatrix;
    effect->setMatrix("ViewToWorld", toWorld.pointer());
    const f32 scale[4] = {projection[0] != 0 ? 1.0f / projection[0] : 1.0f,
                          projection[5] != 0 ? 1.0f / projection[5] : 1.0f, 0.0f, 0.0f};
    effect->setFloatArray("ViewScale", scale, 4);
}

void CKeRenderLightVolumetric::draw(IKeEffect* effect, scene::IMesh* mesh, const core::matrix4* world) {
    video::IVideoDriver* driver = m_env.driver;
    video::SMaterial& material = m_quad.getMaterial();
    m_lastVolume = world != nullptr;
    if (world) {
        const core::matrix4 wvp =
            driver->getTransform(video::ETS_PROJECTION) * driver->getTransform(video::ETS_VIEW) * *world;
        effect->setMatrix("WorldViewProjection", wvp.pointer());
    } else {
        effect->setMatrix("WorldViewProjection", core::IdentityMatrix.pointer());
    }
    if (!keLppApplyEffect(effect, material, m_record)) return;
    // The volume's far side is drawn, so that a camera inside it still sees it.
    material.BackfaceCulling = world == nullptr;
    material.FrontfaceCulling = world != nullptr;
    KeGlTargetOrientation orientation(driver);
    if (world) {
        driver->setTransform(video::ETS_WORLD, *world);
        driver->setMaterial(material);
        driver->drawMeshBuffer(mesh->getMeshBuffer(0));
    } else {
        m_quad.render(driver);
    }
}

void CKeRenderLightVolumetric::drawPoint(scene::ILightSceneNode* light, IKeEffect* effect) {
    if (!effect) return;
    setCommon(light, effect);
    scene::ICameraSceneNode* camera = m_env.smgr->getActiveCamera();
    const f32 radius = light->getLightData().Radius;
    if (camera && camera->getFarValue() > 2.0f * radius) {
        core::matrix4 world;
        world.setTranslation(light->getAbsolutePosition());
        core::matrix4 scale;
        const f32 s = std::min(radius, 1000.0f) * 1.15f;
        scale.setScale(core::vector3df(s, s, s));
        const core::matrix4 w = world * scale;
        m_lastLength = s;
        draw(effect, m_sphere, &w);
    } else {
        draw(effect, nullptr, nullptr);
    }
}

void CKeRenderLightVolumetric::drawSpot(scene::ILightSceneNode* light, IKeEffect* effect, video::ITexture* shadowMap,
                                        video::ITexture* projectionImage) {
    if (!effect) return;
    setCommon(light, effect);
    const video::SLight& data = light->getLightData();
    const KeLightParams& params = keFindLightExt(light)->getParams();
    core::matrix4 cone;
    cone.setRotationDegrees(light->getAbsoluteTransformation().getRotationDegrees());
    cone.setTranslation(light->getAbsolutePosition());
    core::vector3df axis(0, 0, 1);
    cone.rotateVect(axis);
    axis.normalize();

    scene::ICameraSceneNode* camera = m_env.smgr->getActiveCamera();
    const f32 cameraNear = camera ? camera->getNearValue() : 1.0f;
    const core::vector3df d = (camera ? camera->getAbsolutePosition() : core::vector3df()) - light->getAbsolutePosition();
    const f32 g = d.dotProduct(axis);
    const f32 r = (d - axis * g).getLength();
    const KeLppSpotCone shape = keLppSpotCone(data.OuterCone, std::min(data.Radius, 1000.0f));
    // Without a finite cone (past 89 degrees) the camera counts as inside.
    const f32 tanWidened = shape.fits && shape.length > 0 ? shape.base / shape.length : 0.0f;
    const bool inside = !shape.fits || (cameraNear > r - tanWidened * g && g > -cameraNear);

    const f32 tanOuter = std::tan(data.OuterCone * core::DEGTORAD);
    effect->setFloat("LightTanThetaSqr", tanOuter * tanOuter);
    effect->setFloat("LightConeBase", params.volumetricBase);
    effect->setFloat("SoftEdgeRatio", data.OuterCone > 0 ? (data.OuterCone - data.InnerCone) / data.OuterCone : 0.0f);
    core::matrix4 inverse;
    if (!cone.getInverse(inverse)) inverse = core::IdentityMatrix;
    effect->setMatrix("invConeTransform", inverse.getTransposed().pointer());
    if (shadowMap || projectionImage) {
        const KeLppLightView lv = keLppLightView(data.Type, light->getAbsolutePosition(), axis, data.OuterCone, data.Radius);
        const core::matrix4 vp = lv.projection * lv.view;
        effect->setMatrix("LightWorldViewProj", vp.pointer());
        // Layer 1 the shadow map, the projection image in the next free layer.
        if (shadowMap) effect->setTexture("Tex__1", shadowMap, false);
        if (projectionImage) effect->setTexture(shadowMap ? "Tex__2" : "Tex__1", projectionImage, false);
    }
    if (camera && camera->getFarValue() > 2.0f * data.Radius && !inside) {
        core::matrix4 scale;
        scale.setScale(core::vector3df(shape.base * KE_LPP_CONE_ENCLOSE, shape.base * KE_LPP_CONE_ENCLOSE, shape.length));
        const core::matrix4 w = cone * scale;
        m_lastLength = shape.length;
        draw(effect, m_cone, &w);
    } else {
        draw(effect, nullptr, nullptr);
    }
}

}  // namespace kolm
