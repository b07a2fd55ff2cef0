// The effect manager's texture resolver: a texture parameter with a semantic is the texture
// manager's named texture of that name (or nothing, which is no failure); otherwise its image
// URL is looked for as given, beside the effect file, then in the texture directories, and
// loaded by the texture manager for the parameter's type.
#pragma once

#include "fx/IKeEffectTextureResolver.h"
#include "fx/KeEffectBindContext.h"

namespace kolm {

class CKeEffectTextureResolver : public IKeEffectTextureResolver {
public:
    explicit CKeEffectTextureResolver(KeEffectBindContextPtr context) : m_ctx(std::move(context)) {}
    irr::video::ITexture* resolve(irr::s32 type, const irr::c8* semantic, const irr::c8* imageUrl,
                                  const irr::c8* effectDirectory,
                                  const irr::core::array<irr::core::stringc>& textureDirectories,
                                  bool& failed) override;

private:
    KeEffectBindContextPtr m_ctx;
};

}  // namespace kolm
