// The read interface of an effect definition: techniques, passes, shaders, states and the flat
// list of effect parameters, whatever file format the definition came from.
//
// An "element" is a pointer to a record of the definition (KeEffectRecords.h). Operations that
// return an element return null for an index out of range or a name not found; operations that
// fill a descriptor return true (false only for a null element). Name and semantic comparisons
// are exact (case-sensitive). The runtime effect extends this interface and answers the six
// value readers from its current values instead of the definition's texts.
#pragma once

#include "fx/KeEffectRecords.h"

#include <irrlicht/IReferenceCounted.h>

namespace kolm {

class IKeEffectDef : public virtual irr::IReferenceCounted {
public:
    virtual ~IKeEffectDef() {}

    // The absolute path of the file the definition was read from.
    virtual const irr::c8* getName() const = 0;
    virtual bool getDesc(SEffectDesc& desc) const = 0;

    virtual irr::s32 getTechniqueIndexByName(const irr::c8* name) const = 0;  // -1 when none
    virtual const STechnique* getTechnique(irr::u32 index) const = 0;
    virtual bool getTechniqueDesc(const STechnique* technique, STechniqueDesc& desc) const = 0;

    virtual const SPass* getPass(const STechnique* technique, irr::u32 index) const = 0;
    virtual bool getPassDesc(const SPass* pass, SPassDesc& desc) const = 0;
    virtual const SState* getState(const SPass* pass, irr::u32 index) const = 0;
    virtual const SState* getStateByName(const SPass* pass, const irr::c8* name) const = 0;
    virtual const SEvaluate* getEvaluate(const SPass* pass, irr::u32 index) const = 0;

    // Only effect parameters (parent null) are supported: any other parent gives null.
    virtual const SParameter* getParameter(const SParameter* parent, irr::u32 index) const = 0;
    // The parent is ignored by the three lookups below.
    virtual const SParameter* getParameterBySemantic(const SParameter* parent, const irr::c8* semantic) const = 0;
    virtual const SParameter* getParameterByName(const SParameter* parent, const irr::c8* name) const = 0;
    virtual irr::s32 getParameterIndex(const SParameter* parameter) const = 0;  // -1 when not an effect parameter
    // Index of the first texture parameter (types 8 to 13) with that semantic, or -1.
    virtual irr::s32 getTextureParameterBySemantic(const SParameter* parent, const irr::c8* semantic) const = 0;

    virtual const SShader* getShader(const SPass* pass, irr::u32 index) const = 0;
    virtual bool getShaderDesc(const SShader* shader, SShaderDesc& desc) const = 0;
    // False, with `text` set to "", when the index is out of range.
    virtual bool getShaderInline(const SShader* shader, irr::u32 index, const irr::c8*& text) const = 0;
    virtual const SParameter* getBind(const SShader* shader, irr::u32 index) const = 0;
    // The effect parameter whose name is the bind's text, or null.
    virtual const SParameter* getBindParameter(const SParameter* bind) const = 0;

    virtual bool getParameterDesc(const SParameter* parameter, SParameterDesc& desc) const = 0;
    // Element: a parameter, pass, technique, or null for the effect; any other kind gives null.
    virtual const SParameter* getAnnotation(const SElement* element, irr::u32 index) const = 0;
    virtual const SParameter* getAnnotationByName(const SElement* element, const irr::c8* name) const = 0;

    // Value readers over the parameter's text. getFloatArray and getIntArray read `count`
    // numbers separated by spaces, tabs or line breaks; when the text runs out the rest are 0
    // and the answer is false. getMatrix writes its output only when all 16 numbers were read.
    virtual bool getFloat(const SParameter* parameter, irr::f32& value) const = 0;
    virtual bool getFloatArray(const SParameter* parameter, irr::f32* values, irr::u32 count) const = 0;
    virtual bool getBool(const SParameter* parameter, bool& value) const = 0;
    virtual bool getInt(const SParameter* parameter, irr::s32& value) const = 0;
    virtual bool getIntArray(const SParameter* parameter, irr::s32* values, irr::u32 count) const = 0;
    virtual bool getMatrix(const SParameter* parameter, irr::f32* values16) const = 0;

    // Name and text of any element (a bind: the uniform symbol and the parameter it refers to;
    // an annotation: key and value). "" for elements without one.
    virtual bool getElementName(const SElement* element, const irr::c8*& name) const = 0;
    virtual bool getElementText(const SElement* element, const irr::c8*& text) const = 0;

    virtual bool getSamplerDesc(const SParameter* parameter, SSamplerDesc& desc) const = 0;
    virtual bool getStateDesc(const SState* state, SStateDesc& desc) const = 0;
    // The effect parameter named by the state's parameter reference, or null when it is empty.
    virtual const SParameter* getStateParameter(const SState* state) const = 0;
    virtual bool getEvaluateDesc(const SEvaluate* evaluate, SEvaluateDesc& desc) const = 0;
    virtual const SParameter* getEvaluateParameter(const SEvaluate* evaluate) const = 0;
};

}  // namespace kolm
