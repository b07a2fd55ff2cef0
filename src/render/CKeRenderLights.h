// The light pre-pass renderer's light stages: the light buffer (one light's contribution added
// to the light target), the shadow map stage (casters' depth seen from a light) and the light
// pass that drives both light by light with the shadow-map pool.
//
// Sections: shadow-map pool; CKeRenderLightBuffer; CKeRenderLightShadowMap; CKeRenderLightPass.
#pragma once

#include "render/CKeRenderStages.h"
#include "render/KeLppRules.h"
#include "fx/IKeSceneNodeExt.h"

#include <irrlicht/matrix4.h>
#include <irrlicht/vector3d.h>

namespace irr {
namespace scene {
class ICameraSceneNode;
class ILightSceneNode;
class IMesh;
}  // namespace scene
}  // namespace irr

namespace kolm {

// ---------------------------------------------------------------------------------------------
// Shadow-map pool

// The pool's maps and the light that used each in the current frame (none at frame start).
struct KeLppShadowPool {
    irr::video::ITexture* maps[KE_LPP_SHADOW_MAPS] = {};
    irr::scene::ILightSceneNode* users[KE_LPP_SHADOW_MAPS] = {};
    irr::u32 count = 0;

    void freeAll();
    // The choice rule of render/KeLppRules.h over the current users.
    irr::s32 choose(irr::s32 requestedSize) const;
    // The map recorded for `light` this frame, or null.
    irr::video::ITexture* mapOf(const irr::scene::ILightSceneNode* light) const;
};

// ---------------------------------------------------------------------------------------------
// CKeRenderLightBuffer

// Frame counters of the light buffer.
struct KeLppLightCounters {
    irr::u32 points = 0, spots = 0, directionals = 0, shadowed = 0, fullScreen = 0;
};

class CKeRenderLightBuffer : public virtual irr::IReferenceCounted {
public:
    explicit CKeRenderLightBuffer(const KeLppStageEnv& env) : m_env(env) {}
    ~CKeRenderLightBuffer() override;
    // Builds the sphere and cone and loads the effect table from the light-pass file; reads the
    // normal and depth targets on layers 0 and 1. Logs its messages and returns false on the
    // first failure.
    bool init(IKeEffectManager* effects, const char* file, irr::video::ITexture* normalTarget,
              irr::video::ITexture* depthTarget);
    // Takes the camera data of the frame (the driver's view transform must be the camera's)
    // and resets the counters.
    void beginFrame(irr::scene::ICameraSceneNode* camera);
    // Adds one light into `target`. False when the light is skipped (no extension, black
    // diffuse colour, no effect for its kind). `map` (may be null) is the light's shadow map,
    // drawn with `shadowViewProj`; `shadowFar` is the light view's far value.
    bool drawLight(irr::video::ITexture* target, irr::scene::ILightSceneNode* light, irr::video::ITexture* map,
                   const irr::core::matrix4& shadowViewProj, irr::f32 nearValue, irr::f32 shadowFar);
    void setDebug(irr::s32 debug) { m_debug = debug; }
    void setShadowEpsilonOverride(bool on, irr::f32 value) {
        m_epsilonOverride = on;
        m_epsilonValue = value;
    }
    const KeLppLightCounters& counters() const { return m_counters; }
    IKeEffect* effectAt(irr::u32 slot) const { return slot < KE_LPP_LIGHT_EFFECTS ? m_effects[slot] : nullptr; }

private:
    void drawFullScreen(IKeEffect* effect);
    void drawPointVolume(irr::scene::ILightSceneNode* light, IKeEffect* effect);
    void drawSpotVolume(irr::scene::ILightSceneNode* light, IKeEffect* effect, const KeLppSpotCone& cone);
    void drawVolume(irr::scene::IMesh* mesh, const irr::core::matrix4& world, IKeEffect* effect);

    KeLppStageEnv m_env;
    irr::s32 m_debug = 0;
    irr::scene::IMesh* m_sphere = nullptr;
    irr::scene::IMesh* m_cone = nullptr;
    CKeScreenQuad m_quad;
    KeMaterialBinding m_record;
    IKeEffect* m_effects[KE_LPP_LIGHT_EFFECTS] = {};
    irr::core::matrix4 m_view, m_inverseView, m_normalMatrix, m_projection;
    irr::core::vector3df m_cameraPosition;
    irr::f32 m_cameraNear = 1.0f;
    bool m_epsilonOverride = false;
    irr::f32 m_epsilonValue = 0;
    KeLppLightCounters m_counters;
};

// The mesh of a light volume, built once from the scene manager's geometry creator: a sphere
// of radius 1, or a cone with its apex at the origin and its base circle (radius 1) at z = 1.
irr::scene::IMesh* keLppCreateLightSphere(irr::scene::ISceneManager* smgr);
irr::scene::IMesh* keLppCreateLightCone(irr::scene::ISceneManager* smgr);
// The cone's four sides stand inside its base circle: its base is scaled by this so that the
// four-sided cone encloses the round one.
constexpr irr::f32 KE_LPP_CONE_ENCLOSE = 1.41421356f;

// ---------------------------------------------------------------------------------------------
// CKeRenderLightShadowMap

class CKeRenderLightShadowMap : public virtual irr::IReferenceCounted {
public:
    explicit CKeRenderLightShadowMap(const KeLppStageEnv& env) : m_env(env) {}
    ~CKeRenderLightShadowMap() override;
    // Logs "CKeRenderLightShadowMap failed to load %s" on failure.
    bool init(IKeEffectManager* effects, const char* file);
    void setEffect(IKeEffect* effect);
    // Draws the casters' depth into `map` as `light` sees them, each solid buffer with its
    // row's "shadow" technique or the stage's own effect. False, drawing nothing, when no
    // caster's box meets the light's frustum. The back buffer is current afterwards.
    bool render(irr::video::ITexture* map, irr::scene::ILightSceneNode* light,
                const irr::core::array<irr::scene::ISceneNode*>& casters, irr::core::matrix4& viewProj,
                irr::f32& nearValue, irr::f32& farValue);
    IKeEffect* getEffect() const { return m_effect; }

private:
    void drawCaster(irr::scene::ISceneNode* node, IKeSceneNodeExt* ext);

    KeLppStageEnv m_env;
    IKeEffect* m_effect = nullptr;
    irr::video::SMaterial m_material;  // the buffer being drawn, with its shadow pass
    KeMaterialBinding m_record;
};

// ---------------------------------------------------------------------------------------------
// CKeRenderLightPass

class CKeRenderLightPass : public virtual irr::IReferenceCounted {
public:
    CKeRenderLightPass() = default;
    ~CKeRenderLightPass() override;
    // Holds references on both stages.
    bool init(CKeRenderLightBuffer* buffer, CKeRenderLightShadowMap* shadowMap);
    // Clears the light target's colour to 0 (depth kept) and adds every light in list order.
    void render(irr::video::IVideoDriver* driver, irr::video::ITexture* target,
                const irr::core::array<irr::scene::ILightSceneNode*>& lights,
                const irr::core::array<irr::scene::ISceneNode*>& casters, KeLppShadowPool& pool,
                irr::scene::ICameraSceneNode* camera);
    // One light: its shadow map first when it casts shadows and is a spot or directional light.
    bool drawLight(irr::video::ITexture* target, irr::scene::ILightSceneNode* light,
                   const irr::core::array<irr::scene::ISceneNode*>& casters, KeLppShadowPool& pool);

private:
    CKeRenderLightBuffer* m_buffer = nullptr;
    CKeRenderLightShadowMap* m_shadowMap = nullptr;
};

}  // namespace kolm
