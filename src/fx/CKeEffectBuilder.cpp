#include "fx/CKeEffectBuilder.h"

#include "core/KeError.h"
#include "files/KeFilePaths.h"
#include "fx/IKeGPUProgrammingServices.h"

#include <strings.h>

#include <cstring>

namespace kolm {

using namespace irr;

namespace {

bool same(const c8* a, const c8* b) { return a && b && strcasecmp(a, b) == 0; }
const c8* orNull(const c8* s) { return s && *s ? s : "<null>"; }

// The directory part of a path ("" when it has none).
std::string dirOf(const c8* path) {
    const std::string p = path ? path : "";
    const size_t slash = p.find_last_of('/');
    return slash == std::string::npos ? std::string() : p.substr(0, slash);
}

const c8* baseName(const c8* path) {
    const c8* slash = path ? std::strrchr(path, '/') : nullptr;
    return slash ? slash + 1 : (path ? path : "");
}

bool exists(const std::string& path) { return !path.empty() && keFileExist(path.c_str()) == 1; }

}  // namespace

CKeEffectBuilder::CKeEffectBuilder(const KeEffectBuildInputs& inputs, IKeEffectDef* def,
                                   core::array<SKeFxParameter>& cells, core::array<SKeFxTechnique>& techniques)
    : m_in(inputs), m_def(def), m_cells(cells), m_techniques(techniques) {
    struct Step {
        bool (CKeEffectBuilder::*run)();
        const c8* fallback;
    };
    static const Step steps[] = {
        {&CKeEffectBuilder::initParameters, "Unknown error init parameters"},
        {&CKeEffectBuilder::initTechniques, "Unknown error init techniques"},
        {&CKeEffectBuilder::loadTextures, "Unknown error load textures"},
        {&CKeEffectBuilder::setMaterialLayers, "Unknown error set Material Layers"},
    };
    m_ok = true;
    for (const Step& s : steps) {
        if ((this->*s.run)()) continue;
        m_ok = false;
        if (m_error.empty()) m_error = s.fallback;
        break;
    }
    if (!m_ok && m_error.empty()) m_error = "Unknown error";
}

bool CKeEffectBuilder::fail(const c8* text) {
    if (m_error.empty()) m_error = text;
    return false;
}

// --- tables ---------------------------------------------------------------------------------

u8 CKeEffectBuilder::wrapMode(const c8* t) {
    if (same(t, "WRAP") || same(t, "REPEAT")) return video::ETC_REPEAT;
    if (same(t, "CLAMP")) return video::ETC_CLAMP;
    if (same(t, "CLAMP_TO_EDGE")) return video::ETC_CLAMP_TO_EDGE;
    if (same(t, "CLAMP_TO_BORDER") || same(t, "BORDER")) return video::ETC_CLAMP_TO_BORDER;
    if (same(t, "MIRROR")) return video::ETC_MIRROR;
    if (same(t, "MIRROR_CLAMP") || same(t, "MIRRORED_REPEAT")) return video::ETC_MIRROR_CLAMP;
    if (same(t, "MIRROR_CLAMP_TO_EDGE")) return video::ETC_MIRROR_CLAMP_TO_EDGE;
    if (same(t, "MIRROR_CLAMP_TO_BORDER") || same(t, "MIRROR_ONCE")) return video::ETC_MIRROR_CLAMP_TO_BORDER;
    return video::ETC_REPEAT;
}

s32 CKeEffectBuilder::blendFactorOfText(const c8* t) {
    static const c8* const names[] = {"ZERO",      "ONE",           "DEST_COLOR", "ONE_MINUS_DEST_COLOR",
                                      "SRC_COLOR", "ONE_MINUS_SRC_COLOR", "SRC_ALPHA", "ONE_MINUS_SRC_ALPHA",
                                      "DEST_ALPHA", "ONE_MINUS_DEST_ALPHA", "SRC_ALPHA_SATURATE"};
    for (s32 i = 0; i < s32(sizeof(names) / sizeof(names[0])); ++i)
        if (same(t, names[i])) return i;  // E_BLEND_FACTOR in the same order
    return -1;
}

bool CKeEffectBuilder::baseMaterialOfText(const c8* t, s32& material, u32& bits) {
    static const struct {
        const c8* text;
        video::E_MATERIAL_TYPE material;
        u32 bits;
    } table[] = {
        {"solid", video::EMT_SOLID, 0},
        {"transparent_add_color", video::EMT_TRANSPARENT_ADD_COLOR, 0},
        {"transparent_vertex_alpha", video::EMT_TRANSPARENT_VERTEX_ALPHA, 0},
        {"transparent", video::EMT_TRANSPARENT_ALPHA_CHANNEL, 0},
        {"transparent_alpha_channel", video::EMT_TRANSPARENT_ALPHA_CHANNEL, 0},
        {"transparent_alpha_channel_ref", video::EMT_TRANSPARENT_ALPHA_CHANNEL_REF, 0},
        {"transparent_one_one", video::EMT_ONETEXTURE_BLEND, 0x111},
        {"transparent_sub_color", video::EMT_ONETEXTURE_BLEND, 0x105},
    };
    for (const auto& row : table)
        if (same(t, row.text)) {
            material = row.material;
            bits = row.bits;
            return true;
        }
    return false;
}

// --- parameters -----------------------------------------------------------------------------

bool CKeEffectBuilder::initParameters() {
    SEffectDesc ed;
    if (!m_def->getDesc(ed)) return fail("Failed to get effect description");
    m_cells.reallocate(ed.parameters);
    for (u32 i = 0; i < ed.parameters; ++i) {
        const SParameter* p = m_def->getParameter(nullptr, i);
        SParameterDesc pd;
        if (!p || !m_def->getParameterDesc(p, pd)) return fail("Failed to get parameter from description");
        SKeFxParameter cell;
        switch (pd.type) {
            case KE_FXP_BOOL: {
                bool b = false;
                m_def->getBool(p, b);
                cell.data[0] = b ? 1 : 0;
                break;
            }
            case KE_FXP_FLOAT: m_def->getFloat(p, cell.floats()[0]); break;
            case KE_FXP_FLOAT2: m_def->getFloatArray(p, cell.floats(), 2); break;
            case KE_FXP_FLOAT3: m_def->getFloatArray(p, cell.floats(), 3); break;
            case KE_FXP_FLOAT4: m_def->getFloatArray(p, cell.floats(), 4); break;
            case KE_FXP_FLOAT4X4: m_def->getFloatArray(p, cell.floats(), 16); break;
            case KE_FXP_INT: {
                s32 v = 0;
                m_def->getInt(p, v);
                std::memcpy(cell.data, &v, 4);
                break;
            }
            default:
                if (keIsTextureParamType(pd.type) && !initSampler(p, cell)) return false;
                break;
        }
        m_cells.push_back(cell);
    }
    return true;
}

bool CKeEffectBuilder::initSampler(const SParameter* p, SKeFxParameter& cell) {
    SSamplerDesc sd;
    if (!m_def->getSamplerDesc(p, sd)) return fail("Failed to get sampler info for parameter");
    SKeFxTextureLayer& l = cell.layer;
    cell.setTexture(nullptr);
    l.wrapU = wrapMode(sd.wrapS);
    l.wrapV = wrapMode(sd.wrapT);
    l.bilinear = true;
    l.trilinear = false;
    l.anisotropy = 0;
    if (same(sd.minFilter, "NEAREST")) l.bilinear = false;
    else if (same(sd.minFilter, "LINEAR")) l.bilinear = true;
    else if (same(sd.minFilter, "ANISOTROPIC")) l.anisotropy = 8;
    if (same(sd.magFilter, "NEAREST")) l.bilinear = false;
    else if (same(sd.magFilter, "LINEAR")) l.bilinear = true;
    if (same(sd.mipFilter, "LINEAR")) l.trilinear = true;
    l.lodBias = 0;
    const SParameter* srgb = m_def->getAnnotationByName(p, "SRGB");
    l.srgb = srgb && same(srgb->text.c_str(), "true");
    return true;
}

// --- techniques -----------------------------------------------------------------------------

bool CKeEffectBuilder::initTechniques() {
    SEffectDesc ed;
    if (!m_def->getDesc(ed)) return fail("Failed to get effect description");
    m_techniques.reallocate(ed.techniques);
    for (u32 t = 0; t < ed.techniques; ++t) {
        const STechnique* tech = m_def->getTechnique(t);
        STechniqueDesc td;
        if (!tech || !m_def->getTechniqueDesc(tech, td)) return fail("Failed to get technique description");
        m_techniques.push_back(SKeFxTechnique());
        SKeFxTechnique& out = m_techniques.getLast();
        out.technique = tech;
        out.passes.reallocate(td.passes);
        for (u32 p = 0; p < td.passes; ++p) {
            out.passes.push_back(SKeFxPass());
            if (!initPass(m_def->getPass(tech, p), out.passes.getLast())) return false;
        }
    }
    return true;
}

bool CKeEffectBuilder::initPass(const SPass* pass, SKeFxPass& out) {
    s32 materialType = -1, base = 0;
    u32 bits = 0;
    if (!compilePass(pass, materialType, base, bits)) return false;
    out.baseMaterial = base;
    SPassDesc pd;
    if (!m_def->getPassDesc(pass, pd)) return fail("Failed to get pass description");
    out.shaders.reallocate(pd.shaders);
    for (u32 s = 0; s < pd.shaders; ++s) {
        out.shaders.push_back(SKeFxShader());
        if (!initShader(m_def->getShader(pass, s), materialType, out.shaders.getLast())) return false;
    }
    if (!initPassTextureStates(pass, out)) return false;
    for (u32 s = 0; s < out.shaders.size(); ++s)
        for (u32 c = 0; c < out.shaders[s].constants.size(); ++c) out.addBind(out.shaders[s].constants[c].bind);
    out.material.MaterialType = video::E_MATERIAL_TYPE(materialType);
    std::memcpy(&out.material.MaterialTypeParam, &bits, 4);  // the bits of the float, not a value
    out.material.MaterialTypeParam2 = 0.0f;
    return true;
}

bool CKeEffectBuilder::initShader(const SShader* shader, s32 materialType, SKeFxShader& out) {
    SShaderDesc sd;
    if (!shader || !m_def->getShaderDesc(shader, sd)) return fail("Failed to get Shader Desc");
    out.stage = sd.stage;
    for (u32 b = 0; b < sd.binds; ++b) {
        const SParameter* bind = m_def->getBind(shader, b);
        const c8* symbol = nullptr;
        if (!bind || !m_def->getElementName(bind, symbol) || !symbol || !*symbol)
            return fail("Failed to get Bind name");
        const SParameter* parameter = m_def->getBindParameter(bind);
        if (!parameter) {
            const c8* text = nullptr;
            m_def->getElementText(bind, text);
            core::stringc e = "failed to get Param '";
            e += text ? text : "??";
            e += "' for the Bind '";
            e += symbol;
            e += "'";
            return fail(e.c_str());
        }
        SParameterDesc pd;
        if (!m_def->getParameterDesc(parameter, pd)) return fail("Failed to get Parameter Desc");
        if (pd.type >= KE_FXP_BOOL && pd.type <= KE_FXP_INT) {
            if (!initConstantBind(shader, sd, symbol, parameter, pd, materialType, out)) return false;
        } else if (keIsTextureParamType(pd.type)) {
            if (!initTextureBind(sd, symbol, parameter, pd, materialType, out)) return false;
        }
    }
    // Unnumbered samplers take the lowest indices no other sampler of the shader holds.
    s32 next = 0;
    for (u32 t = 0; t < out.textures.size(); ++t) {
        if (out.textures[t].sampler != -1) continue;
        for (bool taken = true; taken;) {
            taken = false;
            for (u32 o = 0; o < out.textures.size(); ++o)
                if (out.textures[o].sampler == next) {
                    taken = true;
                    ++next;
                    break;
                }
        }
        out.textures[t].sampler = next++;
    }
    return true;
}

bool CKeEffectBuilder::initConstantBind(const SShader*, const SShaderDesc& sd, const c8* symbol,
                                        const SParameter* parameter, const SParameterDesc& pd, s32 materialType,
                                        SKeFxShader& out) {
    SKeFxConstBind c;
    c.stage = sd.stage;
    c.type = pd.type;
    c.symbol = symbol;
    c.semantic = pd.semantic ? pd.semantic : "";
    c.cell = m_def->getParameterIndex(parameter);
    c.floatCount = pd.type == KE_FXP_FLOAT2 ? 2 : pd.type == KE_FXP_FLOAT3 ? 3 : pd.type == KE_FXP_FLOAT4 ? 4
                   : pd.type == KE_FXP_FLOAT4X4 ? 16 : 1;
    bool found = false;
    if (sd.stage == KE_STAGE_VERTEX)
        found = m_in.services && m_in.services->getVertexConstantRegisters(materialType, symbol, c.registerIndex, c.registerCount);
    else if (sd.stage == KE_STAGE_FRAGMENT)
        found = m_in.services && m_in.services->getPixelConstantRegisters(materialType, symbol, c.registerIndex, c.registerCount);
    else
        return fail("initConstantBind: Unsupported shader stage");
    if (!found) return true;  // the compiled shader does not use the uniform
    const core::array<IKeEffectBind*>* binds = m_in.binds;
    for (u32 i = 0; binds && i < binds->size(); ++i) {
        u8 data[8] = {};
        KeBindFunction f = (*binds)[i]->getBindFunction(c, data);
        if (!f) continue;
        c.bind = (*binds)[i];
        c.function = f;
        std::memcpy(c.data, data, 8);
        if (i + 1 == binds->size() && *c.semantic)
            printMessage(KE_WARN, "Warning: %s: the Semantic '%s' has no corresponding binding",
                         baseName(m_def->getName()), c.semantic);
        out.constants.push_back(c);
        return true;
    }
    core::stringc e = "failed to get a bind function for ";
    e += symbol;
    return fail(e.c_str());
}

bool CKeEffectBuilder::initTextureBind(const SShaderDesc& sd, const c8* symbol, const SParameter* parameter,
                                       const SParameterDesc& pd, s32 materialType, SKeFxShader& out) {
    SKeFxTextureBind t;
    t.stage = sd.stage;
    t.type = pd.type;
    t.symbol = symbol;
    t.parameter = m_def->getParameterIndex(parameter);
    bool found = false;
    if (sd.stage == KE_STAGE_VERTEX)
        found = m_in.services && m_in.services->getVertexSamplerIndex(materialType, symbol, t.sampler);
    else if (sd.stage == KE_STAGE_FRAGMENT)
        found = m_in.services && m_in.services->getPixelSamplerIndex(materialType, symbol, t.sampler);
    else
        return fail("initTextureBind: Unsupported shader stage");
    if (found) out.textures.push_back(t);
    return true;
}

bool CKeEffectBuilder::initPassTextureStates(const SPass* pass, SKeFxPass& out) {
    SPassDesc pd;
    if (!m_def->getPassDesc(pass, pd)) return fail("Failed to get pass description");
    SKeFxShader* pixel = nullptr;
    for (u32 s = 0; s < out.shaders.size(); ++s)
        if (out.shaders[s].stage == KE_STAGE_FRAGMENT) pixel = &out.shaders[s];
    if (!pixel) return true;
    for (u32 i = 0; i < pd.states; ++i) {
        SStateDesc st;
        if (!m_def->getStateDesc(m_def->getState(pass, i), st)) continue;
        if (std::strcmp(st.name, "texture1D") != 0 && std::strcmp(st.name, "texture2D") != 0 &&
            std::strcmp(st.name, "texture3D") != 0 && std::strcmp(st.name, "textureCUBE") != 0)
            continue;
        const SParameter* p = m_def->getParameterByName(nullptr, st.paramRef);
        if (!p) {
            core::stringc e = "failed to get Param '";
            e += st.paramRef;
            e += "' for the texture state'";
            e += st.name;
            e += "'";
            return fail(e.c_str());
        }
        SKeFxTextureBind t;
        t.stage = KE_STAGE_FRAGMENT;
        t.type = p->type;
        t.parameter = m_def->getParameterIndex(p);
        t.sampler = st.index;
        pixel->textures.push_back(t);
    }
    return true;
}

// --- compile parameters ---------------------------------------------------------------------

bool CKeEffectBuilder::getPassShaderFiles(const SPass* pass, CompileParams& cp) {
    SPassDesc pd;
    if (!m_def->getPassDesc(pass, pd)) return fail("Failed to get pass description");
    for (u32 s = 0; s < pd.shaders; ++s) {
        SShaderDesc sd;
        if (!m_def->getShaderDesc(m_def->getShader(pass, s), sd)) return fail("Failed to get Shader Desc");
        if (sd.stage != KE_STAGE_VERTEX && sd.stage != KE_STAGE_FRAGMENT) continue;
        const std::string source = sd.sourceFile ? sd.sourceFile : "";
        const size_t at = source.find("file://");
        const std::string file = at == std::string::npos ? source : source.substr(at + 7);
        const bool vertex = sd.stage == KE_STAGE_VERTEX;
        if (file.empty())
            return fail(((vertex ? "Inconsistent Vertex Shader Filename " : "Inconsistent Pixel Shader Filename ") +
                         source).c_str());
        if (vertex) {
            cp.vertexFile = file;
            cp.vertexEntry = sd.entry ? sd.entry : "";
            switch (sd.target) {
                case KE_TARGET_VS_1_1: cp.vertexTarget = video::EVST_VS_1_1; break;
                case KE_TARGET_VS_2_0: cp.vertexTarget = video::EVST_VS_2_0; break;
                case KE_TARGET_VS_3_0: cp.vertexTarget = video::EVST_VS_3_0; break;
                default: return fail("Unsupported Vertex Compiler target");
            }
        } else {
            cp.pixelFile = file;
            cp.pixelEntry = sd.entry ? sd.entry : "";
            switch (sd.target) {
                case KE_TARGET_PS_1_1: cp.pixelTarget = video::EPST_PS_1_1; break;
                case KE_TARGET_PS_2_0: cp.pixelTarget = video::EPST_PS_2_0; break;
                case KE_TARGET_PS_3_0: cp.pixelTarget = video::EPST_PS_3_0; break;
                default: return fail("Unsupported Pixel Compiler target");
            }
        }
    }
    return true;
}

bool CKeEffectBuilder::getPassBaseMaterial(const SPass* pass, s32& material, u32& bits) {
    const SState* enable = m_def->getStateByName(pass, "blend_enable");
    if (enable && same(enable->value.c_str(), "true")) {
        const SState* src = m_def->getStateByName(pass, "blend_func src");
        const SState* dst = m_def->getStateByName(pass, "blend_func dest");
        s32 s = video::EBF_ONE, d = video::EBF_ZERO;
        if (src) {
            s = blendFactorOfText(src->value.c_str());
            if (s < 0) s = video::EBF_ONE;
        }
        if (dst) {
            d = blendFactorOfText(dst->value.c_str());
            if (d < 0) d = video::EBF_ONE;
        }
        material = video::EMT_ONETEXTURE_BLEND;
        bits = 0x2100u | (u32(s) << 4) | u32(d);
        return true;
    }
    material = -1;
    bits = 0;
    const SParameter* a = m_def->getAnnotationByName(pass, "baseMaterial");
    if (!a || a->text.empty()) return true;
    if (baseMaterialOfText(a->text.c_str(), material, bits)) return true;
    material = -1;
    return fail((core::stringc("Invalid base material annotation ") + a->text).c_str());
}

bool CKeEffectBuilder::parseInline(const c8* text, std::vector<SShaderMacro>& out, core::stringc& error) {
    const c8* p = text ? std::strstr(text, "#define") : nullptr;
    if (!p) {
        error = "Invalid source inline : no #define";
        return false;
    }
    p += 7;
    auto sep = [](c8 c) { return c == ' ' || c == '\t'; };
    while (sep(*p)) ++p;
    if (!*p) {
        error = "Invalid source inline : malformed after #define";
        return false;
    }
    const c8* name = p;
    while (*p && !sep(*p)) ++p;
    SShaderMacro m;
    m.name.assign(name, size_t(p - name));
    while (sep(*p)) ++p;
    m.value = p;
    out.push_back(m);
    return true;
}

void CKeEffectBuilder::mergeMacros(std::vector<SShaderMacro>& list, const std::vector<SShaderMacro>& add) {
    for (const SShaderMacro& b : add) {
        bool found = false;
        for (const SShaderMacro& a : list)
            if (a.name == b.name) {
                found = true;
                if (a.value != b.value)
                    printMessage(KE_WARN, "Warning: when merging macros, duplicate %s with different definitions '%s' and '%s' ",
                                 b.name.c_str(), a.value.c_str(), b.value.c_str());
                break;
            }
        if (!found) list.push_back(b);
    }
}

bool CKeEffectBuilder::parseInlineMacros(const SPass* pass, std::vector<SShaderMacro>& out) {
    SPassDesc pd;
    if (!m_def->getPassDesc(pass, pd)) return fail("Failed to get pass description");
    for (u32 s = 0; s < pd.shaders; ++s) {
        const SShader* shader = m_def->getShader(pass, s);
        SShaderDesc sd;
        if (!m_def->getShaderDesc(shader, sd)) return fail("Failed to get Shader Desc");
        std::vector<SShaderMacro> own;
        for (u32 i = 0; i < sd.inlines; ++i) {
            const c8* text = nullptr;
            if (!m_def->getShaderInline(shader, i, text)) return fail("Failed to get source inline");
            std::vector<SShaderMacro> one;
            core::stringc error;
            if (!parseInline(text, one, error)) return fail(error.c_str());
            mergeMacros(own, one);
        }
        mergeMacros(out, own);
    }
    return true;
}

std::string CKeEffectBuilder::resolveShaderFile(const std::string& file) const {
    // An absolute path names its file: no search directory may shadow it.
    if (!file.empty() && file[0] == '/' && exists(file)) return file;
    const std::string dir = dirOf(m_def->getName());
    if (exists(dir + "/" + file)) return dir + "/" + file;
    if (m_in.shaderDirectories)
        for (u32 i = 0; i < m_in.shaderDirectories->size(); ++i) {
            const std::string p = std::string((*m_in.shaderDirectories)[i].c_str()) + "/" + file;
            if (exists(p)) return p;
        }
    return file;
}

bool CKeEffectBuilder::compilePass(const SPass* pass, s32& materialType, s32& baseMaterial, u32& paramBits) {
    CompileParams cp;
    if (!getPassShaderFiles(pass, cp)) return false;
    s32 base = -1;
    u32 bits = 0;
    if (!getPassBaseMaterial(pass, base, bits)) return false;
    if (base == -1) {
        base = m_in.baseMaterial != -1 ? m_in.baseMaterial : s32(video::EMT_SOLID);
        bits = 0;
    }
    std::vector<SShaderMacro> merged;
    for (const CKeMacro* m = m_in.macros; m && m->Name; ++m)
        merged.push_back(SShaderMacro{m->Name, m->Definition ? m->Definition : ""});
    std::vector<SShaderMacro> inl;
    if (!parseInlineMacros(pass, inl)) return false;
    mergeMacros(merged, inl);
    std::vector<CKeMacro> list;
    for (const SShaderMacro& m : merged)
        if (!m.name.empty()) list.push_back({m.name.c_str(), m.value.empty() ? nullptr : m.value.c_str()});
    const bool anyMacro = !list.empty();
    list.push_back({nullptr, nullptr});
    const std::string vs = resolveShaderFile(cp.vertexFile);
    const std::string ps = resolveShaderFile(cp.pixelFile);
    if (!m_in.services) return fail("No shader compilation services");
    core::stringc error;
    materialType = m_in.services->getShaderMaterial(vs.c_str(), cp.vertexEntry.c_str(), cp.vertexTarget, ps.c_str(),
                                                    cp.pixelEntry.c_str(), cp.pixelTarget, m_in.callback,
                                                    video::E_MATERIAL_TYPE(base), 0, anyMacro ? list.data() : nullptr,
                                                    &error);
    if (materialType == -1) return fail(error.empty() ? "Unknown error" : error.c_str());
    paramBits = bits;
    baseMaterial = base;
    return true;
}

// --- textures -------------------------------------------------------------------------------

bool CKeEffectBuilder::loadTextures() {
    SEffectDesc ed;
    if (!m_def->getDesc(ed)) return fail("Failed to get effect description");
    for (u32 i = 0; i < ed.parameters && i < m_cells.size(); ++i) {
        const SParameter* p = m_def->getParameter(nullptr, i);
        if (!p || !keIsTextureParamType(p->type)) continue;
        bool bound = false;
        for (u32 t = 0; t < m_techniques.size() && !bound; ++t)
            for (u32 q = 0; q < m_techniques[t].passes.size() && !bound; ++q)
                for (u32 s = 0; s < m_techniques[t].passes[q].shaders.size() && !bound; ++s) {
                    const SKeFxShader& sh = m_techniques[t].passes[q].shaders[s];
                    for (u32 b = 0; b < sh.textures.size(); ++b)
                        if (sh.textures[b].parameter == s32(i)) bound = true;
                }
        if (!bound) {
            printMessage(KE_DEBUG,
                         "CKeEffectBuilder::loadTextures : The Texture Parameter '%s' is not bound to any shader sampler, do not load texture.",
                         p->name.c_str());
            continue;
        }
        if (!loadParameterTexture(p, i)) return false;
    }
    return true;
}

bool CKeEffectBuilder::loadParameterTexture(const SParameter* p, u32 index) {
    SSamplerDesc sd;
    if (!m_def->getSamplerDesc(p, sd)) return fail("Failed to get sampler info for parameter");
    SKeFxParameter& cell = m_cells[index];
    cell.setTexture(nullptr);
    if (!m_in.resolvers) return true;
    const c8* semantic = p->semantic.c_str();
    const c8* url = sd.imageUrl;
    if (!*semantic && !(url && *url)) return true;
    const std::string dir = dirOf(m_def->getName());
    static const core::array<core::stringc> noDirectories;
    for (u32 r = 0; r < m_in.resolvers->size(); ++r) {
        bool failed = false;
        video::ITexture* t = (*m_in.resolvers)[r]->resolve(
            p->type, semantic, url, dir.c_str(), m_in.textureDirectories ? *m_in.textureDirectories : noDirectories,
            failed);
        if (failed) {
            core::stringc e = "Failed to get Texture [ Semantic=";
            e += orNull(semantic);
            e += " ImageUrl=";
            e += orNull(url);
            e += " ] of parameter ";
            e += p->name.empty() ? "<Unknown!>" : p->name.c_str();
            return fail(e.c_str());
        }
        if (t) {
            printMessage(KE_DEBUG, "CKeEffectBuilder::loadParameterTexture : loaded Semantic='%s' Url='%s'", semantic,
                         url ? url : "");
            cell.setTexture(t);
            return true;
        }
    }
    return true;
}

bool CKeEffectBuilder::setMaterialLayers() {
    for (u32 t = 0; t < m_techniques.size(); ++t)
        for (u32 q = 0; q < m_techniques[t].passes.size(); ++q) {
            SKeFxPass& pass = m_techniques[t].passes[q];
            for (u32 s = 0; s < pass.shaders.size(); ++s) {
                const SKeFxShader& sh = pass.shaders[s];
                if (sh.stage != KE_STAGE_FRAGMENT) continue;
                for (u32 b = 0; b < sh.textures.size(); ++b) {
                    const SKeFxTextureBind& tb = sh.textures[b];
                    if (tb.sampler < 0 || tb.sampler > 7) return fail("Sampler illegal index > MATERIAL_MAX_TEXTURES");
                    if (tb.parameter < 0 || u32(tb.parameter) >= m_cells.size()) continue;
                    pass.layers[tb.sampler] = m_cells[u32(tb.parameter)].layer;
                    keApplyTextureLayer(u32(tb.sampler), pass.layers[tb.sampler], pass.material, nullptr);
                }
            }
        }
    return true;
}

}  // namespace kolm
