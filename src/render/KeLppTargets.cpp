#include "render/KeLppTargets.h"

#include <irrlicht/IVideoDriver.h>

#include <cstring>

namespace kolm {

using irr::u32;

namespace {

// Switches mip-map creation off for its life and puts the previous flag back.
class NoMipMaps {
public:
    explicit NoMipMaps(irr::video::IVideoDriver* driver)
        : m_driver(driver), m_previous(driver->getTextureCreationFlag(irr::video::ETCF_CREATE_MIP_MAPS)) {
        driver->setTextureCreationFlag(irr::video::ETCF_CREATE_MIP_MAPS, false);
    }
    ~NoMipMaps() { m_driver->setTextureCreationFlag(irr::video::ETCF_CREATE_MIP_MAPS, m_previous); }

private:
    irr::video::IVideoDriver* m_driver;
    bool m_previous;
};

}  // namespace

KeLppTargets::~KeLppTargets() {
    // Without a current context nothing can be freed; release() is the renderer's to call.
}

bool KeLppTargets::createTargets(irr::video::IVideoDriver* driver, const irr::core::dimension2du& full,
                                 irr::video::ECOLOR_FORMAT colorFormat) {
    if (!driver || full.Width == 0 || full.Height == 0) return false;
    m_driver = driver;
    m_full = full;
    NoMipMaps scope(driver);
    bool ok = true;
    for (u32 i = 0; i < KE_LPP_TARGETS; ++i) {
        const KeLppTargetInfo& info = kKeLppTargets[i];
        irr::core::dimension2du size(full.Width >> info.shift, full.Height >> info.shift);
        // A reduction of a very small screen keeps one pixel.
        if (size.Width == 0) size.Width = 1;
        if (size.Height == 0) size.Height = 1;
        m_targets[i] = driver->addRenderTargetTexture(size, info.name, info.r32f ? irr::video::ECF_R32F : colorFormat);
        if (!m_targets[i]) ok = false;
    }
    return ok;
}

bool KeLppTargets::createShadowMaps(irr::video::IVideoDriver* driver) {
    if (!driver) return false;
    m_driver = driver;
    NoMipMaps scope(driver);
    bool ok = true;
    for (u32 i = 0; i < KE_LPP_SHADOW_MAPS; ++i) {
        const u32 edge = kKeLppShadowMapSizes[i];
        m_shadowMaps[i] =
            driver->addRenderTargetTexture(irr::core::dimension2du(edge, edge), kKeLppShadowMapNames[i], irr::video::ECF_R32F);
        // A map shares the library's depth buffer of its size with any other target of that
        // size (the screen-size targets at 512 x 512): clearing it would wipe their depth.
        if (!m_shadowMaps[i] || !m_shadowDepth[i].attach(driver, m_shadowMaps[i])) ok = false;
    }
    return ok;
}

void KeLppTargets::release() {
    for (u32 i = 0; i < KE_LPP_SHADOW_MAPS; ++i) {
        if (m_shadowMaps[i] && m_driver) m_driver->removeTexture(m_shadowMaps[i]);
        m_shadowMaps[i] = nullptr;
        m_shadowDepth[i].release();
    }
    for (u32 i = 0; i < KE_LPP_TARGETS; ++i) {
        if (m_targets[i] && m_driver) m_driver->removeTexture(m_targets[i]);
        m_targets[i] = nullptr;
    }
}

irr::video::ITexture* KeLppTargets::find(const char* name) const {
    if (!name) return nullptr;
    for (u32 i = 0; i < KE_LPP_TARGETS; ++i)
        if (std::strcmp(kKeLppTargets[i].name, name) == 0) return m_targets[i];
    for (u32 i = 0; i < KE_LPP_SHADOW_MAPS; ++i)
        if (std::strcmp(kKeLppShadowMapNames[i], name) == 0) return m_shadowMaps[i];
    return nullptr;
}

}  // namespace kolm
