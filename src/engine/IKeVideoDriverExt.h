// Render states the 3D library does not expose: separate alpha blending, a constant blend
// factor, depth bias and stencil. Arguments use the library's enumeration values as this
// engine numbers them: blend factors E_BLEND_FACTOR 0-10 plus 200 for the constant blend
// factor; blend operations E_BLEND_OPERATION 1-9; comparisons 0 (disabled) and 1 LESSEQUAL,
// 2 EQUAL, 3 LESS, 4 NOTEQUAL, 5 GREATEREQUAL, 6 GREATER, 7 ALWAYS, 8 NEVER; stencil
// operations 1-8 KEEP, ZERO, REPLACE, INCRSAT, DECRSAT, INVERT, INCR, DECR.
//
// The OpenGL implementation records the states and the engine's shader materials apply them
// right before each draw (the library's material code resets blending when it changes
// material). The null implementation does nothing.
#pragma once

#include <irrlicht/IReferenceCounted.h>
#include <irrlicht/SColor.h>
#include <irrlicht/irrTypes.h>

namespace irr {
class IrrlichtDevice;
}

namespace kolm {

constexpr irr::s32 KE_BLEND_FACTOR_CONSTANT = 200;

class IKeVideoDriverExt : public virtual irr::IReferenceCounted {
public:
    virtual ~IKeVideoDriverExt() {}
    virtual void setSeparateAlphaBlend(bool on) = 0;
    virtual void setAlphaSrcBlend(irr::s32 factor) = 0;
    virtual void setAlphaBlend(irr::s32 operation, irr::s32 srcFactor, irr::s32 dstFactor) = 0;
    virtual void setBlendFactor(irr::video::SColor colour) = 0;
    // Raw 32-bit values: the bits of two floats (bias in depth-range units, slope factor).
    virtual void setDepthBias(irr::u32 bias, irr::u32 slopeBias) = 0;
    virtual void setStencil(bool on) = 0;
    virtual void setStencilPass(irr::s32 operation) = 0;
    virtual void setStencilFunc(irr::s32 comparison) = 0;
};

// The OpenGL extension for an OpenGL device, the null one for any other driver.
IKeVideoDriverExt* keCreateVideoDriverExt(irr::IrrlichtDevice* device);

}  // namespace kolm
