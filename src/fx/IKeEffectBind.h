// A source of shader constant values: recognises semantic names ("WorldViewProjection", "Time",
// "LW_Roughness", ...) and sets the matching uniforms from the engine's state when a material of
// an effect is used. The effect manager keeps its binds in a list searched front to back; the
// generic bind, which serves every parameter from its own value, stays last.
#pragma once

#include <irrlicht/IReferenceCounted.h>

namespace kolm {

class IKeEffectBind : public virtual irr::IReferenceCounted {
public:
    virtual ~IKeEffectBind() {}
};

}  // namespace kolm
