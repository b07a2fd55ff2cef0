#include "fx/CKeEffectDef.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>

namespace kolm {

using namespace irr;

const char* keShaderStageName(s32 stage) {
    switch (stage) {
        case KE_STAGE_TESSELATION: return "TESSELATION";
        case KE_STAGE_VERTEX: return "VERTEX";
        case KE_STAGE_GEOMETRY: return "GEOMETRY";
        case KE_STAGE_FRAGMENT: return "FRAGMENT";
        default: return "";
    }
}

const char* keShaderTargetName(s32 target) {
    switch (target) {
        case KE_TARGET_VS_1_1: return "vs_1_1";
        case KE_TARGET_VS_2_0: return "vs_2_0";
        case KE_TARGET_VS_3_0: return "vs_3_0";
        case KE_TARGET_PS_1_1: return "ps_1_1";
        case KE_TARGET_PS_2_0: return "ps_2_0";
        case KE_TARGET_PS_3_0: return "ps_3_0";
        default: return "";
    }
}

const char* keEffectParamTypeName(s32 type) {
    static const char* const names[] = {"none",      "bool",      "float",     "float2",      "float3",
                                        "float4",    "float4x4",  "int",       "texture1D",   "texture2D",
                                        "texture3D", "textureRECT", "textureCUBE", "textureDEPTH"};
    return type >= 0 && type < s32(sizeof(names) / sizeof(names[0])) ? names[type] : "";
}

// ---- number readers ---------------------------------------------------------------------------

namespace {

bool isSeparator(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Reads the next number; on success `p` moves past its token.
bool nextFloat(const char*& p, f32& out) {
    while (isSeparator(*p)) ++p;
    if (!*p) return false;
    const char* start = p;
    if (*start == '+') ++start;
    const char* end = start + std::strlen(start);
    float v = 0.0f;
    const auto r = std::from_chars(start, end, v);
    if (r.ec != std::errc() || !std::isfinite(v)) {
        if (r.ec != std::errc::result_out_of_range) return false;
        v = 0.0f;
    }
    out = v;
    p = r.ptr;
    while (*p && !isSeparator(*p)) ++p;
    return true;
}

s32 toS32(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return -2147483647 - 1;
    return s32(v);
}

}  // namespace

u32 keReadFloats(const c8* text, f32* values, u32 count) {
    const char* p = text ? text : "";
    u32 n = 0;
    for (; n < count; ++n)
        if (!nextFloat(p, values[n])) break;
    for (u32 i = n; i < count; ++i) values[i] = 0.0f;
    return n;
}

u32 keReadIntsFromFloats(const c8* text, s32* values, u32 count) {
    const char* p = text ? text : "";
    u32 n = 0;
    for (; n < count; ++n) {
        f32 f;
        if (!nextFloat(p, f)) break;
        values[n] = toS32(f);
    }
    for (u32 i = n; i < count; ++i) values[i] = 0;
    return n;
}

bool keReadInt(const c8* text, s32& value) {
    value = 0;
    const char* p = text ? text : "";
    while (isSeparator(*p)) ++p;
    if (*p == '+') ++p;
    long long v = 0;
    const auto r = std::from_chars(p, p + std::strlen(p), v);
    if (r.ec == std::errc::result_out_of_range) {
        value = *p == '-' ? -2147483647 - 1 : 2147483647;
        return true;
    }
    if (r.ec != std::errc()) return false;
    value = toS32(double(v));
    return true;
}

// ---- the definition ---------------------------------------------------------------------------

namespace {

template <typename T> const T* at(const core::array<T>& a, u32 index) { return index < a.size() ? &a[index] : nullptr; }

template <typename T> const T* byName(const core::array<T>& a, const c8* name) {
    if (!name) return nullptr;
    for (u32 i = 0; i < a.size(); ++i)
        if (a[i].name == name) return &a[i];
    return nullptr;
}

}  // namespace

CKeEffectDef::CKeEffectDef(const c8* name, bool targetIsOpenGL) : mName(name ? name : ""), mTargetIsOpenGL(targetIsOpenGL) {}

CKeEffectDef::~CKeEffectDef() {}

const c8* CKeEffectDef::getName() const { return mName.c_str(); }

bool CKeEffectDef::getDesc(SEffectDesc& d) const {
    d.id = mRecord.id.c_str();
    d.name = mRecord.name.c_str();
    d.title = mRecord.title.c_str();
    d.subject = mRecord.subject.c_str();
    d.comments = mRecord.comments.c_str();
    d.parameters = mRecord.parameters.size();
    d.techniques = mRecord.techniques.size();
    d.annotations = mRecord.annotations.size();
    return true;
}

s32 CKeEffectDef::getTechniqueIndexByName(const c8* name) const {
    if (!name) return -1;
    for (u32 i = 0; i < mRecord.techniques.size(); ++i)
        if (mRecord.techniques[i].name == name) return s32(i);
    return -1;
}

const STechnique* CKeEffectDef::getTechnique(u32 index) const { return at(mRecord.techniques, index); }

bool CKeEffectDef::getTechniqueDesc(const STechnique* t, STechniqueDesc& d) const {
    if (!t) return false;
    d.name = t->name.c_str();
    d.passes = t->passes.size();
    d.annotations = t->annotations.size();
    return true;
}

const SPass* CKeEffectDef::getPass(const STechnique* t, u32 index) const { return t ? at(t->passes, index) : nullptr; }

bool CKeEffectDef::getPassDesc(const SPass* p, SPassDesc& d) const {
    if (!p) return false;
    d.name = p->name.c_str();
    d.shaders = p->shaders.size();
    d.states = p->states.size();
    d.evaluates = p->evaluates.size();
    d.annotations = p->annotations.size();
    return true;
}

const SState* CKeEffectDef::getState(const SPass* p, u32 index) const { return p ? at(p->states, index) : nullptr; }

const SState* CKeEffectDef::getStateByName(const SPass* p, const c8* name) const {
    return p ? byName(p->states, name) : nullptr;
}

const SEvaluate* CKeEffectDef::getEvaluate(const SPass* p, u32 index) const {
    return p ? at(p->evaluates, index) : nullptr;
}

const SParameter* CKeEffectDef::getParameter(const SParameter* parent, u32 index) const {
    return parent ? nullptr : at(mRecord.parameters, index);
}

const SParameter* CKeEffectDef::getParameterBySemantic(const SParameter*, const c8* semantic) const {
    if (!semantic) return nullptr;
    for (u32 i = 0; i < mRecord.parameters.size(); ++i)
        if (mRecord.parameters[i].semantic == semantic) return &mRecord.parameters[i];
    return nullptr;
}

const SParameter* CKeEffectDef::getParameterByName(const SParameter*, const c8* name) const {
    return byName(mRecord.parameters, name);
}

s32 CKeEffectDef::getParameterIndex(const SParameter* p) const {
    const u32 n = mRecord.parameters.size();
    if (!p || n == 0) return -1;
    const SParameter* first = &mRecord.parameters[0];
    const std::less<const SParameter*> less;
    if (less(p, first) || !less(p, first + n)) return -1;
    return s32(p - first);
}

s32 CKeEffectDef::getTextureParameterBySemantic(const SParameter*, const c8* semantic) const {
    if (!semantic) return -1;
    for (u32 i = 0; i < mRecord.parameters.size(); ++i) {
        const SParameter& p = mRecord.parameters[i];
        if (keIsTextureParamType(p.type) && p.semantic == semantic) return s32(i);
    }
    return -1;
}

const SShader* CKeEffectDef::getShader(const SPass* p, u32 index) const { return p ? at(p->shaders, index) : nullptr; }

bool CKeEffectDef::getShaderDesc(const SShader* s, SShaderDesc& d) const {
    if (!s) return false;
    d.stage = s->stage;
    d.entry = s->entry.c_str();
    d.sourceFile = s->sourceFile.c_str();
    d.inlines = s->inlines.size();
    d.target = s->target;
    d.binds = s->binds.size();
    return true;
}

bool CKeEffectDef::getShaderInline(const SShader* s, u32 index, const c8*& text) const {
    if (!s || index >= s->inlines.size()) {
        text = "";
        return false;
    }
    text = s->inlines[index].c_str();
    return true;
}

const SParameter* CKeEffectDef::getBind(const SShader* s, u32 index) const { return s ? at(s->binds, index) : nullptr; }

const SParameter* CKeEffectDef::getBindParameter(const SParameter* bind) const {
    return bind ? byName(mRecord.parameters, bind->text.c_str()) : nullptr;
}

bool CKeEffectDef::getParameterDesc(const SParameter* p, SParameterDesc& d) const {
    if (!p) return false;
    d.name = p->name.c_str();
    d.semantic = p->semantic.c_str();
    d.type = p->type;
    d.annotations = p->annotations.size();
    return true;
}

const core::array<SParameter>* CKeEffectDef::annotationsOf(const SElement* e) const {
    if (!e) return &mRecord.annotations;
    switch (e->kind) {
        case KE_FX_PARAMETER: return &static_cast<const SParameter*>(e)->annotations;
        case KE_FX_PASS: return &static_cast<const SPass*>(e)->annotations;
        case KE_FX_TECHNIQUE: return &static_cast<const STechnique*>(e)->annotations;
        case KE_FX_EFFECT: return &static_cast<const SEffectRecord*>(e)->annotations;
        default: return nullptr;
    }
}

const SParameter* CKeEffectDef::getAnnotation(const SElement* e, u32 index) const {
    const core::array<SParameter>* a = annotationsOf(e);
    return a ? at(*a, index) : nullptr;
}

const SParameter* CKeEffectDef::getAnnotationByName(const SElement* e, const c8* name) const {
    const core::array<SParameter>* a = annotationsOf(e);
    return a ? byName(*a, name) : nullptr;
}

bool CKeEffectDef::getFloat(const SParameter* p, f32& value) const {
    value = 0.0f;
    return p && keReadFloats(p->text.c_str(), &value, 1) == 1;
}

bool CKeEffectDef::getFloatArray(const SParameter* p, f32* values, u32 count) const {
    if (!values) return false;
    return keReadFloats(p ? p->text.c_str() : "", values, count) == count && p;
}

bool CKeEffectDef::getBool(const SParameter* p, bool& value) const {
    s32 v = 0;
    const bool ok = p && keReadInt(p->text.c_str(), v);
    value = v != 0;
    return ok;
}

bool CKeEffectDef::getInt(const SParameter* p, s32& value) const {
    value = 0;
    return p && keReadInt(p->text.c_str(), value);
}

bool CKeEffectDef::getIntArray(const SParameter* p, s32* values, u32 count) const {
    if (!values) return false;
    return keReadIntsFromFloats(p ? p->text.c_str() : "", values, count) == count && p;
}

bool CKeEffectDef::getMatrix(const SParameter* p, f32* values16) const {
    if (!p || !values16) return false;
    f32 m[16];
    if (keReadFloats(p->text.c_str(), m, 16) != 16) return false;
    std::memcpy(values16, m, sizeof(m));
    return true;
}

bool CKeEffectDef::getElementName(const SElement* e, const c8*& name) const {
    name = "";
    if (!e) return false;
    switch (e->kind) {
        case KE_FX_PARAMETER: name = static_cast<const SParameter*>(e)->name.c_str(); return true;
        case KE_FX_SHADER: return true;  // shaders have no name
        case KE_FX_STATE: name = static_cast<const SState*>(e)->name.c_str(); return true;
        case KE_FX_EVALUATE: name = static_cast<const SEvaluate*>(e)->name.c_str(); return true;
        case KE_FX_PASS: name = static_cast<const SPass*>(e)->name.c_str(); return true;
        case KE_FX_TECHNIQUE: name = static_cast<const STechnique*>(e)->name.c_str(); return true;
        case KE_FX_EFFECT: name = static_cast<const SEffectRecord*>(e)->name.c_str(); return true;
        default: return false;
    }
}

bool CKeEffectDef::getElementText(const SElement* e, const c8*& text) const {
    text = "";
    if (!e) return false;
    switch (e->kind) {
        case KE_FX_PARAMETER: text = static_cast<const SParameter*>(e)->text.c_str(); return true;
        case KE_FX_STATE: text = static_cast<const SState*>(e)->value.c_str(); return true;
        case KE_FX_EVALUATE: text = static_cast<const SEvaluate*>(e)->value.c_str(); return true;
        default: return e->kind >= KE_FX_PARAMETER && e->kind <= KE_FX_EFFECT;
    }
}

bool CKeEffectDef::getSamplerDesc(const SParameter* p, SSamplerDesc& d) const {
    if (!p) return false;
    d.imageUrl = p->imageUrl.c_str();
    d.wrapS = p->wrapS.c_str();
    d.wrapT = p->wrapT.c_str();
    d.wrapP = p->wrapP.c_str();
    d.minFilter = p->minFilter.c_str();
    d.magFilter = p->magFilter.c_str();
    d.mipFilter = p->mipFilter.c_str();
    return true;
}

bool CKeEffectDef::getStateDesc(const SState* s, SStateDesc& d) const {
    if (!s) return false;
    d.name = s->name.c_str();
    d.value = s->value.c_str();
    d.paramRef = s->paramRef.c_str();
    d.index = s->index;
    return true;
}

const SParameter* CKeEffectDef::getStateParameter(const SState* s) const {
    if (!s || s->paramRef.empty()) return nullptr;
    return byName(mRecord.parameters, s->paramRef.c_str());
}

bool CKeEffectDef::getEvaluateDesc(const SEvaluate* e, SEvaluateDesc& d) const {
    if (!e) return false;
    d.name = e->name.c_str();
    d.index = e->index;
    d.paramRef = e->paramRef.c_str();
    d.value = e->value.c_str();
    return true;
}

const SParameter* CKeEffectDef::getEvaluateParameter(const SEvaluate* e) const {
    if (!e || e->paramRef.empty()) return nullptr;
    return byName(mRecord.parameters, e->paramRef.c_str());
}

}  // namespace kolm
