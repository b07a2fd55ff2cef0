#include "runtime/KeLoadingShader.h"

#include "runtime/KeEngine.h"
#include "runtime/KeLoadingScreen.h"
#include "core/KeError.h"
#include "engine/IKeManager.h"
#include "files/KeFileSystem.h"
#include "fx/CKeShaderDriver.h"
#include "fx/IKeGPUProgrammingServices.h"

#include <irrlicht.h>

#include <string>
#include <vector>

namespace kolm {

using namespace irr;

// Sets the two pixel constants before each draw of the quad.
class CKeLoadingConstants : public video::IShaderConstantSetCallBack {
public:
    void OnSetConstants(video::IMaterialRendererServices* services, s32) override {
        services->setPixelShaderConstant("resolution", resolution, 2);
        services->setPixelShaderConstant("progress", &progress, 1);
    }
    f32 resolution[2] = {0, 0};  // pixels
    f32 progress = 0;            // 0..1, beyond 1 while fading out
};

KeLoadingShader::KeLoadingShader() = default;
KeLoadingShader::~KeLoadingShader() = default;
KeLoadingShader::KeLoadingShader(KeLoadingShader&& o) noexcept
    : material(o.material), picture(o.picture), driver(std::move(o.driver)), constants(std::move(o.constants)) {
    o.material = -1;
}
KeLoadingShader& KeLoadingShader::operator=(KeLoadingShader&& o) noexcept {
    if (this != &o) {
        material = o.material;
        picture = o.picture;
        driver = std::move(o.driver);
        constants = std::move(o.constants);
        o.material = -1;
    }
    return *this;
}

void keLoadingShaderCreate(KeLoadingShader* shader, video::ITexture* picture) {
    shader->material = -1;
    shader->picture = picture;
    EngineContext& c = keEngineContext();
    if (!c.driver || c.driver->getDriverType() != video::EDT_OPENGL) return;
    if (!shader->constants) shader->constants = KePtr<CKeLoadingConstants>::adopt(new CKeLoadingConstants());

    const char* file = keFindFile("loading.hlsl");
    if (c.device->getFileSystem()->existFile(file)) {
        IKeManager* manager = keEngineManager();
        IKeGPUProgrammingServices* gpu = manager ? manager->getGPUProgrammingServices() : nullptr;
        if (!gpu) return;
        shader->material = gpu->getShaderMaterial(file, "vs_main", video::EVST_VS_3_0, file, "ps_main", video::EPST_PS_3_0,
                                                  shader->constants.get(), video::EMT_SOLID, 0, nullptr);
        return;
    }

    // The built-in source needs no file: compile it here, without the shader caches.
    shader->driver = std::make_unique<CKeShaderDriver>(c.driver);
    std::vector<uint8_t> vs, ps;
    std::string errors;
    const std::vector<SShaderMacro> none;
    if (!shader->driver->compile(true, kKeLoadingShaderSource, "vs_main", none, nullptr, vs, errors) ||
        !shader->driver->compile(false, kKeLoadingShaderSource, "ps_main", none, nullptr, ps, errors)) {
        printMessage(KE_ERROR, "loading shader: %s", errors.c_str());
        return;
    }
    shader->material = shader->driver->addShaderMaterial(vs, ps, shader->constants.get(), video::EMT_SOLID, 0, errors);
    if (shader->material < 0) printMessage(KE_ERROR, "loading shader: %s", errors.c_str());
}

void keLoadingShaderDraw(KeLoadingShader* shader, float progress, int width, int height) {
    EngineContext& c = keEngineContext();
    if (shader->material < 0 || !c.driver) return;
    shader->constants->progress = progress;
    shader->constants->resolution[0] = static_cast<f32>(width);
    shader->constants->resolution[1] = static_cast<f32>(height);

    video::IVideoDriver* driver = c.driver;
    // Clip-space corners; texture coordinates with row 0 at the top of the screen.
    const video::SColor white(255, 255, 255, 255);
    video::S3DVertex v[4] = {
        video::S3DVertex(-1, 1, 0, 0, 0, -1, white, 0, 0),
        video::S3DVertex(1, 1, 0, 0, 0, -1, white, 1, 0),
        video::S3DVertex(1, -1, 0, 0, 0, -1, white, 1, 1),
        video::S3DVertex(-1, -1, 0, 0, 0, -1, white, 0, 1),
    };
    const u16 indices[6] = {0, 1, 2, 0, 2, 3};
    video::SMaterial m;
    m.MaterialType = static_cast<video::E_MATERIAL_TYPE>(shader->material);
    m.Lighting = false;
    m.ZBuffer = video::ECFN_ALWAYS;
    m.ZWriteEnable = false;
    m.BackfaceCulling = false;
    m.setTexture(0, shader->picture);
    const core::matrix4 identity;
    driver->setTransform(video::ETS_PROJECTION, identity);
    driver->setTransform(video::ETS_VIEW, identity);
    driver->setTransform(video::ETS_WORLD, identity);
    driver->setMaterial(m);
    driver->drawIndexedTriangleList(v, 4, indices, 2);
}

void keLoadingShaderRelease(KeLoadingShader* shader) { *shader = KeLoadingShader(); }

}  // namespace kolm
