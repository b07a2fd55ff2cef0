// A renderer turns the current scene into one frame. The engine owns exactly one for the whole
// run: the simple renderer (the scene manager draws everything at once) or the light pre-pass
// renderer. Besides drawing, a renderer names the effect file and the preprocessor macros that
// surface materials must be compiled with to fit its passes.
#pragma once

#include <irrlicht/EMaterialTypes.h>
#include <irrlicht/IReferenceCounted.h>
#include <irrlicht/SColor.h>
#include <irrlicht/irrString.h>
#include <irrlicht/irrTypes.h>

#include "render/KeFrameContext.h"

namespace irr {
class IrrlichtDevice;
namespace scene {
class ISceneNode;
}
namespace video {
class ITexture;
class IVideoDriver;
}  // namespace video
}  // namespace irr

namespace kolm {

// One macro as handed to the effect compiler: (name, value) C strings. Lists end with a
// record whose name is null. Defined with the effect compiler.
struct CKeMacro;
class IKeSurface;

class IKeRenderer : public virtual irr::IReferenceCounted {
public:
    virtual ~IKeRenderer() {}

    // Colour with which the frame's main colour target is cleared (0xAARRGGBB).
    virtual void setClearColor(irr::video::SColor color) = 0;
    // Debug drawing on (non-zero) or off.
    virtual void setDebug(irr::s32 debug) = 0;
    // Draws one frame as `frame` describes it: at its time, with its camera, into its target
    // (null: the back buffer).
    virtual bool render(const KeFrameContext& frame) = 0;
    // Effect file and macros this renderer requires for a surface material. `macroCount` is
    // the free room of `macros` on entry and the number of macros appended on return. The
    // default names no effect and no macros.
    virtual bool getMaterialEffect(irr::core::stringc& effectFile, CKeMacro* macros, irr::u32& macroCount,
                                   irr::video::E_MATERIAL_TYPE baseMaterial, irr::scene::ISceneNode* node,
                                   IKeSurface* surface) {
        (void)macros;
        (void)baseMaterial;
        (void)node;
        (void)surface;
        effectFile = "";
        macroCount = 0;
        return true;
    }
};

// Whether the driver can run the light pre-pass renderer: an OpenGL driver with framebuffer
// objects, multiple render targets and GLSL. Other drivers (the null driver) get the simple
// renderer even when the light pre-pass renderer is asked for.
bool keSupportsLightPrePass(irr::video::IVideoDriver* driver);

// The simple renderer for the device, initialised; null when initialisation fails. One
// reference, held by the caller.
IKeRenderer* keCreateSimpleRenderer(irr::IrrlichtDevice* device);

}  // namespace kolm
