// The light pre-pass renderer's render targets: the full-size and reduced targets by name
// (render/KeLppRules.h lists them) and the shadow-map pool, whose maps have depth buffers of
// their own. The library's video driver owns the textures; this object removes them again.
#pragma once

#include "gl/KeGlOwnDepth.h"
#include "render/KeLppRules.h"

#include <irrlicht/ITexture.h>

namespace irr {
namespace video {
class IVideoDriver;
}
}  // namespace irr

namespace kolm {

class KeLppTargets {
public:
    KeLppTargets() = default;
    ~KeLppTargets();
    KeLppTargets(const KeLppTargets&) = delete;
    KeLppTargets& operator=(const KeLppTargets&) = delete;

    // The targets of the table at `full` (W x H) and its reductions, colour targets in
    // `colorFormat`, with mip-map creation off meanwhile. False when any is missing (those made
    // are kept until release).
    bool createTargets(irr::video::IVideoDriver* driver, const irr::core::dimension2du& full,
                       irr::video::ECOLOR_FORMAT colorFormat);
    // The four ECF_R32F shadow maps, each with a depth buffer of its own. False when any is
    // missing or cannot get its depth buffer.
    bool createShadowMaps(irr::video::IVideoDriver* driver);
    // Removes every texture made here from the driver and frees the depth buffers (the GL
    // context must be current).
    void release();

    irr::video::ITexture* get(irr::u32 index) const { return index < KE_LPP_TARGETS ? m_targets[index] : nullptr; }
    // By table name; null for names that are not in the table.
    irr::video::ITexture* find(const char* name) const;
    irr::video::ITexture* back(irr::u32 i) const { return m_targets[i]; }  // "BackRTT[i]", i < 3
    irr::video::ITexture* depth() const { return m_targets[3]; }
    irr::video::ITexture* normal() const { return m_targets[4]; }
    irr::video::ITexture* light() const { return m_targets[5]; }
    irr::video::ITexture* half(irr::u32 i) const { return m_targets[6 + i]; }  // i < 3

    irr::u32 shadowMapCount() const { return KE_LPP_SHADOW_MAPS; }
    irr::video::ITexture* shadowMap(irr::u32 i) const { return i < KE_LPP_SHADOW_MAPS ? m_shadowMaps[i] : nullptr; }
    const irr::core::dimension2du& fullSize() const { return m_full; }

private:
    irr::video::IVideoDriver* m_driver = nullptr;
    irr::core::dimension2du m_full;
    irr::video::ITexture* m_targets[KE_LPP_TARGETS] = {};
    irr::video::ITexture* m_shadowMaps[KE_LPP_SHADOW_MAPS] = {};
    KeGlOwnDepth m_shadowDepth[KE_LPP_SHADOW_MAPS];
};

}  // namespace kolm
