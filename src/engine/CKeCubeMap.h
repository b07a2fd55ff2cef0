// The cube map (see IKeCubeMap.h).
#pragma once

#include "engine/IKeCubeMap.h"

namespace irr {
namespace video {
class IVideoDriver;
}
}  // namespace irr

namespace kolm {

class CKeGlTexture;

class CKeCubeMap : public IKeCubeMap {
public:
    CKeCubeMap(irr::IrrlichtDevice* device, IKeTextureManager* textures, IKeCubeFaceRenderer* faces);
    ~CKeCubeMap() override;

    bool create(irr::u32 size, irr::s32 format) override;
    bool render(IKeRenderer* renderer, const irr::core::vector3df& position) override;
    bool clear() override;
    irr::video::ITexture* getTexture() const override;
    bool isRendered() const override { return m_rendered; }
    const irr::core::vector3df& getPosition() const override { return m_position; }

private:
    irr::video::IVideoDriver* m_driver;
    IKeTextureManager* m_textures;
    IKeCubeFaceRenderer* m_faces;
    CKeGlTexture* m_texture = nullptr;  // one reference
    irr::s32 m_format = 0;
    irr::core::vector3df m_position;
    bool m_rendered = false;
};

}  // namespace kolm
