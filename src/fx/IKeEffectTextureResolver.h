// Turns the image of an effect's texture parameter into a texture when an effect is built. The
// effect manager keeps its resolvers in a list searched front to back.
#pragma once

#include <irrlicht/IReferenceCounted.h>
#include <irrlicht/ITexture.h>
#include <irrlicht/irrArray.h>
#include <irrlicht/irrString.h>

namespace kolm {

class IKeEffectTextureResolver : public virtual irr::IReferenceCounted {
public:
    virtual ~IKeEffectTextureResolver() {}

    // The texture for a parameter of `type` (8 to 13) with `semantic` and `imageUrl` (either
    // may be "" or null), or null. `failed` is cleared first and set when the image should
    // exist and cannot be found or loaded: the build then fails. The texture is borrowed (the
    // effect's cell takes its own reference).
    virtual irr::video::ITexture* resolve(irr::s32 type, const irr::c8* semantic, const irr::c8* imageUrl,
                                          const irr::c8* effectDirectory,
                                          const irr::core::array<irr::core::stringc>& textureDirectories,
                                          bool& failed) = 0;
};

}  // namespace kolm
