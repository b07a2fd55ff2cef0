#include "fx/KeHlslCompiler.h"

#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>
#include <glslang/SPIRV/GlslangToSpv.h>

#include <cctype>
#include <cstring>
#include <mutex>
#include <sstream>

namespace kolm {

// ---------------------------------------------------------------------------------------------
// Effect syntax the compiler does not take

namespace {

bool isIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Replaces [from, to) by spaces, keeping line breaks.
void blank(std::string& s, size_t from, size_t to) {
    for (size_t i = from; i < to && i < s.size(); ++i)
        if (s[i] != '\n' && s[i] != '\r') s[i] = ' ';
}

// Index just past the comment or string starting at i, or i when there is none.
size_t skipCommentOrString(const std::string& s, size_t i) {
    if (s.compare(i, 2, "//") == 0) {
        size_t e = s.find('\n', i);
        return e == std::string::npos ? s.size() : e;
    }
    if (s.compare(i, 2, "/*") == 0) {
        size_t e = s.find("*/", i + 2);
        return e == std::string::npos ? s.size() : e + 2;
    }
    if (s[i] == '"') {
        size_t j = i + 1;
        while (j < s.size() && s[j] != '"' && s[j] != '\n') j += s[j] == '\\' ? 2 : 1;
        return j < s.size() ? j + 1 : s.size();
    }
    return i;
}

// Index of the matching close of the bracket at `open` (or s.size()), skipping comments.
size_t matchClose(const std::string& s, size_t open, char o, char c) {
    int depth = 0;
    for (size_t i = open; i < s.size();) {
        size_t j = skipCommentOrString(s, i);
        if (j != i) { i = j; continue; }
        if (s[i] == o) ++depth;
        else if (s[i] == c && --depth == 0) return i;
        ++i;
    }
    return s.size();
}

// Index of the next ';' at angle-bracket depth 0 (annotations hold their own ';').
size_t statementEnd(const std::string& s, size_t i) {
    int angle = 0;
    while (i < s.size()) {
        size_t j = skipCommentOrString(s, i);
        if (j != i) { i = j; continue; }
        if (s[i] == '<') ++angle;
        else if (s[i] == '>' && angle > 0) --angle;
        else if (s[i] == ';' && angle == 0) return i;
        else if (s[i] == '{' && angle == 0) return matchClose(s, i, '{', '}');
        ++i;
    }
    return s.size();
}

}  // namespace

std::string keStripEffectSyntax(const std::string& source) {
    std::string s = source;
    int depth = 0;  // brace depth: only file-scope declarations are touched
    for (size_t i = 0; i < s.size();) {
        size_t j = skipCommentOrString(s, i);
        if (j != i) { i = j; continue; }
        const char c = s[i];
        if (c == '#') {  // preprocessor line: leave alone
            size_t e = s.find('\n', i);
            i = e == std::string::npos ? s.size() : e;
            continue;
        }
        if (c == '{') { ++depth; ++i; continue; }
        if (c == '}') { if (depth > 0) --depth; ++i; continue; }
        if (c == '=' && depth == 0) {
            // "= sampler_state { ... }" initialiser: the sampler keeps its declaration.
            size_t k = i + 1;
            while (k < s.size() && std::isspace(static_cast<unsigned char>(s[k]))) ++k;
            if (s.compare(k, 13, "sampler_state") == 0 && !isIdentChar(k + 13 < s.size() ? s[k + 13] : ' ')) {
                size_t open = s.find('{', k);
                if (open != std::string::npos) {
                    size_t close = matchClose(s, open, '{', '}');
                    blank(s, i, close + 1);
                    i = close + 1;
                    continue;
                }
            }
            ++i;
            continue;
        }
        if (isIdentChar(c) && (i == 0 || !isIdentChar(s[i - 1]))) {
            size_t e = i;
            while (e < s.size() && isIdentChar(s[e])) ++e;
            const std::string word = s.substr(i, e - i);
            if (depth == 0 && (word == "technique" || word == "technique9" || word == "technique10" ||
                               word == "technique11")) {
                size_t open = s.find('{', e);
                size_t close = open == std::string::npos ? s.size() : matchClose(s, open, '{', '}');
                blank(s, i, close + 1);
                i = close + 1;
                continue;
            }
            // Effect-framework declarations: DX9 texture objects (Texture2D and the other DX10
            // objects stay) and compiled shader variables.
            static const char* const kBlanked[] = {"texture", "Texture", "TEXTURE", "texture1D", "texture2D",
                                                   "texture3D", "textureCUBE", "VertexShader", "PixelShader",
                                                   "vertexshader", "pixelshader"};
            bool blanked = false;
            for (const char* k : kBlanked) blanked = blanked || word == k;
            if (depth == 0 && blanked) {
                size_t end = statementEnd(s, e);
                blank(s, i, end + 1);
                i = end + 1;
                continue;
            }
            i = e;
            continue;
        }
        ++i;
    }
    return s;
}

// ---------------------------------------------------------------------------------------------
// Compilation

namespace {

std::once_flag gInitOnce;
constexpr size_t kMaxIncludeDepth = 32;

class IncluderBridge : public glslang::TShader::Includer {
public:
    explicit IncluderBridge(IIncludeCallback* cb) : mCallback(cb) {}
    IncludeResult* includeLocal(const char* headerName, const char*, size_t depth) override {
        // A file that includes itself (directly or through others) would nest for ever.
        if (!mCallback || depth > kMaxIncludeDepth) return nullptr;
        const char* data = nullptr;
        size_t size = 0;
        if (!mCallback->open(headerName, &data, &size)) return nullptr;
        // The callback keeps the bytes; strip effect syntax into a buffer of our own.
        auto* text = new std::string(keStripEffectSyntax(std::string(data, size)));
        mCallback->close(data);
        return new IncludeResult(headerName, text->data(), text->size(), text);
    }
    IncludeResult* includeSystem(const char*, const char*, size_t) override { return nullptr; }
    void releaseInclude(IncludeResult* r) override {
        if (!r) return;
        delete static_cast<std::string*>(r->userData);
        delete r;
    }

private:
    IIncludeCallback* mCallback;
};

// "ERROR: NAME:LINE: TEXT" -> "NAME(LINE): error: TEXT"; other lines kept as they are.
std::string rewriteLog(const std::string& log) {
    std::istringstream in(log);
    std::string line, out;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        const char* kind = nullptr;
        size_t rest = 0;
        if (line.compare(0, 7, "ERROR: ") == 0) { kind = "error"; rest = 7; }
        else if (line.compare(0, 9, "WARNING: ") == 0) { kind = "warning"; rest = 9; }
        if (kind) {
            // NAME may itself hold ':' only in odd paths; the line number is the last
            // all-digit field before ": ".
            size_t c2 = line.find(": ", rest);
            size_t c1 = c2 == std::string::npos ? std::string::npos : line.rfind(':', c2 - 1);
            bool numbered = c1 != std::string::npos && c1 > rest && c1 + 1 < c2;
            for (size_t k = c1 + 1; numbered && k < c2; ++k)
                numbered = std::isdigit(static_cast<unsigned char>(line[k]));
            if (numbered) {
                std::string name = line.substr(rest, c1 - rest);
                if (name == "0") name = "memory";
                out += name + "(" + line.substr(c1 + 1, c2 - c1 - 1) + "): " + kind + ": " +
                       line.substr(c2 + 2) + "\n";
                continue;
            }
            out += std::string(kind) + ": " + line.substr(rest) + "\n";
            continue;
        }
        out += line + "\n";
    }
    return out;
}

}  // namespace

