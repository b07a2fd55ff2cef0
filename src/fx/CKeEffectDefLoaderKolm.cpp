#include "fx/CKeEffectDefLoaderKolm.h"

#include "core/KeError.h"
#include "files/KeReadFile.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

// Sections: tables of the annotation language; text helpers; one technique reading (line walk,
// conditions, descriptive lines, the function / config / texture / parameter handlers); the
// loader.

namespace kolm {

using namespace irr;

namespace {

using sv = std::string_view;

// ---- tables -----------------------------------------------------------------------------------

// Parameter names that name a value the engine binds. A null semantic: the name is its own
// semantic. Matrices bind the transposed matrix of the name without "Transpose", and the
// reverse, because the engine's matrices are row-major and the shaders' column-major.
struct KnownSemantic {
    const char* name;
    const char* semantic;
};
const KnownSemantic kKnownSemantics[] = {
    {"Time0_X", "TimeScene"},
    {"Time_0_X", "TimeScene"},
    {"Time", nullptr},
    {"TimeScene", nullptr},
    {"Fps", nullptr},
    {"Projection", "ProjectionTranspose"},
    {"ProjectionTranspose", "Projection"},
    {"ViewProjection", "ViewProjectionTranspose"},
    {"ViewProjectionTranspose", "ViewProjection"},
    {"View", "ViewTranspose"},
    {"ViewInverse", "ViewInverseTranspose"},
    {"ViewInverseTranspose", "ViewInverse"},
    {"ViewTranspose", "View"},
    {"PrevProjection", "PrevProjectionTranspose"},
    {"PrevProjectionTranspose", "PrevProjection"},
    {"PrevViewProjection", "PrevViewProjectionTranspose"},
    {"PrevViewProjectionTranspose", "PrevViewProjection"},
    {"PrevView", "PrevViewTranspose"},
    {"PrevViewInverse", "PrevViewInverseTranspose"},
    {"PrevViewInverseTranspose", "PrevViewInverse"},
    {"PrevViewTranspose", "PrevView"},
    {"ViewInversePrevViewProjection", "ViewInversePrevViewProjectionTranspose"},
    {"ViewInversePrevViewProjectionTranspose", "ViewInversePrevViewProjection"},
    {"ViewPosition", nullptr},
    {"WorldViewProjection", "WorldViewProjectionTranspose"},
    {"WorldViewProjectionTranspose", "WorldViewProjection"},
    {"WorldView", "WorldViewTranspose"},
    {"WorldViewTranspose", "WorldView"},
    {"WorldViewInverse", "WorldViewInverseTranspose"},
    {"WorldViewInverseTranspose", "WorldViewInverse"},
    {"WorldInverse", "WorldInverseTranspose"},
    {"WorldInverseTranspose", "WorldInverse"},
    {"World", "WorldTranspose"},
    {"WorldTranspose", "World"},
    {"WorldTranslation", nullptr},
    {"WorldRotation", nullptr},
    {"WorldScale", nullptr},
    {"FrustrumFarCorners", nullptr},
    {"FrustrumFarCornersWorld", nullptr},
    {"ZFarValue", nullptr},
    {"TargetSize", nullptr},
    {"ScreenSize", nullptr},
    {"PixelSize", nullptr},
    {"HalfPixelSize", nullptr},
    {"HalfScreenHalfPixelSize", nullptr},
    {"QuarterScreenHalfPixelSize", nullptr},
    {"Fov", nullptr},
    {"FocalDistance", nullptr},
    {"FStop", nullptr},
    {"FocalRange", nullptr},
    {"DofMaxCoc", nullptr},
    {"DofFocalRangeMin", nullptr},
    {"DofFocalRangeFocused", nullptr},
    {"DofFocalRangeMax", nullptr},
    {"DofRadiusScale", nullptr},
    {"GlowIntensity", nullptr},
    {"BloomSpecMin", nullptr},
    {"BloomThreshold", nullptr},
    {"SrrNbPixStepMult", nullptr},
    {"SrrMaxDepthTestMult", nullptr},
    {"SrrFuzziness", nullptr},
    {"ObjectPos0", nullptr},
    {"ObjectPos1", nullptr},
    {"ObjectPos2", nullptr},
    {"ObjectPos3", nullptr},
    {"ObjectPos4", nullptr},
    {"ObjectPos5", nullptr},
    {"ObjectPos6", nullptr},
    {"ObjectPos7", nullptr},
    {"ObjectRot0", nullptr},
    {"ObjectRot1", nullptr},
    {"ObjectRot2", nullptr},
    {"ObjectRot3", nullptr},
    {"ObjectRot4", nullptr},
    {"ObjectRot5", nullptr},
    {"ObjectRot6", nullptr},
    {"ObjectRot7", nullptr},
    {"ObjectScale0", nullptr},
    {"ObjectScale1", nullptr},
    {"ObjectScale2", nullptr},
    {"ObjectScale3", nullptr},
    {"ObjectScale4", nullptr},
    {"ObjectScale5", nullptr},
    {"ObjectScale6", nullptr},
    {"ObjectScale7", nullptr},
    {"ObjectTrans0", nullptr},
    {"ObjectTrans1", nullptr},
    {"ObjectTrans2", nullptr},
    {"ObjectTrans3", nullptr},
    {"ObjectTrans4", nullptr},
    {"ObjectTrans5", nullptr},
    {"ObjectTrans6", nullptr},
    {"ObjectTrans7", nullptr},
    {"ObjectInvTrans0", nullptr},
    {"ObjectInvTrans1", nullptr},
    {"ObjectInvTrans2", nullptr},
    {"ObjectInvTrans3", nullptr},
    {"ObjectInvTrans4", nullptr},
    {"ObjectInvTrans5", nullptr},
    {"ObjectInvTrans6", nullptr},
    {"ObjectInvTrans7", nullptr},
    {"LightPos0", nullptr},
    {"LightPos1", nullptr},
    {"LightPos2", nullptr},
    {"LightPos3", nullptr},
    {"LightPos4", nullptr},
    {"LightDir0", nullptr},
    {"LightDir1", nullptr},
    {"LightDir2", nullptr},
    {"LightDir3", nullptr},
    {"LightDir4", nullptr},
    {"LightDiffuse0", nullptr},
    {"LightDiffuse1", nullptr},
    {"LightAmbient0", "LightAmbient"},
    {"LightAmbient1", "LightAmbient"},
    {"LightsIni", nullptr},
    {"LightsNum", nullptr},
    {"LightParams", nullptr},
    {"LineStartsEnds", nullptr},
    {"LineEnds", nullptr},
    {"DownScale4x4Samples", nullptr},
    {"DownScale2x2Samples", nullptr},
    {"HalfDownScale2x2Samples", nullptr},
    {"ParticleColor", "LWHV_Color"},
    {"ParticleSize", "LWHV_Size"},
    {"ParticleRotation", "LWHV_Rotation"},
    {"ParticleGradColorNum", "LWHV_ColorNumKeys"},
    {"ParticleGradColorKeyParams", "LWHV_ColorKeyParams"},
    {"ParticleGradColorKeyValues", "LWHV_ColorKeyValues"},
    {"ParticleGradSizeNum", "LWHV_SizeNumKeys"},
    {"ParticleGradSizeKeyParams", "LWHV_SizeKeyParams"},
    {"ParticleGradSizeKeyValues", "LWHV_SizeKeyValues"},
    {"ParticleTimeNow", "Time"},
    {"Surface_Roughness", "LW_Roughness"},
    {"Surface_ReflectionMaxMip", "LW_ReflectionMaxMip"},
    {"CubeMapPosition", nullptr},
    {"CubeMapAABBPosition", nullptr},
    {"CubeMapAABBScale", nullptr},
};

// Channels of a LightWave surface (semantics "LW_" + name).
const char* const kSurfaceChannels[] = {
    "BaseColor",         "Luminosity",          "Diffuse",             "Specularity",        "Reflectivity",
    "Transparency",      "Translucency",        "IOR",                 "Bump",               "Glossiness",
    "SpecialBuffer1",    "SpecialBuffer2",      "SpecialBuffer3",      "SpecialBuffer4",     "DiffuseSharpness",
    "BumpDropoff",       "SmoothingAngle",      "ReflectionSeamAngle", "RefractionSeamAngle", "ReflectionBlurring",
    "RefractionBlurring", "ColorFilter",        "ColorHighlights",     "AdditiveTransparency", "AlphaValue",
    "GlowValue",         "LineColor",           "LineSize",            "AlphaOptions",       "ReflectionOptions",
    "RefractionOptions", "Sidedness",           "ExcludeFromVStack",   "Glow",               "RenderOutlines",
    "ReflectionImage",   "RefractionImage",     "VertexColoring",      "VertexNormal",
};

// Texture sources that name a surface texture channel (semantics "LW_Tex_" + channel). The
// surfaces call the refraction index channel "IOR"; both spellings reach it.
struct TextureChannel {
    const char* source;
    const char* channel;
};
const TextureChannel kTextureChannels[] = {
    {"Color", "BaseColor"},
    {"BaseColor", "BaseColor"},
    {"Luminosity", "Luminosity"},
    {"Diffuse", "Diffuse"},
    {"Specularity", "Specularity"},
    {"Reflectivity", "Reflectivity"},
    {"Transparency", "Transparency"},
    {"Translucency", "Translucency"},
    {"RefractionIndex", "IOR"},
    {"IOR", "IOR"},
    {"Bump", "Bump"},
    {"Glossiness", "Glossiness"},
    {"ReflectionImage", "ReflectionImage"},
    {"RefractionImage", "RefractionImage"},
};

enum : u32 {
    TEX_CUBE = 0x1,
    TEX_3D = 0x2,
    TEX_PRESET = 0x4,
    TEX_REPEAT = 0x8,
    TEX_CLAMP = 0x10,
    TEX_CLAMP_TO_EDGE = 0x20,
    TEX_NO_MIPMAP = 0x40,
    TEX_FILTER_POINT = 0x80,
    TEX_TRILINEAR = 0x100,
    TEX_R32F = 0x200,
    TEX_SRGB = 0x400,
    TEX_IMAGE = 0x800,
};

enum : u32 {
    PARAM_PIXEL = 0x1,
    PARAM_VERTEX = 0x2,
    PARAM_BOTH = 0x4,
    PARAM_COLOR = 0x8,
    PARAM_PERCENT = 0x10,
};

struct Flag {
    const char* word;
    u32 flag;
};
const Flag kTextureOptions[] = {
    {"cube", TEX_CUBE},         {"3d", TEX_3D},         {"preset", TEX_PRESET},
    {"repeat", TEX_REPEAT},     {"clamp", TEX_CLAMP},   {"clamp_to_edge", TEX_CLAMP_TO_EDGE},
    {"noMipMap", TEX_NO_MIPMAP}, {"filterPoint", TEX_FILTER_POINT}, {"trilinear", TEX_TRILINEAR},
    {"r32f", TEX_R32F},         {"srgb", TEX_SRGB},     {"image", TEX_IMAGE},
};
const Flag kParamFlags[] = {
    {"pixel", PARAM_PIXEL}, {"vertex", PARAM_VERTEX}, {"both", PARAM_BOTH}, {"color", PARAM_COLOR}, {"percent", PARAM_PERCENT},
};

struct ParamType {
    const char* word;
    s32 type;
};
const ParamType kParamTypes[] = {
    {"int", KE_FXP_INT},       {"integer", KE_FXP_INT},   {"bool", KE_FXP_BOOL},     {"float", KE_FXP_FLOAT},
    {"floatN", KE_FXP_FLOAT},  {"floatNRef", KE_FXP_FLOAT}, {"float2", KE_FXP_FLOAT2}, {"float3", KE_FXP_FLOAT3},
    {"float4", KE_FXP_FLOAT4}, {"float4x4", KE_FXP_FLOAT4X4},
};

constexpr int kMaxFields = 32;
constexpr int kMaxWords = 20;
constexpr int kMaxItems = 32;
constexpr size_t kDescriptionCapacity = 511;
constexpr int kMaxSamplerIndex = 7;  // materials have 8 texture layers

// ---- text helpers -----------------------------------------------------------------------------

char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool ieq(sv a, sv b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

bool startsWith(sv s, sv prefix) { return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0; }

sv trim(sv s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// Cuts `s` at any of `separators` into at most `max` non-empty words.
int splitWords(sv s, const char* separators, sv* words, int max) {
    int n = 0;
    size_t i = 0;
    while (i < s.size() && n < max) {
        while (i < s.size() && std::strchr(separators, s[i])) ++i;
        const size_t start = i;
        while (i < s.size() && !std::strchr(separators, s[i])) ++i;
        if (i > start) words[n++] = s.substr(start, i - start);
    }
    return n;
}

u32 lookupFlags(sv field, const Flag* table, size_t count) {
    sv words[kMaxWords];
    const int n = splitWords(field, " \t\r\n", words, kMaxWords);
    u32 flags = 0;
    for (int w = 0; w < n; ++w)
        for (size_t i = 0; i < count; ++i)
            if (ieq(words[w], table[i].word)) flags |= table[i].flag;
    return flags;
}

core::stringc str(sv s) { return core::stringc(s.data(), u32(s.size())); }

SParameter annotation(const char* key, sv value) {
    SParameter a;
    a.name = key;
    a.text = str(value);
    return a;
}

// Condition names and inline texts that a technique adds to the loader's macros.
void techniqueMacros(const std::string& name, std::vector<std::string>& conditions,
                     core::array<core::stringc>& inlines) {
    if (name.empty() || name == "default") return;
    const char* own = nullptr;
    if (name == "depth") own = "TECH_DEPTH";
    else if (name == "shadow") own = "TECH_SHADOW";
    else if (name == "reflection") own = "TECH_REFLECT";
    conditions.push_back("TECH_NDFLT");
    inlines.push_back("#define USE_TECH_NDFLT");
    if (own) {
        conditions.push_back(own);
        inlines.push_back((std::string("#define USE_") + own).c_str());
    }
}

// 1-based line of the byte at `offset` (line feeds, and carriage returns not followed by a line
// feed, end lines).
int lineOf(sv text, size_t offset) {
    int line = 1;
    for (size_t i = 0; i < offset && i < text.size(); ++i)
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) ++line;
    return line;
}

// ---- one technique reading --------------------------------------------------------------------

class Reading {
public:
    Reading(SEffectRecord& record, const char* path, const std::string& technique,
            const std::vector<std::string>& conditions)
        : mRecord(record), mPath(path), mTechName(technique), mConditions(conditions) {}

    // Appends the technique and what its reading of the block declares. False with the message
    // in `error`.
    bool run(sv text, std::string& error);

private:
    bool fail(int line, const char* format, ...) __attribute__((format(printf, 3, 4)));
    bool isCondition(sv name) const;
    bool readLine(sv line, int lineNo);
    // A line that a handler acts on must fit the line capacity; a longer comment is ignored.
    bool tooLong(sv line, int lineNo) {
        if (line.size() <= KE_FX_LINE_CAPACITY) return false;
        fail(lineNo, "annotation line longer than %d characters", int(KE_FX_LINE_CAPACITY));
        return true;
    }
    bool onFunction(const sv* words, int nw, const sv* fields, int nf, int lineNo);
    bool onConfig(const sv* words, int nw, const sv* fields, int nf, int lineNo);
    bool onTexture(const sv* words, int nw, const sv* fields, int nf, int lineNo);
    bool onParameter(s32 type, const sv* words, int nw, const sv* fields, int nf, int lineNo);

    STechnique& technique() { return mRecord.techniques.getLast(); }
    SPass& pass() { return technique().passes[0]; }
    SShader& vertexShader() { return pass().shaders[0]; }
    SShader& pixelShader() { return pass().shaders[1]; }

    SEffectRecord& mRecord;
    const char* mPath;
    std::string mTechName;
    std::vector<std::string> mConditions;
    int mTextureCounter = 0;
    std::string mError;
};

bool Reading::fail(int line, const char* format, ...) {
    char message[KE_MESSAGE_CAPACITY];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof(message), format, args);
    va_end(args);
    mError = mPath;
    mError += '(' + std::to_string(line) + "): ";
    mError += message;
    if (mError.size() >= size_t(KE_MESSAGE_CAPACITY)) mError.resize(KE_MESSAGE_CAPACITY - 1);
    return false;
}

bool Reading::isCondition(sv name) const {
    for (const std::string& c : mConditions)
        if (name == c) return true;
    return false;
}

bool Reading::run(sv text, std::string& error) {
    STechnique tech;
    tech.name = mTechName.c_str();
    SPass pass;
    SShader vs, ps;
    vs.stage = KE_STAGE_VERTEX;
    vs.entry = "vs_main";
    vs.sourceFile = mPath;
    vs.target = KE_TARGET_VS_3_0;
    ps.stage = KE_STAGE_FRAGMENT;
    ps.entry = "ps_main";
    ps.sourceFile = mPath;
    ps.target = KE_TARGET_PS_3_0;
    techniqueMacros(mTechName, mConditions, vs.inlines);
    ps.inlines = vs.inlines;
    pass.shaders.push_back(vs);
    pass.shaders.push_back(ps);
    tech.passes.push_back(pass);
    mRecord.techniques.push_back(tech);

    mError = "Unknown error in Kolm shader";
    bool inBlock = false;
    int beginLine = 0;
    int lineNo = 1;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t start = pos;
        while (pos < text.size() && text[pos] != '\n' && text[pos] != '\r') ++pos;
        const sv line = text.substr(start, pos - start);
        const int thisLine = lineNo;
        while (pos < text.size() && (text[pos] == '\n' || text[pos] == '\r')) {
            if (text[pos] == '\n' || pos + 1 >= text.size() || text[pos + 1] != '\n') ++lineNo;
            ++pos;
        }
        if (!inBlock) {
            if (line.find("[KOLM_BEGIN]") != sv::npos) {
                inBlock = true;
                beginLine = thisLine;
            }
            continue;
        }
        if (line.find("[KOLM_END]") != sv::npos) return true;
        if (!readLine(line, thisLine)) {
            error = mError;
            return false;
        }
    }
    if (!inBlock) return true;
    // A block that runs to the end of the file would read the shader code as annotations.
    fail(beginLine, "[KOLM_BEGIN] without [KOLM_END]");
    error = mError;
    return false;
}

bool Reading::readLine(const sv line, int lineNo) {
    // Conditions, nested: "//KOLM_PP:D:NAME:" holds when NAME is a condition name, "U:" when not.
    sv rest = line;
    static const sv kCondition = "//KOLM_PP:";
    while (startsWith(rest, kCondition)) {
        const sv r = rest.substr(kCondition.size());
        if (r.size() < 2 || (r[0] != 'D' && r[0] != 'U') || r[1] != ':') break;
        const sv after = r.substr(2);
        const size_t colon = after.find(':');
        if (colon == sv::npos) break;
        const bool defined = isCondition(after.substr(0, colon));
        if (defined != (r[0] == 'D')) return true;  // not for this reading
        rest = after.substr(colon + 1);
    }

    // Descriptive lines.
    static const struct {
        sv key;
        core::stringc SEffectRecord::*field;
    } kDescriptions[] = {{"//title", &SEffectRecord::title},
                         {"//subject", &SEffectRecord::subject},
                         {"//comments", &SEffectRecord::comments}};
    for (const auto& d : kDescriptions) {
        if (!startsWith(rest, d.key) || rest.size() <= d.key.size() || rest[d.key.size()] != ' ') continue;
        sv value = rest.substr(d.key.size());
        while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
        mRecord.*(d.field) = str(value.substr(0, kDescriptionCapacity));
        return true;
    }

    // Fields at ':' and ';', words of the first field.
    sv fields[kMaxFields];
    int nf = 0;
    size_t from = 0;
    for (size_t i = 0; i <= rest.size() && nf < kMaxFields; ++i) {
        if (i == rest.size() || rest[i] == ':' || rest[i] == ';') {
            fields[nf++] = trim(rest.substr(from, i - from));
            from = i + 1;
        }
    }
    sv words[kMaxWords];
    const int nw = splitWords(fields[0], "\t/ \r\n", words, kMaxWords);
    if (nw == 0) return true;

    if (ieq(words[0], "function")) return !tooLong(line, lineNo) && onFunction(words, nw, fields, nf, lineNo);
    if (ieq(words[0], "config")) return !tooLong(line, lineNo) && onConfig(words, nw, fields, nf, lineNo);
    if (ieq(words[0], "texture")) return !tooLong(line, lineNo) && onTexture(words, nw, fields, nf, lineNo);
    for (const ParamType& t : kParamTypes)
        if (ieq(words[0], t.word)) return !tooLong(line, lineNo) && onParameter(t.type, words, nw, fields, nf, lineNo);
    return true;  // an ordinary comment line
}

bool Reading::onFunction(const sv* words, int nw, const sv* fields, int nf, int lineNo) {
    if (nw < 2) return fail(lineNo, "entry point has %d tokens0 less than 2", nw);
    if (nf - 1 < 1) return fail(lineNo, "entry point has %d tokens less than 1", nf - 1);
    if (ieq(words[1], "vertexMain")) vertexShader().entry = str(fields[1]);
    else if (ieq(words[1], "pixelMain")) pixelShader().entry = str(fields[1]);
    return true;
}

bool Reading::onConfig(const sv* words, int nw, const sv* fields, int nf, int lineNo) {
    if (nw < 2) return fail(lineNo, "config has %d tokens0 less than 2", nw);
    const sv key = words[1];
    const bool hasValue = nf >= 2;
    if (ieq(key, "tangents")) {
        technique().annotations.push_back(annotation("tangents", "true"));
    } else if (!hasValue) {
        return true;
    } else if (ieq(key, "baseMaterial")) {
        pass().annotations.push_back(annotation("baseMaterial", fields[1]));
    } else if (ieq(key, "render")) {
        technique().annotations.push_back(annotation("render", fields[1]));
    } else if (ieq(key, "rendertarget")) {
        technique().annotations.push_back(annotation("rendertarget", fields[1]));
    } else if (ieq(key, "techniques")) {
        sv names[kMaxWords];
        const int n = splitWords(fields[1], " \r\n", names, kMaxWords);
        std::string list;
        for (int i = 0; i < n; ++i) {
            list.append(names[i]);
            list += ' ';
        }
        technique().annotations.push_back(annotation("techniques", list));
    }
    return true;
}

bool Reading::onTexture(const sv* words, int nw, const sv* fields, int nf, int lineNo) {
    // Sampler index: a number written after the keyword, else the next of the counter.
    int index = -1;
    if (nw >= 2 && words[1].find_first_not_of("0123456789") == sv::npos) {
        index = 0;
        for (char c : words[1]) {
            index = index * 10 + (c - '0');
            if (index > kMaxSamplerIndex) break;  // before it can overflow
        }
    } else {
        index = mTextureCounter++;
    }
    if (index > kMaxSamplerIndex) return fail(lineNo, "Sampler illegal index > MATERIAL_MAX_TEXTURES");

    const u32 options = nf >= 3 ? lookupFlags(fields[2], kTextureOptions, sizeof(kTextureOptions) / sizeof(kTextureOptions[0])) : 0;

    SParameter p;
    p.name = ("Tex_" + mTechName + "_" + std::to_string(index)).c_str();
    const char* keyword = "texture2D";
    p.type = KE_FXP_SAMPLER2D;
    if (options & TEX_CUBE) {
        p.type = KE_FXP_SAMPLERCUBE;
        keyword = "textureCUBE";
    } else if (options & TEX_3D) {
        p.type = KE_FXP_SAMPLER3D;
        keyword = "texture3D";
    }

    if (nf >= 2) {
        const sv source = fields[1];
        const TextureChannel* channel = nullptr;
        for (const TextureChannel& c : kTextureChannels)
            if (ieq(source, c.source)) channel = &c;
        if (options & TEX_PRESET) p.semantic = str(source);
        else if (channel) p.semantic = (std::string("LW_Tex_") + channel->channel).c_str();
        else p.imageUrl = str(source);
    }

    if (options & TEX_REPEAT) p.wrapS = p.wrapT = p.wrapP = "REPEAT";
    if (options & TEX_CLAMP) p.wrapS = p.wrapT = p.wrapP = "CLAMP";
    if (options & TEX_CLAMP_TO_EDGE) p.wrapS = p.wrapT = p.wrapP = "CLAMP_TO_EDGE";
    if (options & TEX_NO_MIPMAP) p.mipFilter = "NONE";
    if (options & TEX_FILTER_POINT) p.minFilter = p.magFilter = "NEAREST";
    if (options & TEX_TRILINEAR) p.mipFilter = p.minFilter = p.magFilter = "LINEAR";

    if (options & TEX_R32F) p.annotations.push_back(annotation("format", "r32f"));
    if (options & TEX_SRGB) p.annotations.push_back(annotation("SRGB", "true"));
    if (options & TEX_IMAGE) p.annotations.push_back(annotation("UIWidget", "Image"));

    SState state;
    state.name = keyword;
    state.paramRef = p.name;
    state.index = index;
    mRecord.parameters.push_back(p);
    pass().states.push_back(state);
    return true;
}

bool Reading::onParameter(s32 type, const sv* words, int nw, const sv* fields, int nf, int lineNo) {
    if (nw < 2) return fail(lineNo, "param line has %d tokens0 less than 2", nw);
    if (nf - 1 < 1) return fail(lineNo, "param line has %d tokens less than 1", nf - 1);

    SParameter p;
    p.name = str(words[1]);
    p.type = type;

    const sv value = fields[1];
    const KnownSemantic* known = nullptr;
    for (const KnownSemantic& k : kKnownSemantics)
        if (ieq(value, k.name)) {
            known = &k;
            break;
        }
    const char* surface = nullptr;
    static const sv kSurface = "Surface_";
    if (!known && startsWith(value, kSurface)) {
        for (const char* c : kSurfaceChannels)
            if (ieq(value.substr(kSurface.size()), c)) surface = c;
    }
    if (known) {
        p.semantic = known->semantic ? known->semantic : known->name;
    } else if (surface) {
        p.semantic = (std::string("LW_") + surface).c_str();
    } else {
        sv items[kMaxItems];
        int n = 0;
        size_t from = 0;
        for (size_t i = 0; i <= value.size() && n < kMaxItems; ++i) {
            if (i == value.size() || value[i] == ',') {
                items[n++] = trim(value.substr(from, i - from));
                from = i + 1;
            }
        }
        std::string text;
        for (int i = 0; i < n; ++i) {
            text.append(items[i]);
            text += "  ";
        }
        p.text = text.c_str();
    }

    const u32 flags = nf >= 3 ? lookupFlags(fields[2], kParamFlags, sizeof(kParamFlags) / sizeof(kParamFlags[0])) : 0;
    if (flags & PARAM_COLOR) p.annotations.push_back(annotation("UIWidget", "Color"));
    else if (flags & PARAM_PERCENT) p.annotations.push_back(annotation("UIWidget", "Percent"));
    mRecord.parameters.push_back(p);

    SParameter bind;
    bind.name = p.name;
    bind.text = p.name;
    if (flags & PARAM_PIXEL) {
        pixelShader().binds.push_back(bind);
    } else if (flags & PARAM_VERTEX) {
        vertexShader().binds.push_back(bind);
    } else if (flags & PARAM_BOTH) {
        vertexShader().binds.push_back(bind);
        pixelShader().binds.push_back(bind);
    } else {
        vertexShader().binds.push_back(bind);
    }
    return true;
}

void setError(core::stringc& error, const char* path, const char* text) {
    error = path;
    error += ": ";
    error += text;
}

}  // namespace

