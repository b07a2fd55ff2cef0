// The runtime effect (IKeEffect.h) and the shader constant callback that hands each draw of a
// pass material to its effect.
#pragma once

#include "fx/IKeEffect.h"
#include "fx/IKeEffectBind.h"
#include "fx/IKeEffectTextureResolver.h"
#include "fx/KeEffectRuntime.h"
#include "fx/SShaderMacro.h"

#include <irrlicht/IShaderConstantSetCallBack.h>

namespace kolm {

class IKeGPUProgrammingServices;

// Everything an effect is built from (see CKeEffectBuilder.h).
struct KeEffectBuildInputs {
    IKeGPUProgrammingServices* services = nullptr;
    const irr::core::array<IKeEffectBind*>* binds = nullptr;                 // generic bind last
    const irr::core::array<IKeEffectTextureResolver*>* resolvers = nullptr;
    const irr::core::array<irr::core::stringc>* shaderDirectories = nullptr;
    const irr::core::array<irr::core::stringc>* textureDirectories = nullptr;
    irr::s32 baseMaterial = -1;               // -1: none given
    const CKeMacro* macros = nullptr;         // ended by a null name, or null
    irr::video::IShaderConstantSetCallBack* callback = nullptr;
};

class CKeEffect : public IKeEffect {
public:
    // Builds the effect from `def` (one reference taken); see isValid and getError.
    CKeEffect(const KeEffectBuildInputs& inputs, IKeEffectDef* def);
    ~CKeEffect() override;

    bool isValid() const { return m_valid; }
    const irr::c8* getError() const { return m_error.c_str(); }

    // IKeEffectDef: answered by the definition, except the six value readers.
    const irr::c8* getName() const override { return m_def->getName(); }
    bool getDesc(SEffectDesc& desc) const override { return m_def->getDesc(desc); }
    irr::s32 getTechniqueIndexByName(const irr::c8* name) const override { return m_def->getTechniqueIndexByName(name); }
    const STechnique* getTechnique(irr::u32 index) const override { return m_def->getTechnique(index); }
    bool getTechniqueDesc(const STechnique* t, STechniqueDesc& desc) const override { return m_def->getTechniqueDesc(t, desc); }
    const SPass* getPass(const STechnique* t, irr::u32 index) const override { return m_def->getPass(t, index); }
    bool getPassDesc(const SPass* pass, SPassDesc& desc) const override { return m_def->getPassDesc(pass, desc); }
    const SState* getState(const SPass* pass, irr::u32 index) const override { return m_def->getState(pass, index); }
    const SState* getStateByName(const SPass* pass, const irr::c8* name) const override { return m_def->getStateByName(pass, name); }
    const SEvaluate* getEvaluate(const SPass* pass, irr::u32 index) const override { return m_def->getEvaluate(pass, index); }
    const SParameter* getParameter(const SParameter* parent, irr::u32 index) const override { return m_def->getParameter(parent, index); }
    const SParameter* getParameterBySemantic(const SParameter* parent, const irr::c8* semantic) const override {
        return m_def->getParameterBySemantic(parent, semantic);
    }
    const SParameter* getParameterByName(const SParameter* parent, const irr::c8* name) const override {
        return m_def->getParameterByName(parent, name);
    }
    irr::s32 getParameterIndex(const SParameter* p) const override { return m_def->getParameterIndex(p); }
    irr::s32 getTextureParameterBySemantic(const SParameter* parent, const irr::c8* semantic) const override {
        return m_def->getTextureParameterBySemantic(parent, semantic);
    }
    const SShader* getShader(const SPass* pass, irr::u32 index) const override { return m_def->getShader(pass, index); }
    bool getShaderDesc(const SShader* s, SShaderDesc& desc) const override { return m_def->getShaderDesc(s, desc); }
    bool getShaderInline(const SShader* s, irr::u32 index, const irr::c8*& text) const override {
        return m_def->getShaderInline(s, index, text);
    }
    const SParameter* getBind(const SShader* s, irr::u32 index) const override { return m_def->getBind(s, index); }
    const SParameter* getBindParameter(const SParameter* bind) const override { return m_def->getBindParameter(bind); }
    bool getParameterDesc(const SParameter* p, SParameterDesc& desc) const override { return m_def->getParameterDesc(p, desc); }
    const SParameter* getAnnotation(const SElement* e, irr::u32 index) const override { return m_def->getAnnotation(e, index); }
    const SParameter* getAnnotationByName(const SElement* e, const irr::c8* name) const override {
        return m_def->getAnnotationByName(e, name);
    }
    bool getFloat(const SParameter* p, irr::f32& value) const override;
    bool getFloatArray(const SParameter* p, irr::f32* values, irr::u32 count) const override;
    bool getBool(const SParameter* p, bool& value) const override;
    bool getInt(const SParameter* p, irr::s32& value) const override;
    bool getIntArray(const SParameter* p, irr::s32* values, irr::u32 count) const override;
    bool getMatrix(const SParameter* p, irr::f32* values16) const override;
    bool getElementName(const SElement* e, const irr::c8*& name) const override { return m_def->getElementName(e, name); }
    bool getElementText(const SElement* e, const irr::c8*& text) const override { return m_def->getElementText(e, text); }
    bool getSamplerDesc(const SParameter* p, SSamplerDesc& desc) const override { return m_def->getSamplerDesc(p, desc); }
    bool getStateDesc(const SState* s, SStateDesc& desc) const override { return m_def->getStateDesc(s, desc); }
    const SParameter* getStateParameter(const SState* s) const override { return m_def->getStateParameter(s); }
    bool getEvaluateDesc(const SEvaluate* e, SEvaluateDesc& desc) const override { return m_def->getEvaluateDesc(e, desc); }
    const SParameter* getEvaluateParameter(const SEvaluate* e) const override { return m_def->getEvaluateParameter(e); }

