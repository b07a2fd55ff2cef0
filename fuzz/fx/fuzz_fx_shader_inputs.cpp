// Outside bytes the shader services read: effect source text (the syntax stripper, the include
// scan, and the whole compile of both stages to GLSL) and byte code (validation, then SPIR-V
// to GLSL). The services hand cache files
// to the converter only when their hash matches the info file; this target checks that the
// validator keeps anything else from crashing the converter.
#include "fx/KeHlslCompiler.h"
#include "fx/KeShaderCacheName.h"
#include "fx/KeSpirvGlsl.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    const std::string stripped = kolm::keStripEffectSyntax(text);
    // Line breaks survive, so compiler line numbers stay right.
    size_t a = 0, b = 0;
    for (char c : text) a += c == '\n';
    for (char c : stripped) b += c == '\n';
    if (a != b || stripped.size() != text.size()) __builtin_trap();

    std::vector<std::string> includes;
    kolm::keGetShaderIncludes("fx/a.hlsl", 4,
                              [&](const std::string&, std::string& out) {
                                  out = text;
                                  return true;
                              },
                              includes);

    // As a whole effect file: both stages compile or fail with a message, never crash. An
    // include of the file itself is served from the same text.
    struct SelfInclude : kolm::IIncludeCallback {
        const std::string* text;
        bool open(const char*, const char** out, size_t* outSize) override {
            *out = text->data();
            *outSize = text->size();
            return true;
        }
        void close(const char*) override {}
    } self;
    self.text = &text;
    for (int vertex = 0; vertex < 2; ++vertex) {
        std::vector<uint8_t> code;
        std::string messages;
        const char* entry = vertex ? "vs_main" : "ps_main";
        const bool ok = kolm::keCompileHlsl(text, entry, vertex != 0, {{"FUZZ", "1"}}, &self, code, messages);
        if (!ok && messages.empty()) __builtin_trap();  // a failure always says why
        if (!ok) continue;
        kolm::KeGlslShader out;
        std::string error;
        if (!kolm::keSpirvToGlsl(code.data(), code.size(), vertex != 0, out, error) && error.empty()) __builtin_trap();
    }

    // As a cache file, with and without a valid header.
    for (int withMagic = 0; withMagic < 2; ++withMagic) {
        std::vector<uint8_t> bytes(data, data + size);
        if (withMagic && bytes.size() >= 4) {
            const uint32_t magic = kolm::KE_SPIRV_MAGIC;
            std::memcpy(bytes.data(), &magic, 4);
        }
        bytes.resize(bytes.size() & ~size_t(3));
        if (!kolm::keIsSpirv(bytes.data(), bytes.size())) continue;
        kolm::KeGlslShader out;
        std::string error;
        if (!kolm::keValidateSpirv(bytes.data(), bytes.size(), error)) continue;
        kolm::keSpirvToGlsl(bytes.data(), bytes.size(), withMagic != 0, out, error);
    }
    return 0;
}
