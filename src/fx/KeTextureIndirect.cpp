#include "fx/KeTextureIndirect.h"

namespace kolm {

using namespace irr;

namespace {
const core::dimension2du kNoSize(0, 0);
}

CKeTextureIndirect::CKeTextureIndirect(const io::path& name) : video::ITexture(name) {}

CKeTextureIndirect::~CKeTextureIndirect() {
    if (m_target) m_target->drop();
}

void CKeTextureIndirect::setTarget(video::ITexture* target) {
    // Never point at ourselves or at another indirect texture: resolving stays one step.
    if (target == this) target = nullptr;
    if (CKeTextureIndirect* other = keAsIndirectTexture(target)) target = other->getTarget();
    if (target) target->grab();
    if (m_target) m_target->drop();
    m_target = target;
}

void* CKeTextureIndirect::lock(video::E_TEXTURE_LOCK_MODE, u32) { return nullptr; }

const core::dimension2du& CKeTextureIndirect::getOriginalSize() const {
    return m_target ? m_target->getOriginalSize() : kNoSize;
}
const core::dimension2du& CKeTextureIndirect::getSize() const { return m_target ? m_target->getSize() : kNoSize; }
video::ECOLOR_FORMAT CKeTextureIndirect::getColorFormat() const {
    return m_target ? m_target->getColorFormat() : video::ECF_A8R8G8B8;
}
u32 CKeTextureIndirect::getPitch() const { return m_target ? m_target->getPitch() : 0; }
bool CKeTextureIndirect::hasMipMaps() const { return m_target && m_target->hasMipMaps(); }
bool CKeTextureIndirect::isRenderTarget() const { return m_target && m_target->isRenderTarget(); }

CKeTextureIndirect* keAsIndirectTexture(video::ITexture* texture) { return dynamic_cast<CKeTextureIndirect*>(texture); }

video::ITexture* keResolveTexture(video::ITexture* texture) {
    if (CKeTextureIndirect* indirect = keAsIndirectTexture(texture)) return indirect->getTarget();
    return texture;
}

}  // namespace kolm
