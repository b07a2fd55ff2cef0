// The light pre-pass renderer's stages that draw scene geometry: the depth stage (normals and
// depth of the solid nodes), the solid stage (their colour with the light buffer) and the
// transparent stage, plus what every stage shares (the environment, target pairs, the override
// material, drawing nodes).
//
// Sections: environment and helpers; CKeRenderDepth; CKeRenderSolid; CKeRenderTransparent.
#pragma once

#include "engine/IKeRenderServices.h"
#include "fx/KeMaterialBinding.h"
#include "fx/SShaderMacro.h"
#include "gl/KeGlTargetPair.h"

#include <irrlicht/IVideoDriver.h>
#include <irrlicht/ISceneManager.h>
#include <irrlicht/IReferenceCounted.h>
#include <irrlicht/irrArray.h>

namespace irr {
class IrrlichtDevice;
namespace scene {
class ISceneNode;
}
namespace video {
class ITexture;
class IVideoDriver;
}  // namespace video
}  // namespace irr

namespace kolm {

class IKeEffect;
class IKeEffectManager;
class IKeVideoDriverExt;

// ---------------------------------------------------------------------------------------------
// Environment and helpers

// What the stages reach the engine through (borrowed; the renderer outlives its stages' use).
struct KeLppStageEnv {
    irr::IrrlichtDevice* device = nullptr;
    irr::video::IVideoDriver* driver = nullptr;
    irr::scene::ISceneManager* smgr = nullptr;
    IKeRenderServices* services = nullptr;
    IKeEffectManager* effects = nullptr;
    IKeVideoDriverExt* driverExt = nullptr;  // may be null: no separate alpha blending
};

// Two targets current at once (first: colour or normal; second: the depth target), without
// clearing, for the life of a scope: the second target is taken off again when the scope ends,
// so that later draws into the first leave it alone.
class KeLppTargetPair {
public:
    class Scope {
    public:
        Scope(KeLppTargetPair& pair, irr::video::IVideoDriver* driver, irr::video::ITexture* first,
              irr::video::ITexture* second)
            : m_pair(pair), m_ok(pair.m_gl.begin(driver, first, second)) {}
        ~Scope() { m_pair.m_gl.end(); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
        bool ok() const { return m_ok; }

    private:
        KeLppTargetPair& m_pair;
        bool m_ok;
    };

private:
    KeGlTargetPair m_gl;
};

// The video driver's override material for the life of the object: `flags` of `material`
// forced on every draw, switched off again (no flags, no passes, disabled) at the end.
class KeLppOverrideScope {
public:
    KeLppOverrideScope(irr::video::IVideoDriver* driver, const irr::video::SMaterial& material, irr::u32 flags,
                       irr::u16 passes);
    ~KeLppOverrideScope();
    KeLppOverrideScope(const KeLppOverrideScope&) = delete;
    KeLppOverrideScope& operator=(const KeLppOverrideScope&) = delete;

private:
    irr::video::IVideoDriver* m_driver;
};

// Loads an effect of `file` with `macros` (null: none); null with the manager's error logged.
IKeEffect* keLppLoadEffect(IKeEffectManager* effects, const char* file, const CKeMacro* macros);

// A screen quad or light volume's material drawn with an effect's technique 0, pass 0: the
// effect's pass goes into the material and the record is attached. False for a null effect.
bool keLppApplyEffect(IKeEffect* effect, irr::video::SMaterial& material, KeMaterialBinding& record);

// ---------------------------------------------------------------------------------------------
// CKeRenderDepth

class CKeRenderDepth : public virtual irr::IReferenceCounted {
public:
    explicit CKeRenderDepth(const KeLppStageEnv& env) : m_env(env) {}
    ~CKeRenderDepth() override;
    // Loads the depth-clear effect; logs "CKeRenderDepth failed to load %s" on failure.
    bool init(IKeEffectManager* effects, const char* file);
    // Keeps a reference and puts the effect on the quad.
    void setEffect(IKeEffect* effect);
    // Clears the pair with the depth-clear quad, then draws, for each solid node with a node
    // extension, the materials whose effect has a "depth" technique (with that technique);
    // other materials are left out. `drawn` counts the nodes drawn. The back buffer is current
    // afterwards.
    void render(irr::video::ITexture* normalTarget, irr::video::ITexture* depthTarget,
                const irr::core::array<irr::scene::ISceneNode*>& nodes, irr::u32& drawn);

private:
    // One node's materials with a "depth" technique; false when it has none.
    bool drawNode(irr::scene::ISceneNode* node);

    KeLppStageEnv m_env;
    IKeEffect* m_effect = nullptr;
    CKeScreenQuad m_quad;
    KeMaterialBinding m_record;
    KeLppTargetPair m_pair;
    // Per node, reused: the rows' techniques and the materials' types before the depth pass.
    irr::core::array<irr::s32> m_techniques;
    irr::core::array<irr::s32> m_types;
};

// ---------------------------------------------------------------------------------------------
// CKeRenderSolid

class CKeRenderSolid : public virtual irr::IReferenceCounted {
public:
    explicit CKeRenderSolid(const KeLppStageEnv& env) : m_env(env) {}
    // Draws the nodes' solid materials into the pair with lighting, depth test (less or equal)
    // and depth writing forced on. Nothing for an empty list. The back buffer is current
    // afterwards.
    void render(irr::video::ITexture* colourTarget, irr::video::ITexture* depthTarget,
                const irr::core::array<irr::scene::ISceneNode*>& nodes);

private:
    KeLppStageEnv m_env;
    KeLppTargetPair m_pair;
};

// ---------------------------------------------------------------------------------------------
// CKeRenderTransparent

class CKeRenderTransparent : public virtual irr::IReferenceCounted {
public:
    explicit CKeRenderTransparent(const KeLppStageEnv& env) : m_env(env) {}
    // Draws the nodes in render pass `pass` (ESNRP_TRANSPARENT or ESNRP_TRANSPARENT_EFFECT) into
    // the pair without depth writing; the colour target's alpha becomes dest alpha x (1 -
    // source alpha) while colour blends as each material says. Nothing for an empty list. The
    // back buffer is current afterwards.
    void render(irr::video::ITexture* colourTarget, irr::video::ITexture* depthTarget,
                const irr::core::array<irr::scene::ISceneNode*>& nodes, irr::scene::E_SCENE_NODE_RENDER_PASS pass);

private:
    KeLppStageEnv m_env;
    KeLppTargetPair m_pair;
};

}  // namespace kolm