bool keIsSpirv(const uint8_t* data, size_t size) {
    if (!data || size < 20 || size % 4 != 0) return false;
    uint32_t magic;
    std::memcpy(&magic, data, 4);
    return magic == KE_SPIRV_MAGIC;
}

bool keCompileHlsl(const std::string& source, const std::string& entry, bool vertex,
                   const std::vector<SShaderMacro>& macros, IIncludeCallback* includes,
                   std::vector<uint8_t>& byteCode, std::string& messages) {
    std::call_once(gInitOnce, [] { glslang::InitializeProcess(); });
    messages.clear();
    const EShLanguage stage = vertex ? EShLangVertex : EShLangFragment;
    const std::string text = keStripEffectSyntax(source);

    std::string preamble;
    for (const SShaderMacro& m : macros) preamble += "#define " + m.name + " " + m.value + "\n";

    glslang::TShader shader(stage);
    const char* strings[] = {text.c_str()};
    const int lengths[] = {static_cast<int>(text.size())};
    const char* names[] = {"memory"};
    shader.setStringsWithLengthsAndNames(strings, lengths, names, 1);
    shader.setPreamble(preamble.c_str());
    shader.setEntryPoint(entry.c_str());
    shader.setSourceEntryPoint(entry.c_str());
    shader.setEnvInput(glslang::EShSourceHlsl, stage, glslang::EShClientVulkan, 100);
    shader.setEnvClient(glslang::EShClientVulkan, glslang::EShTargetVulkan_1_0);
    shader.setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_0);
    shader.setEnvTargetHlslFunctionality1();  // keeps the HLSL semantics as decorations
    shader.setHlslIoMapping(true);             // register(sN) becomes binding N
    shader.setAutoMapBindings(true);
    shader.setAutoMapLocations(true);
    const EShMessages msgs = static_cast<EShMessages>(EShMsgSpvRules | EShMsgVulkanRules |
                                                      EShMsgReadHlsl | EShMsgHlslDX9Compatible);
    IncluderBridge includer(includes);
    if (!shader.parse(GetDefaultResources(), 100, false, msgs, includer)) {
        messages = rewriteLog(shader.getInfoLog());
        if (messages.empty()) messages = "memory(0): error: compilation failed\n";
        return false;
    }
    glslang::TProgram program;
    program.addShader(&shader);
    if (!program.link(msgs) || !program.getIntermediate(stage)) {
        messages = rewriteLog(std::string(shader.getInfoLog()) + program.getInfoLog());
        if (messages.empty()) messages = "memory(0): error: link failed for entry " + entry + "\n";
        return false;
    }
    std::vector<unsigned int> words;
    spv::SpvBuildLogger logger;
    glslang::SpvOptions options;
    options.disableOptimizer = false;  // HLSL needs legalisation (samplers passed to functions)
    glslang::GlslangToSpv(*program.getIntermediate(stage), words, &logger, &options);
    if (words.empty()) {
        messages = "memory(0): error: SPIR-V generation failed " + logger.getAllMessages() + "\n";
        return false;
    }
    byteCode.resize(words.size() * 4);
    std::memcpy(byteCode.data(), words.data(), byteCode.size());
    return true;
}

}  // namespace kolm
