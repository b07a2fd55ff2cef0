#include "fx/KeHlslCompiler.h"

#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>
#include <glslang/SPIRV/GlslangToSpv.h>
#include <glslang/MachineIndependent/localintermediate.h>

#include <pthread.h>

#include <cctype>
#include <cstdlib>
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

namespace {

// Expressions nest as deep as the text asks: the compiler's tree walks recurse once per level,
// so a long chain of terms needs stack in proportion. Compiling runs on a thread of its own
// with this much stack; text whose statements hold more operators or brackets than the stack
// can take is refused before parsing.
constexpr size_t kCompileStackBytes = size_t(256) << 20;
constexpr size_t kMaxOperatorsPerStatement = 100000;
constexpr size_t kMaxBracketDepth = 4000;

// The line (1-based) of the first statement of preprocessed text that is too complex, or 0.
// Operators and brackets are counted between ';', '{' and '}'; "#line" directives keep the
// line numbers of the source.
int tooComplexLine(const std::string& text, size_t& operators, size_t& depth) {
    int line = 1, statementLine = 1;
    bool statementStarts = true;
    operators = depth = 0;
    size_t current = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            if (text.compare(i + 1, 6, "#line ") == 0) line = std::atoi(text.c_str() + i + 7) - 1;
            continue;
        }
        if (statementStarts && !std::isspace(static_cast<unsigned char>(c))) {
            statementLine = line;
            statementStarts = false;
        }
        switch (c) {
            case ';': case '{': case '}':
                operators = 0;
                current = 0;
                statementStarts = true;
                break;
            case '(': case '[':
                if (++current > depth) depth = current;
                break;
            case ')': case ']':
                if (current > 0) --current;
                break;
            case '+': case '-': case '*': case '/': case '%': case '<': case '>': case '&': case '|':
            case '^': case '?': case ':': case '=': case ',': case '!': case '~':
                ++operators;
                break;
            default:
                break;
        }
        if (operators > kMaxOperatorsPerStatement || depth > kMaxBracketDepth) return statementLine;
        if (c == ';' || c == '{' || c == '}') depth = 0;
    }
    return 0;
}

struct CompileJob {
    const std::string* source;
    const std::string* entry;
    bool vertex;
    const std::vector<SShaderMacro>* macros;
    IIncludeCallback* includes;
    std::vector<uint8_t>* byteCode;
    std::string* messages;
    bool ok = false;
};

void compileOnThisThread(CompileJob& job) {
    std::string& messages = *job.messages;
    const std::string& entry = *job.entry;
    const EShLanguage stage = job.vertex ? EShLangVertex : EShLangFragment;
    const std::string text = keStripEffectSyntax(*job.source);

    std::string preamble;
    for (const SShaderMacro& m : *job.macros) preamble += "#define " + m.name + " " + m.value + "\n";

    const EShMessages msgs = static_cast<EShMessages>(EShMsgSpvRules | EShMsgVulkanRules |
                                                      EShMsgReadHlsl | EShMsgHlslDX9Compatible);
    auto setUp = [&](glslang::TShader& shader, const char* const* strings, const int* lengths, const char* const* names) {
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
    };
    const char* strings[] = {text.c_str()};
    const int lengths[] = {static_cast<int>(text.size())};
    const char* names[] = {"memory"};

    // Macros can multiply text: the complexity check reads the text as the compiler will.
    {
        glslang::TShader pre(stage);
        setUp(pre, strings, lengths, names);
        IncluderBridge includer(job.includes);
        std::string expanded;
        if (!pre.preprocess(GetDefaultResources(), 100, ENoProfile, false, false, msgs, &expanded, includer)) {
            messages = rewriteLog(pre.getInfoLog());
            if (messages.empty()) messages = "memory(0): error: preprocessing failed\n";
            return;
        }
        size_t operators = 0, depth = 0;
        if (const int line = tooComplexLine(expanded, operators, depth)) {
            messages = "memory(" + std::to_string(line) + "): error: expression too complex (" +
                       std::to_string(operators) + " operators, " + std::to_string(depth) +
                       " nested brackets in one statement; at most " + std::to_string(kMaxOperatorsPerStatement) +
                       " and " + std::to_string(kMaxBracketDepth) + ")\n";
            return;
        }
    }

    glslang::TShader shader(stage);
    setUp(shader, strings, lengths, names);
    IncluderBridge includer(job.includes);
    if (!shader.parse(GetDefaultResources(), 100, false, msgs, includer)) {
        messages = rewriteLog(shader.getInfoLog());
        if (messages.empty()) messages = "memory(0): error: compilation failed\n";
        return;
    }
    // The HLSL front end accepts a source without the named function and produces an empty
    // stage: that is an error, as the Direct3D compiler reports it.
    if (!shader.getIntermediate() || shader.getIntermediate()->getNumEntryPoints() < 1) {
        messages = "memory(1): error: '" + entry + "': entrypoint not found\n";
        return;
    }
    glslang::TProgram program;
    program.addShader(&shader);
    if (!program.link(msgs) || !program.getIntermediate(stage)) {
        messages = rewriteLog(std::string(shader.getInfoLog()) + program.getInfoLog());
        if (messages.empty()) messages = "memory(0): error: link failed for entry " + entry + "\n";
        return;
    }
    std::vector<unsigned int> words;
    spv::SpvBuildLogger logger;
    glslang::SpvOptions options;
    options.disableOptimizer = false;  // HLSL needs legalisation (samplers passed to functions)
    glslang::GlslangToSpv(*program.getIntermediate(stage), words, &logger, &options);
    if (words.empty()) {
        messages = "memory(0): error: SPIR-V generation failed " + logger.getAllMessages() + "\n";
        return;
    }
    job.byteCode->resize(words.size() * 4);
    std::memcpy(job.byteCode->data(), words.data(), job.byteCode->size());
    job.ok = true;
}

}  // namespace

bool keRunWithLargeStack(void (*fn)(void*), void* arg) {
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) return false;
    pthread_attr_setstacksize(&attr, kCompileStackBytes);
    struct Call {
        void (*fn)(void*);
        void* arg;
    } call{fn, arg};
    pthread_t thread;
    const int rc = pthread_create(&thread, &attr, [](void* p) -> void* {
        auto* c = static_cast<Call*>(p);
        c->fn(c->arg);
        return nullptr;
    }, &call);
    pthread_attr_destroy(&attr);
    if (rc != 0) return false;
    pthread_join(thread, nullptr);
    return true;
}

bool keCompileHlsl(const std::string& source, const std::string& entry, bool vertex,
                   const std::vector<SShaderMacro>& macros, IIncludeCallback* includes,
                   std::vector<uint8_t>& byteCode, std::string& messages) {
    std::call_once(gInitOnce, [] { glslang::InitializeProcess(); });
    messages.clear();
    CompileJob job{&source, &entry, vertex, &macros, includes, &byteCode, &messages};
    if (!keRunWithLargeStack([](void* j) { compileOnThisThread(*static_cast<CompileJob*>(j)); }, &job)) {
        messages = "memory(0): error: cannot start the compiler thread\n";
        return false;
    }
    return job.ok;
}

}  // namespace kolm
