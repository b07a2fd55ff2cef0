#include "fx/CKeSurfaceLightwaveHV.h"

#include "core/KeError.h"
#include "fx/IKeEffect.h"
#include "fx/IKeSurfaceManager.h"
#include "fx/KeMaterialBinding.h"
#include "fx/KeSurfaceMaterial.h"
#include "fx/KeTextureIndirect.h"

#include <algorithm>
#include <cstring>

namespace kolm {

using namespace irr;

namespace {

const c8* const kMacroNames[] = {"USE_TEX_COLOR", "USE_COLOR_GRADIENT", "USE_SIZE_GRADIENT", "USE_ROTATION"};

const c8* blendMacro(s32 mode) {
    switch (mode) {
    case KE_HV_BLEND_ALPHA: return "USE_BLEND_ALPHA";
    case KE_HV_BLEND_ADD: return "USE_BLEND_ADD";
    case KE_HV_BLEND_SUBTRACT: return "USE_BLEND_SUB";
    default: return nullptr;
    }
}

video::E_MATERIAL_TYPE blendMaterial(s32 mode) {
    switch (mode) {
    case KE_HV_BLEND_ALPHA: return video::EMT_TRANSPARENT_ALPHA_CHANNEL;
    case KE_HV_BLEND_ADD: return video::EMT_TRANSPARENT_ADD_COLOR;
    case KE_HV_BLEND_SUBTRACT: return video::EMT_ONETEXTURE_BLEND;
    default: return video::EMT_SOLID;
    }
}

u32 copyFloats(f32* out, u32 count, const f32* in, u32 available) {
    const u32 n = std::min(count, available);
    std::memcpy(out, in, sizeof(f32) * n);
    return n;
}

}  // namespace

u32 CKeSurfaceLightwaveHV::getKind() const { return KE_SURFACE_LIGHTWAVE_HV; }

void CKeSurfaceLightwaveHV::setParameters(const KeHyperVoxelParams& block) {
    m_block = block;
    // The key arrays hold KE_HV_MAX_KEYS entries: larger counts would read past them.
    m_block.colorKeyCount = std::min(m_block.colorKeyCount, KE_HV_MAX_KEYS);
    m_block.sizeKeyCount = std::min(m_block.sizeKeyCount, KE_HV_MAX_KEYS);
}

void CKeSurfaceLightwaveHV::initFromMaterial(const video::SMaterial& material) {
    m_block.hasTexture = true;
    m_block.clipTexture = keMaterialLayerTexture(material, keMaterialBindingOf(material), 0);
    switch (material.MaterialType) {
    case video::EMT_TRANSPARENT_ADD_COLOR: m_block.blendMode = KE_HV_BLEND_ADD; break;
    case video::EMT_TRANSPARENT_ALPHA_CHANNEL: m_block.blendMode = KE_HV_BLEND_ALPHA; break;
    case video::EMT_ONETEXTURE_BLEND: m_block.blendMode = KE_HV_BLEND_SUBTRACT; break;
    default: m_block.blendMode = KE_HV_BLEND_ADD; break;
    }
}

void CKeSurfaceLightwaveHV::applyToMaterial(video::SMaterial& material) const {
    keSetMaterialLayer(material, keMaterialBindingOf(material), 0, m_block.clipTexture, false);
    material.MaterialType = blendMaterial(m_block.blendMode);
    material.ZWriteEnable = false;
}

bool CKeSurfaceLightwaveHV::getEffectCompileParameters(video::E_MATERIAL_TYPE& baseMaterial, CKeMacro* macros,
                                                       u32& count, scene::ISceneNode*) const {
    u32 bits = 0;
    if (m_block.hasTexture) bits |= 0x1;
    if (m_block.colorKeyCount != 0) bits |= 0x2;
    if (m_block.sizeKeyCount != 0) bits |= 0x4;
    if (m_block.rotation != 0.0f) bits |= 0x8;
    baseMaterial = blendMaterial(m_block.blendMode);
    return keWriteMacroBits(bits, kMacroNames, 4, blendMacro(m_block.blendMode), macros, count,
                            "CKeSurfaceLightwaveHV::getEffectCompileParameters Not enough space for macros");
}

bool CKeSurfaceLightwaveHV::setEffectTextures(IKeEffect* effect) const {
    if (!effect) return false;
    const SParameter* parameter = effect->getParameterBySemantic(nullptr, "LWHV_Tex_Clip");
    if (!parameter) return true;
    if (!effect->setTexture(parameter, keResolveTexture(m_block.clipTexture), false)) {
        printMessage(KE_ERROR, "CKeSurfaceLightwaveHV::setEffectTextures setSamplerTexture failed for %s", "LWHV_Tex_Clip");
        return false;
    }
    return true;
}

bool CKeSurfaceLightwaveHV::setEffectTextureOnMaterial(video::SMaterial& material, KeMaterialBinding& side,
                                                       IKeEffect* effect, s32 technique, s32 pass) const {
    if (!effect) return false;
    if (const SParameter* parameter = effect->getParameterBySemantic(nullptr, "LWHV_Tex_Clip")) {
        if (!effect->setPassTexture(technique, pass, effect->getParameterIndex(parameter), material, &side,
                                    keResolveTexture(m_block.clipTexture), false)) {
            printMessage(KE_ERROR,
                         "CKeSurfaceLightwaveHV::setEffectTextureOnMaterial setSamplerTextureOnMaterial failed for %s",
                         "LWHV_Tex_Clip");
            return false;
        }
    }
    if (!keMaterialLayerTexture(material, &side, 0)) keSetMaterialLayer(material, &side, 0, m_block.clipTexture, false);
    return true;
}

IKeSurface* CKeSurfaceLightwaveHV::clone() const {
    auto* copy = new CKeSurfaceLightwaveHV();
    copy->m_block = m_block;
    return copy;
}

bool CKeSurfaceLightwaveHV::getBindValue(const c8* name, f32* values, u32 count) const {
    if (!name || !values) return false;
    const KeHyperVoxelParams& b = m_block;
    if (!std::strcmp(name, "Color")) return copyFloats(values, count, b.color, 4), true;
    if (!std::strcmp(name, "Size")) return copyFloats(values, count, &b.size, 1), true;
    if (!std::strcmp(name, "Rotation")) return copyFloats(values, count, &b.rotation, 1), true;
    if (!std::strcmp(name, "ColorNumKeys") || !std::strcmp(name, "SizeNumKeys")) {
        const f32 n = f32(name[0] == 'C' ? b.colorKeyCount : b.sizeKeyCount);
        return copyFloats(values, count, &n, 1), true;
    }
    if (!std::strcmp(name, "ColorKeyParams")) return copyFloats(values, count, b.colorKeyParams, KE_HV_MAX_KEYS), true;
    if (!std::strcmp(name, "ColorKeyValues"))
        return copyFloats(values, count, &b.colorKeyValues[0][0], KE_HV_MAX_KEYS * 4), true;
    if (!std::strcmp(name, "SizeKeyParams")) return copyFloats(values, count, b.sizeKeyParams, KE_HV_MAX_KEYS), true;
    if (!std::strcmp(name, "SizeKeyValues")) return copyFloats(values, count, b.sizeKeyValues, KE_HV_MAX_KEYS), true;
    return false;
}

video::ITexture* CKeSurfaceLightwaveHV::getBindTexture(const c8* name) const {
    return name && !std::strcmp(name, "Clip") ? m_block.clipTexture : nullptr;
}

}  // namespace kolm
