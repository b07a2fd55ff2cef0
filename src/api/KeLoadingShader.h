// The loading shader and its full-screen quad.
#pragma once

namespace irr::video {
class ITexture;
}

namespace kolm {

struct KeLoadingShader {
    int material = -1;  // the shader material type, -1 when there is none
};

// Creates the shader from "loading.hlsl" when the file exists, else from the built-in source;
// the picture (may be null) becomes texture 0 of the quad. Leaves material -1 when the shader
// services cannot build it.
void keLoadingShaderCreate(KeLoadingShader* shader, irr::video::ITexture* picture);
// Draws the quad with "progress" and "resolution" set.
void keLoadingShaderDraw(KeLoadingShader* shader, float progress, int width, int height);
void keLoadingShaderRelease(KeLoadingShader* shader);

}  // namespace kolm
