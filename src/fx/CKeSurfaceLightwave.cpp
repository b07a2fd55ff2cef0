#include "fx/CKeSurfaceLightwave.h"

#include "core/KeError.h"
#include "fx/IKeEffect.h"
#include "fx/IKeSceneNodeExt.h"
#include "fx/IKeSurfaceManager.h"
#include "fx/KeMaterialBinding.h"
#include "fx/KeSurfaceMaterial.h"
#include "fx/KeTextureIndirect.h"
#include "gl/KeGlTexture.h"

#include <irrlicht/SColor.h>

#include <cstdio>
#include <cstring>

namespace kolm {

using namespace irr;

namespace {

const c8* const kChannelNames[KE_LW_CHANNEL_COUNT] = {
    "BaseColor", "Luminosity", "Diffuse", "Specularity", "Reflectivity", "Transparency", "Translucency", "IOR",
    "Bump", "Glossiness", "SpecialBuffer1", "SpecialBuffer2", "SpecialBuffer3", "SpecialBuffer4",
    "DiffuseSharpness", "BumpDropoff", "SmoothingAngle", "ReflectionSeamAngle", "RefractionSeamAngle",
    "ReflectionBlurring", "RefractionBlurring", "ColorFilter", "ColorHighlights", "AdditiveTransparency",
    "AlphaValue", "GlowValue", "LineColor", "LineSize", "AlphaOptions", "ReflectionOptions", "RefractionOptions",
    "Sidedness", "ExcludeFromVStack", "Glow", "RenderOutlines", "ReflectionImage", "RefractionImage",
    "VertexColoring", "VertexNormal"};

// The macros of the compile-parameter bits, lowest bit first.
const c8* const kMacroNames[] = {
    "USE_TEX_COLOR", "USE_TEX_LUMINOSITY", "USE_TEX_DIFFUSE", "USE_TEX_SPECULAR", "USE_TEX_GLOSSINESS",
    "USE_TEX_REFLECIMG", "USE_TEX_REFLECTIVITY", "USE_TEX_TRANSPARENCY", "USE_TEX_TRANSLUCENCY", "USE_TEX_NORMAL",
    "USE_TRANSPARENT", "USE_TRANSLUCENCY", "USE_TEX_REFLECCUBE", "USE_COMPTANGENT", "USE_UV2", "USE_UV2INTEX2",
    "USE_UV2_TEX_COLOR", "USE_UV2_TEX_LUMINOSITY", "USE_UV2_TEX_DIFFUSE", "USE_UV2_TEX_SPECULAR",
    "USE_UV2_TEX_GLOSSINESS", "USE_UV2_TEX_REFLECTIVITY", "USE_UV2_TEX_TRANSPARENCY", "USE_UV2_TEX_TRANSLUCENCY",
    "USE_UV2_TEX_NORMAL", "USE_CUBEMAPAABB", "USE_NODECUBEMAP"};
constexpr u32 kMacroCount = sizeof(kMacroNames) / sizeof(kMacroNames[0]);

// The second buffer property's bits (index = bit number) and the macro bit each one gives: the
// property lists the channels in another order than the macros.
const u32 kUv2PropertyToMacro[] = {0x10000, 0x40000, 0x20000, 0x80000, 0x200000, 0x400000, 0x1000000, 0x800000,
                                   0x100000};

// Channels whose textures go into the effect's "LW_Tex_" parameters.
const u32 kTextureChannels[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, KE_LW_REFLECTION_IMAGE, KE_LW_REFRACTION_IMAGE};

constexpr f32 kBumpScale = 0.035f;  // bump channel -> the library's bump height parameter

f32 luminance(const video::SColor& c) {
    return 0.3f * f32(c.getRed()) / 255.0f + 0.59f * f32(c.getGreen()) / 255.0f + 0.11f * f32(c.getBlue()) / 255.0f;
}

bool isCubeTexture(video::ITexture* texture) {
    CKeGlTexture* t = keAsEngineTexture(keResolveTexture(texture));
    return t && t->getKind() == KeGlTextureKind::Cube;
}

}  // namespace

const c8* keLightwaveChannelName(u32 channel) { return channel < KE_LW_CHANNEL_COUNT ? kChannelNames[channel] : nullptr; }

u32 keLightwaveChannelOfName(const c8* name) {
    if (!name) return KE_LW_CHANNEL_COUNT;
    for (u32 i = 0; i < KE_LW_CHANNEL_COUNT; ++i)
        if (!std::strcmp(name, kChannelNames[i])) return i;
    return KE_LW_CHANNEL_COUNT;
}

bool keLightwaveChannelIsInt(u32 channel) {
    return channel >= KE_LW_ALPHA_OPTIONS && channel <= KE_LW_RENDER_OUTLINES;
}

KeLightwaveChannels keLightwaveDefaults() {
    KeLightwaveChannels block;
    std::memset(&block, 0, sizeof(block));
    for (u32 i = 0; i < 3; ++i) block.channel[KE_LW_BASE_COLOR].value[i] = 0.78f;
    block.channel[KE_LW_DIFFUSE].value[0] = 1.0f;
    block.channel[KE_LW_BUMP].value[0] = 1.0f;
    block.channel[KE_LW_GLOSSINESS].value[0] = 0.4f;
    block.channel[KE_LW_LINE_SIZE].value[0] = 1.0f;
    block.channel[KE_LW_VERTEX_COLORING].value[0] = 1.0f;
    return block;
}

CKeSurfaceLightwave::CKeSurfaceLightwave() : m_block(keLightwaveDefaults()) {}

u32 CKeSurfaceLightwave::getKind() const { return KE_SURFACE_LIGHTWAVE; }

void CKeSurfaceLightwave::setFloat(u32 channel, f32 value) {
    if (channel < KE_LW_CHANNEL_COUNT) m_block.channel[channel].value[0] = value;
}
void CKeSurfaceLightwave::setInt(u32 channel, s32 value) {
    if (channel < KE_LW_CHANNEL_COUNT) std::memcpy(&m_block.channel[channel].value[0], &value, sizeof(value));
}
void CKeSurfaceLightwave::setVector(u32 channel, const core::vector3df& value) {
    if (channel >= KE_LW_CHANNEL_COUNT) return;
    m_block.channel[channel].value[0] = value.X;
    m_block.channel[channel].value[1] = value.Y;
    m_block.channel[channel].value[2] = value.Z;
}
void CKeSurfaceLightwave::setTexture(u32 channel, video::ITexture* texture) {
    if (channel < KE_LW_CHANNEL_COUNT) m_block.channel[channel].texture = texture;
}
void CKeSurfaceLightwave::setColorSpace(u32 channel, bool srgb) {
    if (channel < KE_LW_CHANNEL_COUNT) m_block.channel[channel].colorSpace = srgb;
}
f32 CKeSurfaceLightwave::getFloat(u32 channel) const {
    return channel < KE_LW_CHANNEL_COUNT ? m_block.channel[channel].value[0] : 0.0f;
}
s32 CKeSurfaceLightwave::getInt(u32 channel) const {
    s32 v = 0;
    if (channel < KE_LW_CHANNEL_COUNT) std::memcpy(&v, &m_block.channel[channel].value[0], sizeof(v));
    return v;
}
core::vector3df CKeSurfaceLightwave::getVector(u32 channel) const {
    if (channel >= KE_LW_CHANNEL_COUNT) return core::vector3df(0, 0, 0);
    const f32* v = m_block.channel[channel].value;
    return core::vector3df(v[0], v[1], v[2]);
}
video::ITexture* CKeSurfaceLightwave::getTexture(u32 channel) const {
    return channel < KE_LW_CHANNEL_COUNT ? m_block.channel[channel].texture : nullptr;
}
bool CKeSurfaceLightwave::getColorSpace(u32 channel) const {
    return channel < KE_LW_CHANNEL_COUNT && m_block.channel[channel].colorSpace;
}

bool CKeSurfaceLightwave::needsTangents() const { return getTexture(KE_LW_BUMP) != nullptr; }

bool CKeSurfaceLightwave::getEffectCompileParameters(video::E_MATERIAL_TYPE& baseMaterial, CKeMacro* macros, u32& count,
                                                     scene::ISceneNode* node) const {
    IKeSceneNodeExt* ext = node ? keFindNodeExt(node) : nullptr;
    const bool uv2 = ext && ext->anyBufferMarked();
    const bool tangents = ext && ext->needTangents();
    auto has = [this](u32 channel) { return getTexture(channel) != nullptr; };

    video::ITexture* reflection = getTexture(KE_LW_REFLECTION_IMAGE);
    const bool reflect = reflection && getInt(KE_LW_REFLECTION_OPTIONS) > 1;
    const bool nodeCube = ext && reflection &&
                          (reflection == ext->getCubeMapIndirect() || reflection == ext->getCubeMapTexture());
    u32 bits = 0;
    if (has(KE_LW_BASE_COLOR)) bits |= 0x1;
    if (has(KE_LW_LUMINOSITY)) bits |= 0x2;
    if (has(KE_LW_DIFFUSE)) bits |= 0x4;
    if (has(KE_LW_SPECULARITY)) bits |= 0x8;
    if (has(KE_LW_GLOSSINESS)) bits |= 0x10;
    if (reflect) bits |= 0x20;
    if (reflect && has(KE_LW_REFLECTIVITY)) bits |= 0x40;
    if (has(KE_LW_TRANSPARENCY)) bits |= 0x80;
    if (has(KE_LW_TRANSLUCENCY)) bits |= 0x100;
    if (has(KE_LW_BUMP)) bits |= 0x200;
    if (has(KE_LW_TRANSPARENCY) || getFloat(KE_LW_TRANSPARENCY) != 0.0f) bits |= 0x400;
    if (has(KE_LW_TRANSLUCENCY) || getFloat(KE_LW_TRANSLUCENCY) != 0.0f) bits |= 0x800;
    if (reflect && (isCubeTexture(reflection) || nodeCube)) bits |= 0x1000;
    if (has(KE_LW_BUMP) && !tangents && node) bits |= 0x2000;
    if (uv2) bits |= 0x4000;
    if (uv2 && tangents) bits |= 0x8000;
    if (ext) {
        const s32 row = ext->getSurfaceRow(this);
        s32 first = 0, second = 0;
        if (row >= 0 && ext->getBufferProperties(u32(row), first, second))
            for (u32 i = 0; i < sizeof(kUv2PropertyToMacro) / sizeof(kUv2PropertyToMacro[0]); ++i)
                if (u32(second) & (1u << i)) bits |= kUv2PropertyToMacro[i];
    }
    if (nodeCube && ext->getCubeMapBoxed()) bits |= 0x2000000;
    if (nodeCube && reflect) bits |= 0x4000000;

    baseMaterial = (bits & 0x400) ? video::EMT_TRANSPARENT_ALPHA_CHANNEL : video::EMT_SOLID;
    return keWriteMacroBits(bits, kMacroNames, kMacroCount, nullptr, macros, count,
                            "CKeSurfaceLightwave::getEffectCompileParameters Not enough space for macros");
}

bool CKeSurfaceLightwave::setEffectTextures(IKeEffect* effect) const {
    if (!effect) return false;
    c8 semantic[64];
    for (u32 channel : kTextureChannels) {
        std::snprintf(semantic, sizeof(semantic), "LW_Tex_%s", kChannelNames[channel]);
        const SParameter* parameter = effect->getParameterBySemantic(nullptr, semantic);
        if (!parameter) continue;
        const KeLightwaveChannelRecord& c = m_block.channel[channel];
        if (!effect->setTexture(parameter, keResolveTexture(c.texture), c.colorSpace)) {
            printMessage(KE_ERROR, "CKeSurfaceLightwave::setEffectTextures setSamplerTexture failed for %s", semantic);
            return false;
        }
    }
    return true;
}

bool CKeSurfaceLightwave::setEffectTextureOnMaterial(video::SMaterial& material, KeMaterialBinding& side,
                                                     IKeEffect* effect, s32 technique, s32 pass) const {
    if (!effect) return false;
    c8 semantic[64];
    for (u32 channel : kTextureChannels) {
        std::snprintf(semantic, sizeof(semantic), "LW_Tex_%s", kChannelNames[channel]);
        const SParameter* parameter = effect->getParameterBySemantic(nullptr, semantic);
        if (!parameter) continue;
        const KeLightwaveChannelRecord& c = m_block.channel[channel];
        if (!effect->setPassTexture(technique, pass, effect->getParameterIndex(parameter), material, &side,
                                    keResolveTexture(c.texture), c.colorSpace)) {
            printMessage(KE_ERROR,
                         "CKeSurfaceLightwave::setEffectTextureOnMaterial setSamplerTextureOnMaterial failed for %s",
                         semantic);
            return false;
        }
    }
    if (!keMaterialLayerTexture(material, &side, 0)) {
        const KeLightwaveChannelRecord& c = m_block.channel[KE_LW_BASE_COLOR];
        keSetMaterialLayer(material, &side, 0, c.texture, c.colorSpace);
    }
    return true;
}

IKeSurface* CKeSurfaceLightwave::clone() const {
    auto* copy = new CKeSurfaceLightwave();
    copy->m_block = m_block;
    return copy;
}

void CKeSurfaceLightwave::initFromMaterial(const video::SMaterial& material) {
    std::memset(&m_block, 0, sizeof(m_block));
    const KeMaterialBinding* side = keMaterialBindingOf(material);
    auto layerFlag = [side](u32 i) { return side && (side->layerFlags[i] & KE_LAYER_SRGB); };
    const video::SColor d = material.DiffuseColor;
    setVector(KE_LW_BASE_COLOR, core::vector3df(d.getRed() / 255.0f, d.getGreen() / 255.0f, d.getBlue() / 255.0f));
    setTexture(KE_LW_BASE_COLOR, keMaterialLayerTexture(material, side, 0));
    setColorSpace(KE_LW_BASE_COLOR, layerFlag(0));
    setFloat(KE_LW_LUMINOSITY, luminance(material.EmissiveColor));
    setFloat(KE_LW_DIFFUSE, 1.0f);
    setFloat(KE_LW_SPECULARITY, luminance(material.SpecularColor));
    setFloat(KE_LW_GLOSSINESS, material.Shininess / 128.0f);
    const s32 type = s32(material.MaterialType);
    if (type == video::EMT_REFLECTION_2_LAYER) {
        setFloat(KE_LW_REFLECTIVITY, 1.0f);
        setInt(KE_LW_REFLECTION_OPTIONS, 2);
        setTexture(KE_LW_REFLECTION_IMAGE, keMaterialLayerTexture(material, side, 1));
        setColorSpace(KE_LW_REFLECTION_IMAGE, layerFlag(1));
    }
    if (type == video::EMT_TRANSPARENT_ALPHA_CHANNEL) setTexture(KE_LW_TRANSPARENCY, keMaterialLayerTexture(material, side, 0));
    if (type == video::EMT_TRANSPARENT_ALPHA_CHANNEL || type == video::EMT_TRANSPARENT_REFLECTION_2_LAYER ||
        type == video::EMT_TRANSPARENT_VERTEX_ALPHA || type == video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA)
        setFloat(KE_LW_TRANSPARENCY, 1.0f);
    if (type == video::EMT_PARALLAX_MAP_SOLID || type == video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA) {
        setTexture(KE_LW_BUMP, keMaterialLayerTexture(material, side, 1));
        setColorSpace(KE_LW_BUMP, layerFlag(1));
        setFloat(KE_LW_BUMP, material.MaterialTypeParam / kBumpScale);
    }
    setInt(KE_LW_SIDEDNESS, material.BackfaceCulling ? 0 : 3);
    if (material.PointCloud) {
        setInt(KE_LW_RENDER_OUTLINES, 1);
        setFloat(KE_LW_LINE_SIZE, material.Thickness);
    } else if (material.Wireframe) {
        setInt(KE_LW_RENDER_OUTLINES, 1);
        setFloat(KE_LW_LINE_SIZE, 0.5f);
    }
    if (material.ColorMaterial == video::ECM_DIFFUSE) setFloat(KE_LW_VERTEX_COLORING, 1.0f);
}

void CKeSurfaceLightwave::applyToMaterial(video::SMaterial& material) const {
    KeMaterialBinding* side = keMaterialBindingOf(material);
    const bool hasBump = getTexture(KE_LW_BUMP) != nullptr;
    const bool reflect = getInt(KE_LW_REFLECTION_OPTIONS) >= 2 && getTexture(KE_LW_REFLECTION_IMAGE) &&
                         (getFloat(KE_LW_REFLECTIVITY) != 0.0f || getTexture(KE_LW_REFLECTIVITY));
    s32 type;
    if (getTexture(KE_LW_TRANSPARENCY))
        type = hasBump ? video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA
                       : reflect ? video::EMT_TRANSPARENT_REFLECTION_2_LAYER : video::EMT_TRANSPARENT_ALPHA_CHANNEL;
    else if (getFloat(KE_LW_TRANSPARENCY) == 0.0f)
        type = hasBump ? video::EMT_PARALLAX_MAP_SOLID : reflect ? video::EMT_REFLECTION_2_LAYER : video::EMT_SOLID;
    else
        type = hasBump ? video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA
                       : reflect ? video::EMT_TRANSPARENT_REFLECTION_2_LAYER : video::EMT_TRANSPARENT_VERTEX_ALPHA;
    material.MaterialType = video::E_MATERIAL_TYPE(type);
    const bool bumpType = type == video::EMT_PARALLAX_MAP_SOLID || type == video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA;
    if (bumpType) material.MaterialTypeParam = getFloat(KE_LW_BUMP) * kBumpScale;

    material.ColorMaterial = (type == video::EMT_TRANSPARENT_VERTEX_ALPHA ||
                              type == video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA ||
                              getFloat(KE_LW_VERTEX_COLORING) != 0.0f)
                                 ? video::ECM_DIFFUSE
                                 : video::ECM_AMBIENT;

    const core::vector3df base = getVector(KE_LW_BASE_COLOR);
    const f32 diffuse = getFloat(KE_LW_DIFFUSE), luminosity = getFloat(KE_LW_LUMINOSITY),
              specular = getFloat(KE_LW_SPECULARITY);
    material.DiffuseColor = video::SColorf(base.X * diffuse, base.Y * diffuse, base.Z * diffuse, 1.0f).toSColor();
    material.EmissiveColor = video::SColorf(base.X * luminosity, base.Y * luminosity, base.Z * luminosity, 1.0f).toSColor();
    material.SpecularColor = video::SColorf(specular, specular, specular, 1.0f).toSColor();
    material.Shininess = getFloat(KE_LW_GLOSSINESS) * 128.0f;

    if (getInt(KE_LW_RENDER_OUTLINES)) {
        const f32 line = getFloat(KE_LW_LINE_SIZE);
        if (line <= 0.0f) {
            material.Wireframe = false;
            material.PointCloud = false;
        } else if (line >= 1.0f) {
            material.PointCloud = true;
            material.Wireframe = false;
            material.Thickness = line;
        } else {
            material.Wireframe = true;
            material.PointCloud = false;
        }
    }
    material.BackfaceCulling = getInt(KE_LW_SIDEDNESS) != 3;
    material.NormalizeNormals = true;

    const KeLightwaveChannelRecord& baseColor = m_block.channel[KE_LW_BASE_COLOR];
    keSetMaterialLayer(material, side, 0, baseColor.texture, baseColor.colorSpace);
    if (type == video::EMT_REFLECTION_2_LAYER || type == video::EMT_TRANSPARENT_REFLECTION_2_LAYER) {
        const KeLightwaveChannelRecord& r = m_block.channel[KE_LW_REFLECTION_IMAGE];
        keSetMaterialLayer(material, side, 1, r.texture, r.colorSpace);
    } else if (bumpType) {
        const KeLightwaveChannelRecord& b = m_block.channel[KE_LW_BUMP];
        keSetMaterialLayer(material, side, 1, b.texture, b.colorSpace);
    }
    for (u32 i = 0; i < KE_LIBRARY_LAYERS; ++i) material.TextureLayer[i].LODBias = -8;
    if (side)
        for (u32 i = 0; i < KE_MATERIAL_LAYERS; ++i) side->layers[i].LODBias = -8;
}

bool CKeSurfaceLightwave::getBindValue(const c8* name, f32* values, u32 count) const {
    const u32 channel = keLightwaveChannelOfName(name);
    if (channel >= KE_LW_CHANNEL_COUNT || !values) return false;
    if (keLightwaveChannelIsInt(channel)) {
        if (count) values[0] = f32(getInt(channel));
        return true;
    }
    for (u32 i = 0; i < count && i < 3; ++i) values[i] = m_block.channel[channel].value[i];
    return true;
}

video::ITexture* CKeSurfaceLightwave::getBindTexture(const c8* name) const {
    return getTexture(keLightwaveChannelOfName(name));
}

}  // namespace kolm
