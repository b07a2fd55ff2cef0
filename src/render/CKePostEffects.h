// The light pre-pass renderer's post objects: full-screen passes with effects loaded from files
// (technique 0, pass 0, no macros), each drawn with a screen quad of its own.
//
//   CKePostEffect       one effect and its quad: textures into layers, parameters by name, draw
//   CKePostGaussian     one direction of a Gaussian blur ("Direction", "Radius", "Intensity")
//   CKePostDownSample   a halving with a 4 x 4 box
//   CKePostCompose      adds a picture times "Intensity" to the target
//   CKePostLightStreak  streak sources and six streak passes
//   CKePostGlow         the glow chain over the half- to thirty-second-size targets
//   CKePostDof          depth of field, physical or artist circle of confusion
#pragma once

#include "engine/IKeRenderServices.h"
#include "fx/KeMaterialBinding.h"
#include "render/KePostRules.h"

namespace irr {
namespace video {
class ITexture;
class IVideoDriver;
}  // namespace video
}  // namespace irr

namespace kolm {

class IKeEffect;
class IKeEffectManager;

class CKePostEffect {
public:
    CKePostEffect() = default;
    ~CKePostEffect();
    CKePostEffect(const CKePostEffect&) = delete;
    CKePostEffect& operator=(const CKePostEffect&) = delete;

    // Loads `file` (all techniques, no macros) and takes it as the effect; false when it cannot
    // be loaded (the effect manager has logged why; the caller logs its own message).
    bool load(IKeEffectManager* effects, const char* file);
    // Takes a reference on `effect`, releases the old one, and gives the quad's material the
    // effect's technique 0, pass 0 and the record.
    void setEffect(IKeEffect* effect);
    IKeEffect* getEffect() const { return m_effect; }
    CKeScreenQuad& getQuad() { return m_quad; }

    // Makes `dest` current without clearing, puts the textures into layers 0, 1 and 2 (null
    // leaves a layer empty) and draws the quad. Nothing without an effect.
    void draw(irr::video::IVideoDriver* driver, irr::video::ITexture* dest, irr::video::ITexture* layer0,
              irr::video::ITexture* layer1 = nullptr, irr::video::ITexture* layer2 = nullptr);

private:
    IKeEffect* m_effect = nullptr;
    CKeScreenQuad m_quad;
    KeMaterialBinding m_record;
};

class CKePostGaussian : public CKePostEffect {
public:
    void blur(irr::video::IVideoDriver* driver, irr::video::ITexture* dest, irr::video::ITexture* src, bool horizontal,
              irr::f32 radius, irr::f32 intensity);
};

class CKePostDownSample : public CKePostEffect {
public:
    void downSample(irr::video::IVideoDriver* driver, irr::video::ITexture* dest, irr::video::ITexture* src) {
        draw(driver, dest, src);
    }
};

class CKePostCompose : public CKePostEffect {
public:
    void compose(irr::video::IVideoDriver* driver, irr::video::ITexture* dest, irr::video::ITexture* src,
                 irr::f32 intensity);
};

class CKePostLightStreak {
public:
    // Loads the source (max-intensity) and draw effects; false when either fails (the effect
    // manager has logged why).
    bool init(IKeEffectManager* effects, CKePostCompose* compose, const char* maxIntFile, const char* drawFile);
    CKePostEffect& getMaxInt() { return m_maxInt; }
    CKePostEffect& getDraw() { return m_draw; }
    CKePostCompose* getCompose() const { return m_compose; }

private:
    CKePostEffect m_maxInt;
    CKePostEffect m_draw;
    CKePostCompose* m_compose = nullptr;
};

class CKePostGlow : public IKePostPasses {
public:
    // targets: the glow's targets by KePostTarget (the scene entry is ignored; it is given per
    // frame). Loads `alphaMulFile`; false, with "CKePostGlow failed to load %s" logged, when it
    // cannot. The other objects are borrowed.
    bool init(irr::video::IVideoDriver* driver, IKeEffectManager* effects, const char* alphaMulFile,
              CKePostDownSample* downSample, CKePostGaussian* gaussian, CKePostCompose* compose,
              CKePostLightStreak* streak, irr::video::ITexture* const (&targets)[KE_POST_TARGET_COUNT]);
    // The glow of the half-size scene copy "HalfScreen[2]" added to `scene` (keRunGlow), with
    // the light streaks of `streakSettings` when `streaks`.
    void render(irr::video::ITexture* scene, irr::f32 radius, irr::f32 intensity, bool streaks,
                const LightStreakSettings& streakSettings);

    // IKePostPasses, on the targets.
    void alphaMul(KePostTarget dest, KePostTarget src) override;
    void downSample(KePostTarget dest, KePostTarget src) override;
    void blur(KePostTarget dest, KePostTarget src, bool horizontal, irr::f32 radius, irr::f32 intensity) override;
    void compose(KePostTarget dest, KePostTarget src, irr::f32 intensity) override;
    void streakSource(KePostTarget dest, KePostTarget src, const KeStreakSource& values) override;
    void streakPass(KePostTarget dest, KePostTarget src, const KeStreakPass& values) override;

private:
    irr::video::IVideoDriver* m_driver = nullptr;
    CKePostDownSample* m_downSample = nullptr;
    CKePostGaussian* m_gaussian = nullptr;
    CKePostCompose* m_compose = nullptr;
    CKePostLightStreak* m_streak = nullptr;
    CKePostEffect m_alphaMul;
    irr::video::ITexture* m_targets[KE_POST_TARGET_COUNT] = {};
};

class CKePostDof {
public:
    // Loads the artist, physical and blur effects in this order; the first failure is logged as
    // "CKePostEffect failed to load %s" and returns false.
    bool init(IKeEffectManager* effects, const char* artistFile, const char* physicalFile, const char* dofFile);
    // From `scene` into `out`: the circle of confusion into `coc` (layer 0 scene, layer 1
    // depth), a blur at 0 degrees back into `scene`, one at 60 degrees into `out`. The artist
    // circle uses `radiusScale`; the physical one a scale of 1.
    void render(irr::video::IVideoDriver* driver, irr::video::ITexture* out, irr::video::ITexture* scene,
                irr::video::ITexture* depth, irr::video::ITexture* coc, bool artist, irr::f32 radiusScale);

private:
    CKePostEffect m_artist;
    CKePostEffect m_physical;
    CKePostEffect m_blur;
};

}  // namespace kolm
