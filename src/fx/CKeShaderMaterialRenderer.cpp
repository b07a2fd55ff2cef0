#include "fx/CKeShaderMaterialRenderer.h"

#include "fx/KeMaterialBinding.h"
#include "fx/KeTextureIndirect.h"
#include "gl/KeGlLayers.h"
#include "gl/KeGlTexture.h"

#include <irrlicht/SMaterial.h>

#include <cstring>

namespace kolm {

using namespace irr;
using namespace irr::video;

CKeShaderMaterialRenderer::CKeShaderMaterialRenderer(IVideoDriver* driver, IKeGlProgram* program,
                                                     IShaderConstantSetCallBack* callback,
                                                     E_MATERIAL_TYPE baseMaterial, s32 userData)
    : mDriver(driver), mProgram(program), mCallback(callback), mBase(baseMaterial), mUserData(userData) {
    if (mCallback) mCallback->grab();
}

CKeShaderMaterialRenderer::~CKeShaderMaterialRenderer() {
    if (mCallback) mCallback->drop();
    for (ITexture* t : mVertexTextures)
        if (t) t->drop();
}

bool CKeShaderMaterialRenderer::setVertexTexture(u32 sampler, ITexture* texture) {
    if (sampler >= static_cast<u32>(KE_VERTEX_SAMPLERS)) return false;
    if (texture && !keAsEngineTexture(texture)) return false;
    if (texture) texture->grab();
    if (mVertexTextures[sampler]) mVertexTextures[sampler]->drop();
    mVertexTextures[sampler] = texture;
    return true;
}

bool CKeShaderMaterialRenderer::setShaders(const KeGlslShader& vertex, const KeGlslShader& pixel,
                                           std::string& error) {
    KeGlProgramDesc desc;
    desc.vertexGlsl = vertex.glsl;
    desc.pixelGlsl = pixel.glsl;
    for (const KeGlslShader* st : {&vertex, &pixel})
        for (size_t b = 0; b < st->bufferNames.size(); ++b) {
            desc.arrays.push_back(st->bufferNames[b]);
            std::vector<KeGlUniformMember> members;
            if (b < st->bufferFlattened.size() && !st->bufferFlattened[b])
                for (const KeShaderConstant& c : st->constants) {
                    if (c.kind == KeConstantKind::Sampler || c.whole || c.buffer != static_cast<int>(b)) continue;
                    KeGlUniformMember m;
                    m.name = c.name;
                    m.kind = c.kind == KeConstantKind::Float ? 0 : c.kind == KeConstantKind::Int ? 1
                             : c.kind == KeConstantKind::UInt ? 2 : 3;
                    m.offset = c.offset;
                    m.rows = c.rows;
                    m.columns = c.columns;
                    m.arraySize = c.arraySize;
                    m.arrayStride = c.arrayStride;
                    m.matrixStride = c.matrixStride;
                    m.rowsContiguous = c.rowsContiguous;
                    members.push_back(m);
                }
            desc.members.push_back(std::move(members));
        }
    for (const KeGlslShader* s : {&vertex, &pixel})
        for (const KeShaderConstant& c : s->constants)
            if (c.kind == KeConstantKind::Sampler) desc.samplers.push_back({c.glslName, c.unit});
    if (!mProgram->build(desc, error)) return false;
    mStages[0] = vertex;
    mStages[1] = pixel;
    for (int s = 0; s < 2; ++s) {
        mArrays[s].clear();
        for (uint32_t regs : mStages[s].bufferRegisters) mArrays[s].push_back(std::vector<float>(regs * 4, 0.0f));
    }
    return true;
}

void CKeShaderMaterialRenderer::updateBlend(const SMaterial& material) {
    mBlend = keGlBaseMaterialBlend(mBase, material.MaterialTypeParam);
}

void CKeShaderMaterialRenderer::OnSetMaterial(const SMaterial& material, const SMaterial& lastMaterial,
                                              bool resetAllRenderstates, IMaterialRendererServices* services) {
    updateBlend(material);
    mMaterial = material;
    mServices = services;
    if (services) services->setBasicRenderStates(material, lastMaterial, resetAllRenderstates);
    mProgram->bind(mBlend, static_cast<int>(mDriver->getCurrentRenderTargetSize().Height));
    mBound = true;
    if (mCallback) mCallback->OnSetMaterial(material);
}

bool CKeShaderMaterialRenderer::OnRender(IMaterialRendererServices*, E_VERTEX_TYPE) {
    if (mCallback) mCallback->OnSetConstants(this, mUserData);
    const int vertexArrays = static_cast<int>(mArrays[0].size());
    for (int s = 0; s < 2; ++s)
        for (size_t b = 0; b < mArrays[s].size(); ++b)
            mProgram->upload(s * vertexArrays + static_cast<int>(b), mArrays[s][b].data(),
                             static_cast<int>(mArrays[s][b].size() / 4));
    for (int i = 0; i < KE_VERTEX_SAMPLERS; ++i)
        if (mVertexTextures[i]) keGlBindTexture(static_cast<u32>(KE_VERTEX_SAMPLER_UNIT0 + i), mVertexTextures[i]);
    bindLayers();
    mProgram->applyExtraStates(static_cast<int>(mDriver->getCurrentRenderTargetSize().Height));
    return true;
}

void CKeShaderMaterialRenderer::bindLayers() {
    // The library has bound its own textures of layers 0-3; the record adds layers 4-7 and the
    // engine's textures of any layer, with their sampler states, and says which layers hold
    // sRGB colours.
    const KeMaterialBinding* side = keMaterialBindingOf(mMaterial);
    u32 srgb = 0;
    // From the top: finding a library texture of layers 4-7 goes through unit 0.
    for (u32 i = KE_MATERIAL_LAYERS; i-- > 0;) {
        ITexture* texture = side ? keResolveTexture(side->layers[i].Texture) : nullptr;
        const bool ours = texture && (i >= KE_LIBRARY_LAYERS || keAsEngineTexture(texture));
        if (!ours || !keGlBindLayer(mDriver, mMaterial, i, texture, side->layers[i])) keGlReleaseLayer(i);
        if (side && (side->layerFlags[i] & KE_LAYER_SRGB)) srgb |= 1u << i;
    }
    mProgram->setSrgbLayers(srgb);
}

void CKeShaderMaterialRenderer::OnUnsetMaterial() {
    if (mBound) mProgram->unbind(mBlend);
    mBound = false;
    keGlRestoreLayers();
}

bool CKeShaderMaterialRenderer::isTransparent() const {
    const KeGlBlend b = keGlBaseMaterialBlend(mBase, 0.0f);
    return b.enabled || mBase == EMT_ONETEXTURE_BLEND;
}

void CKeShaderMaterialRenderer::setBasicRenderStates(const SMaterial& material, const SMaterial& lastMaterial,
                                                     bool resetAllRenderstates) {
    if (mServices) mServices->setBasicRenderStates(material, lastMaterial, resetAllRenderstates);
}

template <typename T>
bool CKeShaderMaterialRenderer::setConstant(int stage, const char* name, const T* values, int count) {
    const KeShaderConstant* c = keFindConstant(mStages[stage], name);
    if (!c || !values || count <= 0) return false;
    if (c->kind == KeConstantKind::Sampler) return true;  // units are fixed by register(sN)
    std::vector<float>& arr = mArrays[stage][c->buffer];
    const uint32_t perElement = c->rows * c->columns;
    const uint32_t total = perElement * c->arraySize;
    for (uint32_t i = 0; i < total && i < static_cast<uint32_t>(count); ++i) {
        const uint32_t e = i / perElement, r = (i % perElement) / c->columns, col = i % c->columns;
        uint32_t at = c->offset + e * c->arrayStride;
        if (c->rows > 1)
            at += c->rowsContiguous ? r * c->matrixStride + col * 4 : col * c->matrixStride + r * 4;
        else
            at += col * 4;
        at /= 4;
        if (at >= arr.size()) break;
        if (c->kind == KeConstantKind::Float) {
            arr[at] = static_cast<float>(values[i]);
        } else {
            const int32_t v = c->kind == KeConstantKind::Bool ? (values[i] ? 1 : 0) : static_cast<int32_t>(values[i]);
            std::memcpy(&arr[at], &v, 4);
        }
    }
    return true;
}

template bool CKeShaderMaterialRenderer::setConstant<f32>(int, const char*, const f32*, int);
template bool CKeShaderMaterialRenderer::setConstant<s32>(int, const char*, const s32*, int);
template bool CKeShaderMaterialRenderer::setConstant<bool>(int, const char*, const bool*, int);

bool CKeShaderMaterialRenderer::setVertexShaderConstant(const c8* name, const f32* floats, int count) {
    return setConstant(0, name, floats, count);
}
bool CKeShaderMaterialRenderer::setVertexShaderConstant(const c8* name, const bool* bools, int count) {
    return setConstant(0, name, bools, count);
}
bool CKeShaderMaterialRenderer::setVertexShaderConstant(const c8* name, const s32* ints, int count) {
    return setConstant(0, name, ints, count);
}
bool CKeShaderMaterialRenderer::setPixelShaderConstant(const c8* name, const f32* floats, int count) {
    return setConstant(1, name, floats, count);
}
bool CKeShaderMaterialRenderer::setPixelShaderConstant(const c8* name, const bool* bools, int count) {
    return setConstant(1, name, bools, count);
}
bool CKeShaderMaterialRenderer::setPixelShaderConstant(const c8* name, const s32* ints, int count) {
    return setConstant(1, name, ints, count);
}

static void setRegisters(std::vector<std::vector<float>>& arrays, const f32* data, s32 start, s32 amount) {
    if (arrays.empty() || !data || start < 0 || amount <= 0) return;
    std::vector<float>& a = arrays[0];
    for (s32 i = 0; i < amount * 4; ++i) {
        const size_t at = static_cast<size_t>(start) * 4 + static_cast<size_t>(i);
        if (at >= a.size()) break;
        a[at] = data[i];
    }
}

void CKeShaderMaterialRenderer::setVertexShaderConstant(const f32* data, s32 startRegister, s32 constantAmount) {
    setRegisters(mArrays[0], data, startRegister, constantAmount);
}
void CKeShaderMaterialRenderer::setPixelShaderConstant(const f32* data, s32 startRegister, s32 constantAmount) {
    setRegisters(mArrays[1], data, startRegister, constantAmount);
}

}  // namespace kolm
