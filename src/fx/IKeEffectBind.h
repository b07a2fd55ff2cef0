// A source of shader constant values: recognises semantic names ("WorldViewProjection", "Time",
// "LW_Roughness", ...) and sets the matching uniforms from the engine's state when a material of
// an effect is used. The effect manager keeps its binds in a list searched front to back; the
// generic bind, which serves every parameter from its own value, stays last.
#pragma once

#include "fx/KeEffectRuntime.h"

#include <irrlicht/IReferenceCounted.h>

namespace kolm {

class IKeEffectBind : public virtual irr::IReferenceCounted {
public:
    virtual ~IKeEffectBind() {}

    // Called once per use of a pass material, before any of its constants is set. False stops
    // the constant update of that draw.
    virtual bool onSetMaterial(const KeMaterialBinding* record, irr::s32 userData) {
        (void)record;
        (void)userData;
        return true;
    }

    // The function serving `constant` (its stage, type, symbol, semantic and registers are
    // filled), with the bind's private data written into `data`; null when this bind does not
    // serve it. Called when effects are built, never per draw.
    virtual KeBindFunction getBindFunction(const SKeFxConstBind& constant, irr::u8 (&data)[8]) = 0;

    // A short name for tools ("CKeEffectBindTransform", ...).
    virtual const irr::c8* getBindName() const = 0;
};

// Sends floats by name (registerIndex -1) or by register, for the constant's stage. By name
// the count is `count` floats; by register `registers` registers (0: the constant's count).
bool keSendFloats(irr::video::IMaterialRendererServices* services, const SKeFxConstBind& constant,
                  const irr::f32* values, irr::s32 count, irr::s32 registers = 0);
// Sends a 4x4 matrix following the bind convention: `transposeSemantic` false sends the
// matrix by name and its transpose by registers; true the reverse.
bool keSendMatrix(irr::video::IMaterialRendererServices* services, const SKeFxConstBind& constant,
                  const irr::f32* matrix16, bool transposeSemantic);

}  // namespace kolm