    // IKeEffect
    bool setFloat(const irr::c8* name, irr::f32 value) override;
    bool setFloat(const SParameter* parameter, irr::f32 value) override;
    bool setFloatArray(const irr::c8* name, const irr::f32* values, irr::u32 count) override;
    bool setFloatArray(const SParameter* parameter, const irr::f32* values, irr::u32 count) override;
    bool setBool(const irr::c8* name, bool value) override;
    bool setBool(const SParameter* parameter, bool value) override;
    bool setInt(const irr::c8* name, irr::s32 value) override;
    bool setInt(const SParameter* parameter, irr::s32 value) override;
    bool setIntArray(const irr::c8* name, const irr::s32* values, irr::u32 count) override;
    bool setIntArray(const SParameter* parameter, const irr::s32* values, irr::u32 count) override;
    bool setMatrix(const irr::c8* name, const irr::f32* values16) override;
    bool setMatrix(const SParameter* parameter, const irr::f32* values16) override;
    bool setTexture(const irr::c8* name, irr::video::ITexture* texture, bool srgb) override;
    bool setTexture(const SParameter* parameter, irr::video::ITexture* texture, bool srgb) override;
    bool setTextureByIndex(irr::s32 parameterIndex, irr::video::ITexture* texture, bool srgb) override;
    bool getPassMaterial(irr::s32 technique, irr::s32 pass, irr::video::SMaterial& material,
                         KeMaterialBinding* side = nullptr) const override;
    bool setPassTexture(irr::s32 technique, irr::s32 pass, irr::s32 parameterIndex, irr::video::SMaterial& material,
                        KeMaterialBinding* side, irr::video::ITexture* texture, bool srgb) const override;
    bool onSetShaderConstants(irr::video::IMaterialRendererServices* services, irr::s32 userData,
                              const KeMaterialBinding* record) override;
    bool needsTangents() const override;
    IKeEffect* clone() const override;
    irr::u32 getTechniqueCount() const override { return m_techniques.size(); }
    const SKeFxTechnique* getFxTechnique(irr::u32 index) const override {
        return index < m_techniques.size() ? &m_techniques[index] : nullptr;
    }
    const SKeFxParameter* getCell(irr::u32 index) const override {
        return index < m_cells.size() ? &m_cells[index] : nullptr;
    }
    const IKeEffectDef* getDefinition() const override { return m_def; }

private:
    CKeEffect(const CKeEffect& other);  // clone
    SKeFxParameter* cellOf(const SParameter* parameter);
    const SKeFxParameter* cellOf(const SParameter* parameter) const;
    void reportConstant(const SKeFxConstBind& constant);

    IKeEffectDef* m_def;  // one reference
    irr::core::array<SKeFxParameter> m_cells;
    irr::core::array<SKeFxTechnique> m_techniques;
    bool m_valid = false;
    irr::core::stringc m_error;
};

// The shader constant callback of effect materials: remembers the material set up last and,
// when it points at a record with an effect, lets that effect set the constants.
class CKeEffectCallback : public irr::video::IShaderConstantSetCallBack {
public:
    void OnSetMaterial(const irr::video::SMaterial& material) override;
    void OnSetConstants(irr::video::IMaterialRendererServices* services, irr::s32 userData) override;
    // Whether the last OnSetConstants set the constants (false: no record, or a bind refused).
    bool lastSucceeded() const { return m_lastSucceeded; }

private:
    irr::f32 m_handle = 0.0f;  // MaterialTypeParam2 of the material remembered
    bool m_lastSucceeded = false;
};

}  // namespace kolm
