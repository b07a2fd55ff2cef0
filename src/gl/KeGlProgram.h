// The GL side of an engine shader material: one linked GLSL program, its constant arrays, its
// sampler units, blending taken over from a base material, and the render states the video
// driver extension asks for. The material renderer (fx/) decides what goes into the arrays;
// this file only talks to GL.
//
// Each program has the uniform "kein_target" = (-1 drawing into a render target else 1, target
// height, 0, 0), set on bind and whenever the framebuffer changes between draws. While bound into a render
// target the orientation rule of gl/KeGlTarget.h holds (row 0 is the top of the picture).
#pragma once

#include <irrlicht/EMaterialTypes.h>
#include <irrlicht/irrTypes.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kolm {

// Blending of a base material, as the library's fixed-function renderers set it.
struct KeGlBlend {
    bool enabled = false;
    uint32_t srcFactor = 0;   // GL enums
    uint32_t dstFactor = 0;
    bool alphaTest = false;   // alpha > 0.5 passes
};

// Blending of a base material (the library's E_MATERIAL_TYPE) as the library's renderers set
// it; `materialTypeParam` packs the factors of EMT_ONETEXTURE_BLEND.
KeGlBlend keGlBaseMaterialBlend(irr::video::E_MATERIAL_TYPE base, float materialTypeParam);

// Render states that the library does not expose. Applied right before each draw of an
// engine shader material (the library's material code resets blending when it changes
// material). Main thread only.
struct KeGlExtraStates {
    bool separateAlpha = false;
    uint32_t alphaOp = 0x8006;        // GL_FUNC_ADD
    uint32_t alphaSrc = 1;            // GL_ONE
    uint32_t alphaDst = 0;            // GL_ZERO
    bool useBlendColor = false;       // a factor is GL_CONSTANT_COLOR
    float blendColor[4] = {0, 0, 0, 0};
    float depthBias = 0.0f;           // depth-range units, scaled to the bound depth buffer's steps
    float slopeBias = 0.0f;           // factor
    bool stencil = false;
    uint32_t stencilPass = 0x1E00;    // GL_KEEP
    uint32_t stencilFunc = 0x0207;    // GL_ALWAYS
};
KeGlExtraStates& keGlExtraStates();

// Bits of the depth buffer of the framebuffer bound for drawing (the window's or a render
// target's); 0 without one. A depth bias is scaled to its steps.
irr::u32 keGlDepthBits();

// GL values for the video driver extension's arguments (see engine/IKeVideoDriverExt.h);
// values outside the tables give GL_ZERO / GL_FUNC_ADD / GL_ALWAYS / GL_KEEP.
uint32_t keGlBlendFactor(int factor);
uint32_t keGlBlendOperation(int operation);
uint32_t keGlComparison(int comparison);
uint32_t keGlStencilOperation(int operation);

// One member of a constant structure, as laid out in the buffer handed to upload. Matrices:
// `rows` x `columns` as the shader source writes them; the GLSL type has `rows` columns.
struct KeGlUniformMember {
    std::string name;
    int kind = 0;  // 0 float, 1 int, 2 uint, 3 bool
    uint32_t offset = 0, rows = 1, columns = 1, arraySize = 1, arrayStride = 0, matrixStride = 0;
    bool rowsContiguous = true;
};

struct KeGlProgramDesc {
    std::string vertexGlsl;
    std::string pixelGlsl;
    std::vector<std::string> arrays;  // constant buffer uniforms, vertex stage first
    // Per buffer: empty for a vec4 array, else the members of a structure uniform.
    std::vector<std::vector<KeGlUniformMember>> members;
    std::vector<std::pair<std::string, int>> samplers;  // uniform name, texture unit
};

class IKeGlProgram {
public:
    virtual ~IKeGlProgram() {}
    // Compiles and links; on failure the previous program (if any) stays and `error` holds
    // the GL logs.
    virtual bool build(const KeGlProgramDesc& desc, std::string& error) = 0;
    // Makes the program current with the base material's blending. `targetHeight`: pixel
    // height of the current render target (0: take the viewport's top edge).
    virtual void bind(const KeGlBlend& blend, int targetHeight) = 0;
    // Uploads a constant buffer (index into desc.arrays) of `registers` vec4s.
    virtual void upload(int array, const float* data, int registers) = 0;
    // Applies keGlExtraStates() and the orientation rule for the framebuffer bound now
    // (`targetHeight` as for bind); called right before each draw.
    virtual void applyExtraStates(int targetHeight) = 0;
    // Restores what bind and applyExtraStates changed.
    virtual void unbind(const KeGlBlend& blend) = 0;
    // Layers whose texture holds sRGB colours (bit i: unit i): the pixel stage turns what it
    // samples there into linear colour (uniform "kein_srgb"). Set while bound.
    virtual void setSrgbLayers(uint32_t mask) = 0;
};

// A program on the current GL context.
IKeGlProgram* keCreateGlProgram();
// The null twin: builds always succeed, nothing is drawn.
IKeGlProgram* keCreateNullGlProgram();

}  // namespace kolm
