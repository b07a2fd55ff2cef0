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
// main source and "NAME(LINE): error: TEXT" for an included file NAME. A missing entry point
// is an error ("'NAME': entrypoint not found"), and so is a statement too complex for the
// compiler's stack; nothing the text holds crashes the process.
bool keCompileHlsl(const std::string& source, const std::string& entry, bool vertex,
                   const std::vector<SShaderMacro>& macros, IIncludeCallback* includes,
                   std::vector<uint8_t>& byteCode, std::string& messages);

// Runs fn(arg) on a thread with a stack large enough for deeply nested shader code (the
// compiler and the GLSL converter walk expressions recursively) and waits for it. False when
// the thread cannot start.
bool keRunWithLargeStack(void (*fn)(void*), void* arg);

// True when the bytes look like SPIR-V: a whole number of words starting with the magic.
bool keIsSpirv(const uint8_t* data, size_t size);

}  // namespace kolm
