// The loading shader and its full-screen quad.
#pragma once

#include "core/KePtr.h"

#include <memory>

namespace irr::video {
class ITexture;
}

namespace kolm {

class CKeShaderDriver;
class CKeLoadingConstants;

struct KeLoadingShader {
    int material = -1;  // the shader material type, -1 when there is none
    irr::video::ITexture* picture = nullptr;
    std::unique_ptr<CKeShaderDriver> driver;  // built-in source only
    KePtr<CKeLoadingConstants> constants;
    KeLoadingShader();
    ~KeLoadingShader();
    KeLoadingShader(KeLoadingShader&&) noexcept;
    KeLoadingShader& operator=(KeLoadingShader&&) noexcept;
};

// Creates the shader from "loading.hlsl" when the file exists, else from the built-in source,
// on the OpenGL driver only; the picture (may be null) becomes texture 0 of the quad. Leaves
// material -1 when the shader cannot be built.
void keLoadingShaderCreate(KeLoadingShader* shader, irr::video::ITexture* picture);
// Draws the full-screen quad with "progress" and "resolution" (pixels) set.
void keLoadingShaderDraw(KeLoadingShader* shader, float progress, int width, int height);
void keLoadingShaderRelease(KeLoadingShader* shader);

}  // namespace kolm
