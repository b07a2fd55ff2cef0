// The material renderer of one engine shader material: owns the GL program (through
// platform/gl), the constant tables of both stages and a copy of their constant arrays, and
// reproduces the blending of the base material.
//
// Texture layers: the library binds its own textures of layers 0-3; at every draw this
// renderer binds, from the material's record (fx/KeMaterialBinding.h), layers 4-7 and the
// engine's own textures of any layer with their sampler states, and tells the pixel stage
// which layers hold sRGB colours. Units 0-3 go back to the library's textures when the
// material is unset.
//
// Constants are set by name: the by-name setters look the name up in the stage's table and
// write the copy; the copy is uploaded once per draw. The register setters write the same
// arrays (register N = vec4 N of the stage's first constant buffer).
#pragma once

#include "fx/KeSpirvGlsl.h"
#include "gl/KeGlProgram.h"

#include <irrlicht/IMaterialRenderer.h>
#include <irrlicht/IMaterialRendererServices.h>
#include <irrlicht/IShaderConstantSetCallBack.h>
#include <irrlicht/IVideoDriver.h>

#include <memory>
#include <string>
#include <vector>

namespace kolm {

class CKeShaderMaterialRenderer : public irr::video::IMaterialRenderer,
                                  public irr::video::IMaterialRendererServices {
public:
    // `program` is owned from here on. `callback` gets one reference.
    CKeShaderMaterialRenderer(irr::video::IVideoDriver* driver, IKeGlProgram* program,
                              irr::video::IShaderConstantSetCallBack* callback,
                              irr::video::E_MATERIAL_TYPE baseMaterial, irr::s32 userData);
    ~CKeShaderMaterialRenderer() override;

    // Builds the program from the two stages; false with the GL log. On failure the
    // previous shaders stay in use.
    bool setShaders(const KeGlslShader& vertex, const KeGlslShader& pixel, std::string& error);

    // The texture that vertex-stage sampler register `sampler` (0-3) reads, bound on its own
    // unit at every draw; one reference held. Only engine textures (cube, volume, float and
    // engine 2D textures) can be read by the vertex stage. False for other textures or an
    // index out of range; null clears.
    bool setVertexTexture(irr::u32 sampler, irr::video::ITexture* texture);

    const KeGlslShader& vertexShader() const { return mStages[0]; }
    const KeGlslShader& pixelShader() const { return mStages[1]; }

    // IMaterialRenderer
    void OnSetMaterial(const irr::video::SMaterial& material, const irr::video::SMaterial& lastMaterial,
                       bool resetAllRenderstates, irr::video::IMaterialRendererServices* services) override;
    bool OnRender(irr::video::IMaterialRendererServices* service, irr::video::E_VERTEX_TYPE vtxtype) override;
    void OnUnsetMaterial() override;
    bool isTransparent() const override;
    irr::s32 getRenderCapability() const override { return 0; }

    // IMaterialRendererServices
    void setBasicRenderStates(const irr::video::SMaterial& material, const irr::video::SMaterial& lastMaterial,
                              bool resetAllRenderstates) override;
    bool setVertexShaderConstant(const irr::c8* name, const irr::f32* floats, int count) override;
    bool setVertexShaderConstant(const irr::c8* name, const bool* bools, int count) override;
    bool setVertexShaderConstant(const irr::c8* name, const irr::s32* ints, int count) override;
    void setVertexShaderConstant(const irr::f32* data, irr::s32 startRegister, irr::s32 constantAmount = 1) override;
    bool setPixelShaderConstant(const irr::c8* name, const irr::f32* floats, int count) override;
    bool setPixelShaderConstant(const irr::c8* name, const bool* bools, int count) override;
    bool setPixelShaderConstant(const irr::c8* name, const irr::s32* ints, int count) override;
    void setPixelShaderConstant(const irr::f32* data, irr::s32 startRegister, irr::s32 constantAmount = 1) override;
    irr::video::IVideoDriver* getVideoDriver() override { return mDriver; }

    // Writes `count` values (row after row, as the library's matrix4 holds them) into a
    // stage's copy of its constants. Stage 0 vertex, 1 pixel. Public for tests and benches.
    template <typename T> bool setConstant(int stage, const char* name, const T* values, int count);
    const std::vector<float>& constantArray(int stage, int buffer) const { return mArrays[stage][buffer]; }

private:
    void updateBlend(const irr::video::SMaterial& material);
    void bindLayers();

    irr::video::IVideoDriver* mDriver;
    std::unique_ptr<IKeGlProgram> mProgram;
    irr::video::IShaderConstantSetCallBack* mCallback;
    irr::video::E_MATERIAL_TYPE mBase;
    irr::s32 mUserData;
    KeGlslShader mStages[2];
    std::vector<std::vector<float>> mArrays[2];  // per stage, per constant buffer
    KeGlBlend mBlend;
    bool mBound = false;
    irr::video::SMaterial mMaterial;  // the material being drawn, as the driver set it
    irr::video::ITexture* mVertexTextures[KE_VERTEX_SAMPLERS] = {};
    irr::video::IMaterialRendererServices* mServices = nullptr;  // the driver's, while set
};

}  // namespace kolm
