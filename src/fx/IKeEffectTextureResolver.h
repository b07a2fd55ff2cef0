// Turns the image of an effect's texture parameter into a texture when an effect is built. The
// effect manager keeps its resolvers in a list searched front to back.
#pragma once

#include <irrlicht/IReferenceCounted.h>

namespace kolm {

class IKeEffectTextureResolver : public virtual irr::IReferenceCounted {
public:
    virtual ~IKeEffectTextureResolver() {}
};

}  // namespace kolm
