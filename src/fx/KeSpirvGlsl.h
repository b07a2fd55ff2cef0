// SPIR-V byte code to GLSL 330 (compatibility profile) for Irrlicht's OpenGL driver, with the
// constant table read from the byte code.
//
// Conventions of the generated code (one rule for every shader):
// - file-scope constants of a stage live in a flattened vec4 array per constant buffer, like
//   Direct3D 9 constant registers (a buffer that mixes floats with ints or bools becomes a
//   structure uniform set member by member); the material renderer keeps a copy of each
//   buffer in its memory layout and uploads it per draw; members of structures are
//   constants of their own, named by their HLSL path ("LightParams[2].LightColor");
// - varyings cross between the stages four components wide, so that the stages may declare
//   different widths for one semantic, as HLSL allows;
// - vertex inputs read the fixed-function arrays the library feeds, chosen by HLSL semantic
//   (POSITION gl_Vertex, NORMAL gl_Normal, COLOR0 gl_Color, COLOR1 gl_SecondaryColor,
//   TEXCOORDn gl_MultiTexCoordn, TANGENT and BINORMAL texture coordinates 1 and 2); the inputs
//   of the particle instancing contract (TEXCOORD0, POSITION0, NORMAL0, TANGENT0) read generic
//   attributes instead while the uniform "kein_instanced" is 1 (gl/KeGlParticles.h);
// - varyings are named by semantic, so the stages match as HLSL matches them;
// - the uniform "kein_target" = (-1 into a render target else 1, target height, 0, 0): row 0
//   of every target is the top of its picture (the orientation rule of gl/KeGlTarget.h); VPOS
//   is the integer pixel position counted from the top-left corner;
// - Direct3D 9 pixel centres: the pixel stage reads float varyings at the pixel's top-left
//   corner, where Direct3D 9 takes them (its pixel centres lie on whole coordinates, GL's half
//   a pixel further), so that effects adding half a texel land on texel centres.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kolm {

// GL texture unit of vertex-stage sampler register sN: KE_VERTEX_SAMPLER_UNIT0 + N. Vertex and
// pixel samplers are apart, as in Direct3D 9; pixel sampler sN reads unit N (the material's
// texture layer N).
constexpr int KE_VERTEX_SAMPLER_UNIT0 = 8;
constexpr int KE_VERTEX_SAMPLERS = 4;

enum class KeConstantKind : uint8_t { Float, Int, UInt, Bool, Sampler };

// One top-level constant of a stage.
struct KeShaderConstant {
    std::string name;
    KeConstantKind kind = KeConstantKind::Float;
    int registerIndex = 0;   // vec4 register of its first element (samplers: the unit)
    int registerCount = 0;   // registers it covers
    int samplerIndex = -1;   // N of register(sN); -1 for plain constants
    int unit = -1;           // GL texture unit of a sampler
    // The sampler's uniform in the generated GLSL: "kes_s<unit>_<n>", as GLSL reserves names
    // with "__" ("Tex__0") and the GL compiler would rename them.
    std::string glslName;
    // Layout inside its buffer's flattened array (plain constants only).
    int buffer = 0;          // which constant buffer of the stage
    uint32_t offset = 0;     // bytes
    uint32_t size = 0;       // bytes covered
    uint32_t rows = 1;       // HLSL rows (1 for vectors and scalars)
    uint32_t columns = 1;    // HLSL columns (vector size)
    uint32_t arraySize = 1;
    uint32_t arrayStride = 0;
    uint32_t matrixStride = 0;
    bool rowsContiguous = true;  // an HLSL row's elements are adjacent in memory
    // A structure (or array of structures) as a whole: its registers as float4s. Its members
    // are listed by path ("Light.Color", "Lights[1].Color").
    bool whole = false;
};

struct KeGlslShader {
    std::string glsl;
    std::vector<KeShaderConstant> constants;  // sorted by name
    std::vector<std::string> bufferNames;     // GLSL array name of each constant buffer
    std::vector<uint32_t> bufferRegisters;    // its length in vec4 registers
    std::vector<bool> bufferFlattened;        // a vec4 array; else a structure set by member
};

// Full structural validation of SPIR-V from outside (slow: about as long as a conversion).
bool keValidateSpirv(const uint8_t* byteCode, size_t size, std::string& error);

// Converts one stage. The byte code must be trusted: made by the compiler, or validated. False
// with a message when it cannot be converted.
bool keSpirvToGlsl(const uint8_t* byteCode, size_t size, bool vertex, KeGlslShader& out,
                   std::string& error);

// A constant by name (binary search), or null.
const KeShaderConstant* keFindConstant(const KeGlslShader& shader, const char* name);

}  // namespace kolm
