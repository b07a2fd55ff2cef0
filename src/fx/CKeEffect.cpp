#include "fx/CKeEffect.h"

#include "core/KeAssert.h"
#include "core/KeError.h"
#include "fx/CKeEffectBuilder.h"
#include "gl/KeGlTexture.h"

#include <irrlicht/IMaterialRendererServices.h>

#include <algorithm>
#include <cstring>

namespace kolm {

using namespace irr;

// --- runtime records ---------------------------------------------------------------------

SKeFxPass::SKeFxPass(const SKeFxPass& o) : material(o.material), shaders(o.shaders), binds(o.binds) {
    for (u32 i = 0; i < KE_MATERIAL_LAYERS; ++i) layers[i] = o.layers[i];
    for (u32 i = 0; i < binds.size(); ++i) binds[i]->grab();
}

SKeFxPass& SKeFxPass::operator=(const SKeFxPass& o) {
    if (this == &o) return *this;
    for (u32 i = 0; i < o.binds.size(); ++i) o.binds[i]->grab();
    for (u32 i = 0; i < binds.size(); ++i) binds[i]->drop();
    material = o.material;
    for (u32 i = 0; i < KE_MATERIAL_LAYERS; ++i) layers[i] = o.layers[i];
    shaders = o.shaders;
    binds = o.binds;
    return *this;
}

SKeFxPass::~SKeFxPass() {
    for (u32 i = 0; i < binds.size(); ++i) binds[i]->drop();
}

void SKeFxPass::addBind(IKeEffectBind* bind) {
    if (!bind) return;
    for (u32 i = 0; i < binds.size(); ++i)
        if (binds[i] == bind) return;
    bind->grab();
    binds.push_back(bind);
}

void keApplyTextureLayer(u32 index, const SKeFxTextureLayer& s, video::SMaterial& material, KeMaterialBinding* side) {
    if (index >= KE_MATERIAL_LAYERS) return;
    const bool engineOwned = s.texture && keAsEngineTexture(s.texture);
    auto fill = [&](video::SMaterialLayer& l, video::ITexture* t) {
        l.Texture = t;
        l.TextureWrapU = s.wrapU;
        l.TextureWrapV = s.wrapV;
        l.BilinearFilter = s.bilinear;
        l.TrilinearFilter = s.trilinear;
        l.AnisotropicFilter = s.anisotropy;
        l.LODBias = s.lodBias;
    };
    if (index < KE_LIBRARY_LAYERS) fill(material.TextureLayer[index], engineOwned ? nullptr : s.texture);
    if (side) {
        fill(side->layers[index], index < KE_LIBRARY_LAYERS && !engineOwned ? nullptr : s.texture);
        side->layerFlags[index] = s.srgb ? KE_LAYER_SRGB : 0;
    }
}

// --- the effect --------------------------------------------------------------------------

CKeEffect::CKeEffect(const KeEffectBuildInputs& inputs, IKeEffectDef* def) : m_def(def) {
    KE_ASSERT(def);
    m_def->grab();
    CKeEffectBuilder builder(inputs, m_def, m_cells, m_techniques);
    m_valid = builder.succeeded();
    m_error = builder.getError();
}

CKeEffect::CKeEffect(const CKeEffect& o)
    : m_def(o.m_def), m_cells(o.m_cells), m_techniques(o.m_techniques), m_valid(o.m_valid), m_error(o.m_error) {
    m_def->grab();
    // Constant binds address cells by index: the copies read this effect's own cells.
    for (u32 t = 0; t < m_techniques.size(); ++t)
        for (u32 p = 0; p < m_techniques[t].passes.size(); ++p)
            for (u32 s = 0; s < m_techniques[t].passes[p].shaders.size(); ++s) {
                SKeFxShader& sh = m_techniques[t].passes[p].shaders[s];
                for (u32 c = 0; c < sh.constants.size(); ++c) sh.constants[c].reported = false;
            }
}

CKeEffect::~CKeEffect() {
    m_techniques.clear();
    m_cells.clear();
    m_def->drop();
}

IKeEffect* CKeEffect::clone() const { return new CKeEffect(*this); }

SKeFxParameter* CKeEffect::cellOf(const SParameter* parameter) {
    const s32 i = parameter ? m_def->getParameterIndex(parameter) : -1;
    return i >= 0 && u32(i) < m_cells.size() ? &m_cells[u32(i)] : nullptr;
}

const SKeFxParameter* CKeEffect::cellOf(const SParameter* parameter) const {
    const s32 i = parameter ? m_def->getParameterIndex(parameter) : -1;
    return i >= 0 && u32(i) < m_cells.size() ? &m_cells[u32(i)] : nullptr;
}

bool CKeEffect::getFloat(const SParameter* p, f32& value) const {
    const SKeFxParameter* c = cellOf(p);
    if (!c) return false;
    value = c->floats()[0];
    return true;
}

bool CKeEffect::getFloatArray(const SParameter* p, f32* values, u32 count) const {
    const SKeFxParameter* c = cellOf(p);
    if (!c || !values) return false;
    for (u32 i = 0; i < count; ++i) values[i] = i < 16 ? c->floats()[i] : 0.0f;
    return count <= 16;
}

bool CKeEffect::getBool(const SParameter* p, bool& value) const {
    const SKeFxParameter* c = cellOf(p);
    if (!c) return false;
    value = c->asBool();
    return true;
}

bool CKeEffect::getInt(const SParameter* p, s32& value) const {
    const SKeFxParameter* c = cellOf(p);
    if (!c) return false;
    value = c->asInt();
    return true;
}

bool CKeEffect::getIntArray(const SParameter* p, s32* values, u32 count) const {
    const SKeFxParameter* c = cellOf(p);
    if (!c || !values) return false;
    for (u32 i = 0; i < count; ++i) {
        s32 v = 0;
        if (i < 16) std::memcpy(&v, c->data + 4 * i, 4);
        values[i] = v;
    }
    return count <= 16;
}

bool CKeEffect::getMatrix(const SParameter* p, f32* values16) const {
    const SKeFxParameter* c = cellOf(p);
    if (!c || !values16) return false;
    std::memcpy(values16, c->data, 64);
    return true;
}

bool CKeEffect::setFloat(const c8* name, f32 value) { return setFloat(m_def->getParameterByName(nullptr, name), value); }
bool CKeEffect::setFloat(const SParameter* p, f32 value) {
    SKeFxParameter* c = cellOf(p);
    if (!c) return false;
    c->floats()[0] = value;
    return true;
}

bool CKeEffect::setFloatArray(const c8* name, const f32* values, u32 count) {
    return setFloatArray(m_def->getParameterByName(nullptr, name), values, count);
}
bool CKeEffect::setFloatArray(const SParameter* p, const f32* values, u32 count) {
    SKeFxParameter* c = cellOf(p);
    if (!c || (!values && count)) return false;
    std::memcpy(c->data, values, 4 * std::min<u32>(count, 16));
    return true;
}

bool CKeEffect::setBool(const c8* name, bool value) { return setBool(m_def->getParameterByName(nullptr, name), value); }
bool CKeEffect::setBool(const SParameter* p, bool value) {
    SKeFxParameter* c = cellOf(p);
    if (!c) return false;
    c->data[0] = value ? 1 : 0;
    return true;
}

bool CKeEffect::setInt(const c8* name, s32 value) { return setInt(m_def->getParameterByName(nullptr, name), value); }
bool CKeEffect::setInt(const SParameter* p, s32 value) {
    SKeFxParameter* c = cellOf(p);
    if (!c) return false;
    std::memcpy(c->data, &value, 4);
    return true;
}

bool CKeEffect::setIntArray(const c8* name, const s32* values, u32 count) {
    return setIntArray(m_def->getParameterByName(nullptr, name), values, count);
}
bool CKeEffect::setIntArray(const SParameter* p, const s32* values, u32 count) {
    SKeFxParameter* c = cellOf(p);
    if (!c || (!values && count)) return false;
    std::memcpy(c->data, values, 4 * std::min<u32>(count, 16));
    return true;
}

bool CKeEffect::setMatrix(const c8* name, const f32* values16) {
    return setMatrix(m_def->getParameterByName(nullptr, name), values16);
}
bool CKeEffect::setMatrix(const SParameter* p, const f32* values16) {
    SKeFxParameter* c = cellOf(p);
    if (!c || !values16) return false;
    std::memcpy(c->data, values16, 64);
    return true;
}

bool CKeEffect::setTexture(const c8* name, video::ITexture* texture, bool srgb) {
    return setTexture(m_def->getParameterByName(nullptr, name), texture, srgb);
}
bool CKeEffect::setTexture(const SParameter* p, video::ITexture* texture, bool srgb) {
    if (!p) return false;
    return setTextureByIndex(m_def->getParameterIndex(p), texture, srgb);
}

bool CKeEffect::setTextureByIndex(s32 index, video::ITexture* texture, bool srgb) {
    if (index < 0 || u32(index) >= m_cells.size()) return false;
    SKeFxParameter& cell = m_cells[u32(index)];
    cell.setTexture(texture);
    cell.layer.srgb = srgb;
    for (u32 t = 0; t < m_techniques.size(); ++t)
        for (u32 p = 0; p < m_techniques[t].passes.size(); ++p) {
            SKeFxPass& pass = m_techniques[t].passes[p];
            for (u32 s = 0; s < pass.shaders.size(); ++s) {
                const SKeFxShader& sh = pass.shaders[s];
                if (sh.stage != KE_STAGE_FRAGMENT) continue;
                for (u32 b = 0; b < sh.textures.size(); ++b) {
                    const SKeFxTextureBind& tb = sh.textures[b];
                    if (tb.parameter != index || tb.sampler < 0 || u32(tb.sampler) >= KE_MATERIAL_LAYERS) continue;
                    pass.layers[tb.sampler].texture = texture;
                    pass.layers[tb.sampler].srgb = srgb;
                    keApplyTextureLayer(u32(tb.sampler), pass.layers[tb.sampler], pass.material, nullptr);
                }
            }
        }
    return true;
}

bool CKeEffect::getPassMaterial(s32 technique, s32 pass, video::SMaterial& material, KeMaterialBinding* side) const {
    if (technique < 0 || u32(technique) >= m_techniques.size()) return false;
    const SKeFxTechnique& t = m_techniques[u32(technique)];
    if (pass < 0 || u32(pass) >= t.passes.size()) return false;
    const SKeFxPass& p = t.passes[u32(pass)];
    material.MaterialType = p.material.MaterialType;
    material.MaterialTypeParam = p.material.MaterialTypeParam;
    for (u32 i = 0; i < KE_MATERIAL_LAYERS; ++i) keApplyTextureLayer(i, p.layers[i], material, side);
    // The library's OpenGL driver asks its copy of the material for texture matrices on every
    // material change and allocates them when the copy has none: a material that carries its
    // own (identity) matrices is copied into the driver without allocating.
    for (u32 i = 0; i < video::MATERIAL_MAX_TEXTURES; ++i) material.getTextureMatrix(i);
    return true;
}

bool CKeEffect::setPassTexture(s32 technique, s32 pass, s32 parameterIndex, video::SMaterial& material,
                               KeMaterialBinding* side, video::ITexture* texture, bool srgb) const {
    if (technique < 0 || u32(technique) >= m_techniques.size()) return false;
    const SKeFxTechnique& t = m_techniques[u32(technique)];
    if (pass < 0 || u32(pass) >= t.passes.size()) return false;
    const SKeFxPass& p = t.passes[u32(pass)];
    for (u32 s = 0; s < p.shaders.size(); ++s) {
        const SKeFxShader& sh = p.shaders[s];
        if (sh.stage != KE_STAGE_FRAGMENT) continue;
        for (u32 b = 0; b < sh.textures.size(); ++b) {
            const SKeFxTextureBind& tb = sh.textures[b];
            if (tb.parameter != parameterIndex || tb.sampler < 0 || u32(tb.sampler) >= KE_MATERIAL_LAYERS) continue;
            SKeFxTextureLayer layer = p.layers[tb.sampler];
            layer.texture = texture;
            layer.srgb = srgb;
            keApplyTextureLayer(u32(tb.sampler), layer, material, side);
        }
    }
    return true;
}

void CKeEffect::reportConstant(const SKeFxConstBind& c) {
    if (c.reported) return;
    c.reported = true;
    const c8* file = m_def->getName();
    if (const c8* slash = std::strrchr(file, '/')) file = slash + 1;
    printMessage(KE_WARN, "CKeEffect : %s: the constant '%s' (semantic '%s') could not be set", file, c.symbol,
                 c.semantic);
}

bool CKeEffect::onSetShaderConstants(video::IMaterialRendererServices* services, s32 userData,
                                     const KeMaterialBinding* record) {
    if (!record || !services) return false;
    if (record->technique < 0 || u32(record->technique) >= m_techniques.size()) return false;
    SKeFxTechnique& t = m_techniques[u32(record->technique)];
    if (record->pass < 0 || u32(record->pass) >= t.passes.size()) return false;
    SKeFxPass& pass = t.passes[u32(record->pass)];
    for (u32 b = 0; b < pass.binds.size(); ++b) {
        if (pass.binds[b]->onSetMaterial(record, userData)) continue;
        printMessage(KE_ERROR, "CKeEffect::onSetShaderConstants : onSetMaterial() failed, abort");
        // No constant of the last draw may stay: with a zero position transform nothing is drawn.
        static const f32 zeros[16 * 25] = {};
        for (u32 s = 0; s < pass.shaders.size(); ++s)
            for (u32 c = 0; c < pass.shaders[s].constants.size(); ++c) {
                const SKeFxConstBind& k = pass.shaders[s].constants[c];
                keSendFloats(services, k, zeros, s32(std::max<u32>(k.floatCount, 1)));
            }
        return false;
    }
    for (u32 s = 0; s < pass.shaders.size(); ++s) {
        const SKeFxShader& sh = pass.shaders[s];
        for (u32 c = 0; c < sh.constants.size(); ++c) {
            const SKeFxConstBind& k = sh.constants[c];
            if (k.cell < 0 || u32(k.cell) >= m_cells.size() || !k.function) continue;
            if (!k.function(k.bind, services, k, m_cells[u32(k.cell)])) reportConstant(k);
        }
    }
    return true;
}

bool CKeEffect::needsTangents() const {
    SEffectDesc d;
    if (!m_def->getDesc(d)) return false;
    for (u32 i = 0; i < d.techniques; ++i) {
        const SParameter* a = m_def->getAnnotationByName(m_def->getTechnique(i), "tangents");
        if (a && a->text == "true") return true;
    }
    return false;
}

// --- the callback --------------------------------------------------------------------------

void CKeEffectCallback::OnSetMaterial(const video::SMaterial& material) { m_handle = material.MaterialTypeParam2; }

void CKeEffectCallback::OnSetConstants(video::IMaterialRendererServices* services, s32 userData) {
    const KeMaterialBinding* record = keMaterialBindingOfParam(m_handle);
    m_lastSucceeded = false;
    if (!record || record->magic != KE_MATERIAL_BINDING_MAGIC || !record->effect) return;
    m_lastSucceeded = record->effect->onSetShaderConstants(services, userData, record);
}

}  // namespace kolm
