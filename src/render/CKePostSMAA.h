// SMAA anti-aliasing (morphological: edges, blending weights of the reconstructed edge lines,
// blending with the neighbours) in three full-screen passes with the half-pixel aligned quad.
// The render targets have no stencil buffer, so the weights pass runs on every pixel: its
// effect gives 0 off the edges, which leaves the result as the stencil would.
#pragma once

#include "fx/KeMaterialBinding.h"
#include "render/CKeScreenQuadAligned.h"

namespace irr {
namespace video {
class ITexture;
class IVideoDriver;
}  // namespace video
}  // namespace irr

namespace kolm {

class IKeEffect;
class IKeEffectManager;
class IKeTextureManager;

class CKePostSMAA {
public:
    CKePostSMAA() = default;
    ~CKePostSMAA();
    CKePostSMAA(const CKePostSMAA&) = delete;
    CKePostSMAA& operator=(const CKePostSMAA&) = delete;

    // Loads the two lookup images (no mip-maps, 32-bit) and the three effects; each one missing
    // is logged "CKePostSMAA failed to load %s". False, with nothing kept, unless all five
    // loaded; false when already initialised.
    bool init(irr::video::IVideoDriver* driver, IKeEffectManager* effects, IKeTextureManager* textures,
              const char* edgeFile, const char* weightsFile, const char* blendFile, const char* areaImage,
              const char* searchImage);
    bool isInitialised() const { return m_initialised; }

    // Edges of `scene` into `edges` and weights into `weights` (both cleared first), then the
    // blended picture into the back buffer when `toScreen`, else into `edges`. Nothing before a
    // successful init.
    void render(irr::video::ITexture* scene, irr::video::ITexture* edges, irr::video::ITexture* weights, bool toScreen);

private:
    void release();
    void draw(CKeScreenQuadAligned& quad, KeMaterialBinding& record, IKeEffect* effect, irr::video::ITexture* layer0,
              irr::video::ITexture* layer1);

    bool m_initialised = false;
    irr::video::IVideoDriver* m_driver = nullptr;
    IKeEffect* m_edge = nullptr;
    IKeEffect* m_weights = nullptr;
    IKeEffect* m_blend = nullptr;
    irr::video::ITexture* m_area = nullptr;    // one reference
    irr::video::ITexture* m_search = nullptr;  // one reference
    CKeScreenQuadAligned m_edgeQuad, m_weightQuad, m_blendQuad;
    KeMaterialBinding m_edgeRecord, m_weightRecord, m_blendRecord;
};

}  // namespace kolm
