// The effect builder: turns an effect definition into the runtime records of an effect. For
// every pass of every technique it works out the compile parameters (shader files, entry
// points, targets, macros, base material and its parameter), asks the shader services for the
// pass's shader material, and makes the constant and texture binds of its uniforms and
// samplers; it fills the parameter cells from the definition, loads textures through the
// resolvers and copies them into the passes' texture layers.
//
// One builder per effect construction; it owns nothing afterwards. The first failing step
// ends the build with its error text.
#pragma once

#include "fx/CKeEffect.h"

#include <irrlicht/EShaderTypes.h>

#include <string>
#include <vector>

namespace kolm {

class CKeEffectBuilder {
public:
    CKeEffectBuilder(const KeEffectBuildInputs& inputs, IKeEffectDef* def, irr::core::array<SKeFxParameter>& cells,
                     irr::core::array<SKeFxTechnique>& techniques);

    bool succeeded() const { return m_ok; }
    const irr::c8* getError() const { return m_error.c_str(); }

    // Pieces of the build that have their own tables (public for tests and tools).
    static irr::u8 wrapMode(const irr::c8* text);
    // The base material of an annotation text and its parameter bits; false when unknown.
    static bool baseMaterialOfText(const irr::c8* text, irr::s32& material, irr::u32& bits);
    static irr::s32 blendFactorOfText(const irr::c8* text);  // -1 when not in the table
    // The macros of one "#define" inline text; false with the error text.
    static bool parseInline(const irr::c8* text, std::vector<SShaderMacro>& out, irr::core::stringc& error);
    // Appends each macro of `add` whose name `list` lacks; a name with another value is warned
    // about and dropped (the first definition wins).
    static void mergeMacros(std::vector<SShaderMacro>& list, const std::vector<SShaderMacro>& add);

private:
    struct CompileParams {
        std::string vertexFile, vertexEntry = "main", pixelFile, pixelEntry = "main";
        irr::video::E_VERTEX_SHADER_TYPE vertexTarget = irr::video::EVST_VS_1_1;
        irr::video::E_PIXEL_SHADER_TYPE pixelTarget = irr::video::EPST_PS_1_1;
        irr::s32 baseMaterial = 0;
        irr::u32 paramBits = 0;
        std::vector<SShaderMacro> macros;
    };

    bool fail(const irr::c8* text);
    bool initParameters();
    bool initSampler(const SParameter* parameter, SKeFxParameter& cell);
    bool initTechniques();
    bool initPass(const SPass* pass, SKeFxPass& out);
    bool initShader(const SShader* shader, irr::s32 materialType, SKeFxShader& out);
    bool initConstantBind(const SShader* shader, const SShaderDesc& sd, const irr::c8* symbol,
                          const SParameter* parameter, const SParameterDesc& pd, irr::s32 materialType,
                          SKeFxShader& out);
    bool initTextureBind(const SShaderDesc& sd, const irr::c8* symbol, const SParameter* parameter,
                         const SParameterDesc& pd, irr::s32 materialType, SKeFxShader& out);
    bool initPassTextureStates(const SPass* pass, SKeFxPass& out);
    bool compilePass(const SPass* pass, irr::s32& materialType, irr::s32& baseMaterial, irr::u32& paramBits);
    bool getPassShaderFiles(const SPass* pass, CompileParams& cp);
    bool getPassBaseMaterial(const SPass* pass, irr::s32& material, irr::u32& bits);
    bool parseInlineMacros(const SPass* pass, std::vector<SShaderMacro>& out);
    std::string resolveShaderFile(const std::string& file) const;
    bool loadTextures();
    bool loadParameterTexture(const SParameter* parameter, irr::u32 index);
    bool setMaterialLayers();

    const KeEffectBuildInputs& m_in;
    IKeEffectDef* m_def;
    irr::core::array<SKeFxParameter>& m_cells;
    irr::core::array<SKeFxTechnique>& m_techniques;
    bool m_ok = false;
    irr::core::stringc m_error;
};

}  // namespace kolm
