// The light pre-pass renderer: a frame as a fixed sequence of stages over named off-screen
// targets (normals and depth, the light buffer with shadow maps, the solid pass reading it,
// transparent passes, volumetric lights, camera effects), copied to the frame's target at the
// end. It also names the effect file and macros of every surface material, so that surface
// shaders write colour and depth in the layout the stages read.
//
// The post objects (glow and light streaks, depth of field, gamma, SMAA) work on the same
// targets (render/CKePostChain.h).
#pragma once

#include "render/CKeRenderLights.h"
#include "render/CKePostChain.h"
#include "render/CKeRenderStages.h"
#include "render/IKeRendererLpp.h"
#include "render/KeFrameCollector.h"
#include "render/KeLppTargets.h"

namespace irr {
class IrrlichtDevice;
}

namespace kolm {

class IKeManager;
class IKeEffectBindSemanticMap;
class CKeRenderLightVolumetric;

class CKeRendererLpp : public IKeRendererLpp, public IKeLppChainRunner {
public:
    CKeRendererLpp(irr::IrrlichtDevice* device, IKeManager* manager);
    // Releases the stages, the semantic map, the camera effects and the render targets.
    ~CKeRendererLpp() override;

    // IKeRenderer
    void setClearColor(irr::video::SColor color) override { m_clearColor = color; }
    void setDebug(irr::s32 debug) override { m_debug = debug; }
    // One frame; false (nothing drawn) before a successful init.
    bool render(const KeFrameContext& frame) override;
    // The final pass (opaque materials) or the uber shader (material types 12 to 15) with the
    // macro "USE_OUTDEPTH". Fails, writing nothing, with less than 2 records of room.
    bool getMaterialEffect(irr::core::stringc& effectFile, CKeMacro* macros, irr::u32& macroCount,
                           irr::video::E_MATERIAL_TYPE baseMaterial, irr::scene::ISceneNode* node,
                           IKeSurface* surface) override;

    // IKeRendererLpp
    LppPostSettings* getPostSettings() override { return &m_post; }
    LightStreakSettings* getLightStreakSettings() override { return &m_streaks; }
    void setCameraEffects(const irr::core::array<IKeEffect*>& effects) override;

    // Creates the targets, the pool, the semantics and the stages; false (logged) at the first
    // failure, and when called a second time.
    bool init(const RendererLppParams& params);
    // Runs one camera effect from `src`; true when its result is in `dest` (see keLppRunChain).
    bool applyCameraEffect(irr::video::ITexture* dest, irr::video::ITexture* src, IKeEffect* effect, const char* tag,
                           bool glowOn);
    // The chain of the camera effects tagged `tag` (null: untagged) on `target`: the frame's
    // effects during a frame, the list of setCameraEffects otherwise.
    irr::video::ITexture* applyCameraEffects(irr::video::ITexture* target, const char* tag, bool copyBack, bool glowOn);
    void drawDebugView();
    void drawThumbnail(irr::video::ITexture* texture, irr::s32 x, irr::s32 y, irr::s32 w, irr::s32 h);

    // For tests and tools.
    const KeLppTargets& getTargets() const { return m_targets; }
    const KeLppShadowPool& getShadowPool() const { return m_pool; }
    CKeRenderLightBuffer* getLightBuffer() const { return m_lightBuffer; }
    CKeRenderLightVolumetric* getVolumetric() const { return m_volumetric; }
    irr::u32 getDepthDrawnCount() const { return m_depthDrawn; }
    bool isInitialised() const { return m_initialised; }
    CKePostChain& getPostChain() { return m_postChain; }

    // IKeLppChainRunner
    bool applyEffect(irr::u32 index, irr::video::ITexture* dest, irr::video::ITexture* src) override;
    void copy(irr::video::ITexture* dest, irr::video::ITexture* src) override;
    void makeCurrent(irr::video::ITexture* texture) override;

private:
    void publishSemantics();
    void collectLists();

    irr::IrrlichtDevice* m_device;
    IKeManager* m_manager;
    KeLppStageEnv m_env;
    irr::video::SColor m_clearColor{0};
    irr::s32 m_debug = 0;
    bool m_initialised = false;
    bool m_smaa = false;
    irr::core::stringc m_finalPass, m_uberShader;

    KeLppTargets m_targets;
    KeLppShadowPool m_pool;
    IKeEffectBindSemanticMap* m_semantics = nullptr;
    irr::f32 m_published[7];  // last values handed to the map; NaN before the first
    CKeRenderDepth* m_depth = nullptr;
    CKeRenderLightBuffer* m_lightBuffer = nullptr;
    CKeRenderLightShadowMap* m_shadowMap = nullptr;
    CKeRenderLightPass* m_lightPass = nullptr;
    CKeRenderLightVolumetric* m_volumetric = nullptr;
    CKeRenderSolid* m_solid = nullptr;
    CKeRenderTransparent* m_transparent = nullptr;
    CKePostChain m_postChain;

    LppPostSettings m_post;
    LightStreakSettings m_streaks;
    irr::core::array<IKeEffect*> m_cameraEffects;  // one reference each

    // The frame: its node lists (reused) and the camera effects it draws (borrowed).
    KeFrameCollector m_collector;
    irr::core::array<irr::scene::ILightSceneNode*> m_lights;
    irr::core::array<irr::scene::ISceneNode*> m_solidNodes, m_transparentNodes, m_transparentEffectNodes, m_casters;
    IKeEffect* const* m_frameEffects = nullptr;
    irr::u32 m_frameEffectCount = 0;
    const char* m_chainTag = nullptr;
    bool m_chainGlow = false;
    bool m_inFrame = false;  // outside a frame the chains run the renderer's own list
    irr::u32 m_depthDrawn = 0;
};

// The light pre-pass renderer, initialised with `params`, or null (its failure logged). One
// reference for the caller.
IKeRenderer* keCreateLppRenderer(irr::IrrlichtDevice* device, IKeManager* manager, const RendererLppParams& params);

}  // namespace kolm
