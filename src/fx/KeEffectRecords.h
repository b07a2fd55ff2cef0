// The records of an effect definition: the format-neutral description of a shader effect that
// both effect file readers fill and the effect builder reads through IKeEffectDef.
//
// Every record except SInclude starts with its kind number (SElement), so that the annotation
// operations take any annotated element. Records are plain values in library arrays; pointers
// to them stay valid as long as the definition that holds them lives and is not changed.
#pragma once

#include <irrlicht/irrArray.h>
#include <irrlicht/irrString.h>
#include <irrlicht/irrTypes.h>

namespace kolm {

// Kind numbers (first field of every element).
enum EKeEffectElementKind : irr::s32 {
    KE_FX_PARAMETER = 1,  // effect parameter, annotation, or shader bind
    KE_FX_SHADER = 2,
    KE_FX_STATE = 3,
    KE_FX_EVALUATE = 4,
    KE_FX_PASS = 5,
    KE_FX_TECHNIQUE = 6,
    KE_FX_EFFECT = 7,
};

// Parameter types (SParameter::type). 8 to 13 are the texture types.
enum EKeEffectParamType : irr::s32 {
    KE_FXP_NONE = 0,
    KE_FXP_BOOL = 1,
    KE_FXP_FLOAT = 2,
    KE_FXP_FLOAT2 = 3,
    KE_FXP_FLOAT3 = 4,
    KE_FXP_FLOAT4 = 5,
    KE_FXP_FLOAT4X4 = 6,
    KE_FXP_INT = 7,
    KE_FXP_SAMPLER1D = 8,
    KE_FXP_SAMPLER2D = 9,
    KE_FXP_SAMPLER3D = 10,
    KE_FXP_SAMPLERRECT = 11,
    KE_FXP_SAMPLERCUBE = 12,
    KE_FXP_SAMPLERDEPTH = 13,
};

inline bool keIsTextureParamType(irr::s32 type) { return type >= KE_FXP_SAMPLER1D && type <= KE_FXP_SAMPLERDEPTH; }

// Shader stages (SShader::stage). The engine compiles only VERTEX and FRAGMENT shaders.
enum EKeShaderStage : irr::s32 {
    KE_STAGE_UNKNOWN = 0,
    KE_STAGE_TESSELATION = 1,
    KE_STAGE_VERTEX = 2,
    KE_STAGE_GEOMETRY = 3,
    KE_STAGE_FRAGMENT = 4,  // the pixel shader
};

// Compile targets (SShader::target).
enum EKeShaderTarget : irr::s32 {
    KE_TARGET_UNKNOWN = 0,
    KE_TARGET_VS_1_1 = 1,
    KE_TARGET_VS_2_0 = 2,
    KE_TARGET_VS_3_0 = 3,
    KE_TARGET_PS_1_1 = 4,
    KE_TARGET_PS_2_0 = 5,
    KE_TARGET_PS_3_0 = 6,
};

// Names of the values above as the effect files and the tools write them ("" when unknown).
const char* keShaderStageName(irr::s32 stage);
const char* keShaderTargetName(irr::s32 target);
const char* keEffectParamTypeName(irr::s32 type);

struct SElement {
    explicit SElement(irr::s32 k) : kind(k) {}
    irr::s32 kind;
};

struct SParameter : SElement {
    SParameter() : SElement(KE_FX_PARAMETER) {}
    irr::core::stringc name;
    irr::core::stringc text;  // the value as written: numbers separated by white space, or a string
    irr::core::stringc semantic;
    irr::s32 type = KE_FXP_NONE;
    irr::core::array<SParameter> annotations;  // name = key, text = value
    // Sampler texts, in this order.
    irr::core::stringc imageUrl;
    irr::core::stringc wrapS, wrapT, wrapP;
    irr::core::stringc minFilter, magFilter, mipFilter;
};

struct SShader : SElement {
    SShader() : SElement(KE_FX_SHADER) {}
    irr::s32 stage = KE_STAGE_UNKNOWN;
    irr::core::stringc entry;
    irr::core::stringc sourceFile;
    irr::core::array<irr::core::stringc> inlines;  // "#define" lines the builder hands to the compiler
    irr::s32 target = KE_TARGET_UNKNOWN;
    // name = the shader's uniform symbol, text = the effect parameter it takes its value from
    irr::core::array<SParameter> binds;
};

struct SState : SElement {
    SState() : SElement(KE_FX_STATE) {}
    // A render state name ("blend_enable"), or for a sampler binding "texture1D", "texture2D",
    // "texture3D" or "textureCUBE".
    irr::core::stringc name;
    irr::core::stringc value;
    irr::core::stringc paramRef;  // effect parameter of a sampler state
    irr::s32 index = 0;           // sampler stage of a sampler state
};

struct SEvaluate : SElement {
    SEvaluate() : SElement(KE_FX_EVALUATE) {}
    irr::core::stringc name;
    irr::s32 index = 0;
    irr::core::stringc paramRef;
    irr::core::stringc value;
};

struct SPass : SElement {
    SPass() : SElement(KE_FX_PASS) {}
    irr::core::stringc name;
    irr::core::array<SShader> shaders;
    irr::core::array<SState> states;
    irr::core::array<SEvaluate> evaluates;
    irr::core::array<SParameter> annotations;
};

struct STechnique : SElement {
    STechnique() : SElement(KE_FX_TECHNIQUE) {}
    irr::core::stringc name;
    irr::core::array<SPass> passes;
    irr::core::array<SParameter> annotations;
};

struct SInclude {
    irr::core::stringc sid;
    irr::core::stringc url;
};

struct SEffectRecord : SElement {
    SEffectRecord() : SElement(KE_FX_EFFECT) {}
    irr::core::stringc id, name;                 // COLLADA
    irr::core::stringc title, subject, comments;  // annotated HLSL
    irr::core::array<SParameter> parameters;     // addressed by index everywhere else
    irr::core::array<SInclude> includes;
    irr::core::array<STechnique> techniques;
    irr::core::array<SParameter> annotations;
};

// Descriptors filled by IKeEffectDef. Text pointers point into the definition and live as long
// as it does; an absent text is "".
struct SEffectDesc {
    const irr::c8* id;
    const irr::c8* name;
    const irr::c8* title;
    const irr::c8* subject;
    const irr::c8* comments;
    irr::u32 parameters;
    irr::u32 techniques;
    irr::u32 annotations;
};

struct STechniqueDesc {
    const irr::c8* name;
    irr::u32 passes;
    irr::u32 annotations;
};

struct SPassDesc {
    const irr::c8* name;
    irr::u32 shaders;
    irr::u32 states;
    irr::u32 evaluates;
    irr::u32 annotations;
};

struct SShaderDesc {
    irr::s32 stage;
    const irr::c8* entry;
    const irr::c8* sourceFile;
    irr::u32 inlines;
    irr::s32 target;
    irr::u32 binds;
};

struct SParameterDesc {
    const irr::c8* name;
    const irr::c8* semantic;
    irr::s32 type;
    irr::u32 annotations;
};

struct SSamplerDesc {
    const irr::c8* imageUrl;
    const irr::c8* wrapS;
    const irr::c8* wrapT;
    const irr::c8* wrapP;
    const irr::c8* minFilter;
    const irr::c8* magFilter;
    const irr::c8* mipFilter;
};

struct SStateDesc {
    const irr::c8* name;
    const irr::c8* value;
    const irr::c8* paramRef;
    irr::s32 index;
};

struct SEvaluateDesc {
    const irr::c8* name;
    irr::s32 index;
    const irr::c8* paramRef;
    const irr::c8* value;
};

}  // namespace kolm