// ---- the loader ---------------------------------------------------------------------------------

bool keHasExtension(const char* fileName, const char* extension) {
    if (!fileName || !extension) return false;
    const char* dot = std::strrchr(fileName, '.');
    if (!dot || std::strchr(dot, '/') || std::strchr(dot, '\\')) return false;
    return ieq(dot + 1, extension);
}

bool CKeEffectDefLoaderKolm::isLoadableFile(const c8* fileName) const {
    return keHasExtension(fileName, "hlsl") || keHasExtension(fileName, "fx");
}

IKeEffectDef* CKeEffectDefLoaderKolm::createEffectDef(KeEffectFileReader reader, const c8* absolutePath,
                                                      const CKeMacro* macros, bool targetIsOpenGL, core::stringc& error) {
    const char* path = absolutePath ? absolutePath : "";
    if (!reader) reader = &keReadWholeFile;
    std::string data;
    if (!reader(path, data)) {
        setError(error, path, "Cannot open file");
        return nullptr;
    }
    return createFromText(data.data(), data.size(), path, macros, targetIsOpenGL, error);
}

CKeEffectDefKolm* CKeEffectDefLoaderKolm::createFromText(const char* data, size_t size, const c8* absolutePath,
                                                         const CKeMacro* macros, bool targetIsOpenGL,
                                                         core::stringc& error) {
    error = "";
    const char* path = absolutePath ? absolutePath : "";
    const sv text(data ? data : "", data ? size : 0);
    if (text.empty()) {
        setError(error, path, "Error");
        return nullptr;
    }
    const size_t zero = text.find('\0');
    if (zero != sv::npos) {
        char message[KE_MESSAGE_CAPACITY];
        std::snprintf(message, sizeof(message), "%s(%d): not a text file (zero byte)", path, lineOf(text, zero));
        error = message;
        return nullptr;
    }

    // Condition names: the macros' names without a leading "USE_".
    std::vector<std::string> conditions;
    for (const CKeMacro* m = macros; m && m->Name; ++m) {
        sv name = m->Name;
        if (startsWith(name, "USE_")) name.remove_prefix(4);
        conditions.emplace_back(name);
    }

    auto* def = new CKeEffectDefKolm(path, targetIsOpenGL);
    std::string message;
    bool ok = Reading(def->record(), path, "", conditions).run(text, message);
    if (ok) {
        const SParameter* list = def->getAnnotationByName(def->getTechnique(0), "techniques");
        const std::string names = list ? list->text.c_str() : "";  // a copy: readings grow the arrays
        sv parts[kMaxWords];
        const int n = splitWords(names, " ", parts, kMaxWords);
        // Every reading adds about as many parameters as the first: grow the arrays once.
        SEffectRecord& r = def->record();
        r.parameters.reallocate(r.parameters.size() * u32(n + 1) + 8, false);
        r.techniques.reallocate(u32(n + 1), false);
        for (int i = 0; ok && i < n; ++i)
            ok = Reading(def->record(), path, std::string(parts[i]), conditions).run(text, message);
    }
    if (!ok) {
        error = message.empty() ? "Unknown error in Kolm shader" : message.c_str();
        def->drop();
        return nullptr;
    }
    return def;
}

}  // namespace kolm
