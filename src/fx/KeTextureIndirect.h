// Indirect textures: a texture object that stands for whatever texture it is pointed at, so that
// materials and surfaces can hold it while the texture behind it changes (a node's cube map).
//
// It answers size, format and mip-maps of its target (zero and ECF_A8R8G8B8 without one) and
// holds one reference on the target. The library never binds it (its driver type is EDT_NULL);
// whoever puts textures into a material resolves it with keResolveTexture.
#pragma once

#include <irrlicht/ITexture.h>

namespace kolm {

class CKeTextureIndirect : public irr::video::ITexture {
public:
    explicit CKeTextureIndirect(const irr::io::path& name);
    ~CKeTextureIndirect() override;

    void setTarget(irr::video::ITexture* target);  // may be null
    irr::video::ITexture* getTarget() const { return m_target; }

    void* lock(irr::video::E_TEXTURE_LOCK_MODE mode = irr::video::ETLM_READ_WRITE, irr::u32 mipmapLevel = 0) override;
    void unlock() override {}
    const irr::core::dimension2du& getOriginalSize() const override;
    const irr::core::dimension2du& getSize() const override;
    irr::video::E_DRIVER_TYPE getDriverType() const override { return irr::video::EDT_NULL; }
    irr::video::ECOLOR_FORMAT getColorFormat() const override;
    irr::u32 getPitch() const override;
    bool hasMipMaps() const override;
    void regenerateMipMapLevels(void* = nullptr) override {}
    bool isRenderTarget() const override;

private:
    irr::video::ITexture* m_target = nullptr;  // one reference
};

// The indirect texture behind a pointer, or null for any other texture.
CKeTextureIndirect* keAsIndirectTexture(irr::video::ITexture* texture);
// The texture an indirect texture points at (null when it points at nothing); any other
// texture is its own answer.
irr::video::ITexture* keResolveTexture(irr::video::ITexture* texture);

}  // namespace kolm
