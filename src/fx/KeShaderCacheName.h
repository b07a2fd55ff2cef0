// Naming of the shader disk cache: macro text, its 160-bit hash in base 32, and the
// "D!B!E!H.vso/.pso" file names; plus the include scan that decides whether a cached shader
// is still up to date.
#pragma once

#include "fx/SShaderMacro.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kolm {

// "name value~" for every macro, concatenated ("" for none). The macros must be sorted.
std::string keShaderMacroText(const std::vector<SShaderMacro>& macros);

// The 20 hash bytes of a text (five little-endian 32-bit words).
void keShaderHash160(const void* data, size_t size, uint8_t out[20]);

// Base 32 of whole 5-byte groups (40-bit big-endian, most significant symbol first) with the
// alphabet "123456789ABCDEFGHJKMNPQRSTUVWXYZ". False when size is not a multiple of 5.
bool keBase32Encode(const uint8_t* data, size_t size, std::string& out);

// The 32-character hash of a macro text; 32 'X' when encoding fails (logged).
std::string keShaderMacroHash(const std::string& macroText);

// Name of a compiled shader in the cache directory: D!B!E!H.vso (vertex) or .pso (pixel).
// D is the last component of the file's directory ("." without one), B the base name
// without extension, E the entry point.
std::string keShaderCacheFileName(const std::string& file, const std::string& entry, bool vertex,
                                  const std::vector<SShaderMacro>& macros);

// Directory part of a path without the trailing separator ("." when there is none), as the
// library's getFileDir does.
std::string keShaderFileDir(const std::string& path);

// Reads a whole file; false when it cannot be read.
using KeFileReader = std::function<bool(const std::string& path, std::string& data)>;

// Files named by '#include "name"' in a file and, below it, `depth` further levels of their own
// includes. Paths are the including file's directory + "/" + name with '\' turned into '/';
// each is listed once. Angle-bracket includes and includes commented out with "//" within the
// first 8 characters are not followed. Appends to `out`; false when `file` cannot be read.
bool keGetShaderIncludes(const std::string& file, int depth, const KeFileReader& reader,
                         std::vector<std::string>& out);

}  // namespace kolm
