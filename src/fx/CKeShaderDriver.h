// What the engine asks of the video driver for shaders: compile HLSL to byte code, make a
// shader material from two byte codes, replace a material's byte code in place, and read a
// material's constant tables. On OpenGL the material draws through a GL program; on the null
// driver through the null program (nothing drawn, tables still answered), so tools and tests
// compile exactly as the engine does.
#pragma once

#include "fx/IIncludeCallback.h"
#include "fx/KeSpirvGlsl.h"
#include "fx/SShaderMacro.h"

#include <irrlicht/EMaterialTypes.h>
#include <irrlicht/IShaderConstantSetCallBack.h>
#include <irrlicht/IVideoDriver.h>

#include <map>
#include <string>
#include <vector>

namespace kolm {

class CKeShaderMaterialRenderer;

class CKeShaderDriver {
public:
    explicit CKeShaderDriver(irr::video::IVideoDriver* driver) : mDriver(driver) {}

    irr::video::IVideoDriver* videoDriver() const { return mDriver; }

    bool compile(bool vertex, const std::string& source, const std::string& entry,
                 const std::vector<SShaderMacro>& macros, IIncludeCallback* includes,
                 std::vector<uint8_t>& byteCode, std::string& errors);

    // Material type or -1 (error set).
    irr::s32 addShaderMaterial(const std::vector<uint8_t>& vertex, const std::vector<uint8_t>& pixel,
                               irr::video::IShaderConstantSetCallBack* callback,
                               irr::video::E_MATERIAL_TYPE baseMaterial, irr::s32 userData, std::string& error);

    bool replaceShaderMaterial(irr::s32 materialType, const std::vector<uint8_t>& vertex,
                               const std::vector<uint8_t>& pixel, std::string& error);

    // The tables of a material made here; null when the type is not one of ours.
    const KeGlslShader* vertexTable(irr::s32 materialType) const;
    const KeGlslShader* pixelTable(irr::s32 materialType) const;
    CKeShaderMaterialRenderer* renderer(irr::s32 materialType) const;

    // GLSL of a stage by its byte code, remembered: effect variants often differ in one stage
    // only, so the other stage's conversion is done once. Also the check that byte code read
    // from a cache file is usable.
    bool toGlsl(bool vertex, const std::vector<uint8_t>& byteCode, KeGlslShader& out, std::string& error);

    // After addShaderMaterial or replaceShaderMaterial failed: true when GL refused the
    // generated GLSL (compile or link), which is then kept here for the report.
    bool failedInGl() const { return mFailedInGl; }
    const std::string& failedGlsl(bool vertex) const { return mFailedGlsl[vertex ? 0 : 1]; }

private:
    void keepFailure(const KeGlslShader& vs, const KeGlslShader& ps);

    std::map<std::vector<uint8_t>, KeGlslShader> mConverted[2];
    bool mFailedInGl = false;
    std::string mFailedGlsl[2];

    irr::video::IVideoDriver* mDriver;
    std::map<irr::s32, CKeShaderMaterialRenderer*> mMaterials;  // borrowed: the driver owns them
};

}  // namespace kolm
