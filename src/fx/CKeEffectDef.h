// The effect definition that both effect file readers fill: a name, one effect record and the
// target flag. The readers build the record through record() before they hand the definition
// out; after that it is only read.
#pragma once

#include "fx/IKeEffectDef.h"

namespace kolm {

class CKeEffectDef : public IKeEffectDef {
public:
    // `name`: the absolute path of the effect file. `targetIsOpenGL`: the video driver is the
    // OpenGL driver (read by the COLLADA reader only).
    CKeEffectDef(const irr::c8* name, bool targetIsOpenGL);
    ~CKeEffectDef() override;

    SEffectRecord& record() { return mRecord; }
    const SEffectRecord& record() const { return mRecord; }
    bool targetIsOpenGL() const { return mTargetIsOpenGL; }

    const irr::c8* getName() const override;
    bool getDesc(SEffectDesc& desc) const override;
    irr::s32 getTechniqueIndexByName(const irr::c8* name) const override;
    const STechnique* getTechnique(irr::u32 index) const override;
    bool getTechniqueDesc(const STechnique* technique, STechniqueDesc& desc) const override;
    const SPass* getPass(const STechnique* technique, irr::u32 index) const override;
    bool getPassDesc(const SPass* pass, SPassDesc& desc) const override;
    const SState* getState(const SPass* pass, irr::u32 index) const override;
    const SState* getStateByName(const SPass* pass, const irr::c8* name) const override;
    const SEvaluate* getEvaluate(const SPass* pass, irr::u32 index) const override;
    const SParameter* getParameter(const SParameter* parent, irr::u32 index) const override;
    const SParameter* getParameterBySemantic(const SParameter* parent, const irr::c8* semantic) const override;
    const SParameter* getParameterByName(const SParameter* parent, const irr::c8* name) const override;
    irr::s32 getParameterIndex(const SParameter* parameter) const override;
    irr::s32 getTextureParameterBySemantic(const SParameter* parent, const irr::c8* semantic) const override;
    const SShader* getShader(const SPass* pass, irr::u32 index) const override;
    bool getShaderDesc(const SShader* shader, SShaderDesc& desc) const override;
    bool getShaderInline(const SShader* shader, irr::u32 index, const irr::c8*& text) const override;
    const SParameter* getBind(const SShader* shader, irr::u32 index) const override;
    const SParameter* getBindParameter(const SParameter* bind) const override;
    bool getParameterDesc(const SParameter* parameter, SParameterDesc& desc) const override;
    const SParameter* getAnnotation(const SElement* element, irr::u32 index) const override;
    const SParameter* getAnnotationByName(const SElement* element, const irr::c8* name) const override;
    bool getFloat(const SParameter* parameter, irr::f32& value) const override;
    bool getFloatArray(const SParameter* parameter, irr::f32* values, irr::u32 count) const override;
    bool getBool(const SParameter* parameter, bool& value) const override;
    bool getInt(const SParameter* parameter, irr::s32& value) const override;
    bool getIntArray(const SParameter* parameter, irr::s32* values, irr::u32 count) const override;
    bool getMatrix(const SParameter* parameter, irr::f32* values16) const override;
    bool getElementName(const SElement* element, const irr::c8*& name) const override;
    bool getElementText(const SElement* element, const irr::c8*& text) const override;
    bool getSamplerDesc(const SParameter* parameter, SSamplerDesc& desc) const override;
    bool getStateDesc(const SState* state, SStateDesc& desc) const override;
    const SParameter* getStateParameter(const SState* state) const override;
    bool getEvaluateDesc(const SEvaluate* evaluate, SEvaluateDesc& desc) const override;
    const SParameter* getEvaluateParameter(const SEvaluate* evaluate) const override;

private:
    const irr::core::array<SParameter>* annotationsOf(const SElement* element) const;

    irr::core::stringc mName;
    SEffectRecord mRecord;
    bool mTargetIsOpenGL;
};

// A definition read from an annotated HLSL file; it reads like any other definition.
class CKeEffectDefKolm : public CKeEffectDef {
public:
    using CKeEffectDef::CKeEffectDef;
};

// Number readers shared by the definitions and the runtime effect: read numbers from `text`,
// separated by spaces, tabs or line breaks. Each answers how many numbers it read (at most
// `count`) and sets the rest of the output to 0. A token that does not start with a number ends
// the reading; characters after a number up to the next separator ("1.0f") are passed over.
// Integers come from the number read as a float, cut toward zero and held within s32.
irr::u32 keReadFloats(const irr::c8* text, irr::f32* values, irr::u32 count);
irr::u32 keReadIntsFromFloats(const irr::c8* text, irr::s32* values, irr::u32 count);
// The text read as one integer (leading separators skipped, digits up to the first other
// character, held within s32); false and 0 when it does not start with one.
bool keReadInt(const irr::c8* text, irr::s32& value);

}  // namespace kolm
