// HLSL (Direct3D 9 style effect code) to SPIR-V through glslang. The SPIR-V words are the
// engine's shader byte code: the disk cache stores them as they are.
#pragma once

#include "fx/IIncludeCallback.h"
#include "fx/SShaderMacro.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kolm {

constexpr uint32_t KE_SPIRV_MAGIC = 0x07230203u;

// Blanks out what glslang cannot parse in effect files (technique blocks, DX9 "texture"
// declarations, compiled-shader variables, "= sampler_state { ... }" initialisers), keeping
// every line break so that line numbers in messages stay right.
std::string keStripEffectSyntax(const std::string& source);

// Compiles one stage. Messages come back one per line as "memory(LINE): error: TEXT" for the
// main source and "NAME(LINE): error: TEXT" for an included file NAME. `sourceName` is not
// used in messages; it only names the main string for the compiler.
bool keCompileHlsl(const std::string& source, const std::string& entry, bool vertex,
                   const std::vector<SShaderMacro>& macros, IIncludeCallback* includes,
                   std::vector<uint8_t>& byteCode, std::string& messages);

// True when the bytes look like SPIR-V: a whole number of words starting with the magic.
bool keIsSpirv(const uint8_t* data, size_t size);

}  // namespace kolm
