// Shader compilation: a cold compile of 20 shader materials against a warm start that reads
// the same 20 from the disk cache; and the per-draw cost of setting and uploading constants.
// Runs on the null video driver (the GL program build is not part of either figure).
#include "core/KeError.h"
#include "fx/CKeGPUProgrammingServices.h"
#include "fx/CKeShaderMaterialRenderer.h"

#include <irrlicht/irrlicht.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>
#include <string>
#include <vector>

using namespace irr;
using namespace kolm;
namespace fs = std::filesystem;

namespace {

constexpr int kShaders = 20;
const std::string kFile = std::string(KOLM_SOURCE_DIR) + "/examples/shaders/lit.hlsl";

IrrlichtDevice* nullDevice() {
    static IrrlichtDevice* device = [] {
        SIrrlichtCreationParameters p;
        p.DriverType = video::EDT_NULL;
        p.LoggingLevel = ELL_NONE;
        return createDeviceEx(p);
    }();
    return device;
}

std::string cacheDir() {
    static const std::string dir = (fs::temp_directory_path() / ("kolm_bench_cache_" + std::to_string(::getpid()))).string();
    return dir;
}

// Twenty variants of a lit surface shader (1-8 lights, with and without specular and fog), as
// a scene's surfaces compile them.
void buildAll(u32 mode) {
    auto* s = new CKeGPUProgrammingServices(nullDevice());
    s->setShaderCache(cacheDir().c_str(), mode);
    for (int i = 0; i < kShaders; ++i) {
        const std::string lights = std::to_string(1 + i % 8);
        const CKeMacro macros[] = {{"LIGHTS", lights.c_str()},
                                   {i / 8 == 1 ? "FOG" : "NOFOG", nullptr},
                                   {i / 8 == 2 ? "SPECULAR" : nullptr, nullptr},
                                   {nullptr, nullptr}};
        core::stringc error;
        if (s->getShaderMaterial(kFile.c_str(), "vs_main", video::EVST_VS_3_0, kFile.c_str(), "ps_main",
                                 video::EPST_PS_3_0, nullptr, video::EMT_SOLID, 0, macros, &error) < 0) {
            fprintf(stderr, "%s\n", error.c_str());
            std::abort();
        }
    }
    s->drop();
}

void BM_ColdCompile20(benchmark::State& state) {
    setLogThreshold(KE_ERROR);
    for (auto _ : state) buildAll(0);
}
BENCHMARK(BM_ColdCompile20)->Unit(benchmark::kMillisecond);

void BM_WarmStart20FromDiskCache(benchmark::State& state) {
    setLogThreshold(KE_ERROR);
    fs::create_directories(cacheDir());
    buildAll(7);  // fill the cache
    for (auto _ : state) buildAll(3);
    fs::remove_all(cacheDir());
}
BENCHMARK(BM_WarmStart20FromDiskCache)->Unit(benchmark::kMillisecond);

// Per draw: a matrix and three vectors by name, then the upload of both stages' arrays.
void BM_PerDrawConstants(benchmark::State& state) {
    setLogThreshold(KE_ERROR);
    auto* s = new CKeGPUProgrammingServices(nullDevice());
    const CKeMacro fog[] = {{"FOG", nullptr}, {nullptr, nullptr}};
    const s32 type = s->getShaderMaterial(kFile.c_str(), "vs_main", video::EVST_VS_3_0, kFile.c_str(), "ps_main",
                                          video::EPST_PS_3_0, nullptr, video::EMT_SOLID, 0, fog);
    CKeShaderMaterialRenderer* r = s->shaderDriver().renderer(type);
    core::matrix4 m;
    m.setTranslation(core::vector3df(1, 2, 3));
    const f32 tint[4] = {1, 0.5f, 0.25f, 1};
    const f32 fogStart = 10, fogEnd = 100;
    f32 lights[32] = {};
    for (auto _ : state) {
        r->setVertexShaderConstant("mWorldViewProj", m.pointer(), 16);
        r->setPixelShaderConstant("ambient", tint, 4);
        r->setPixelShaderConstant("fogStart", &fogStart, 1);
        r->setPixelShaderConstant("fogEnd", &fogEnd, 1);
        r->setPixelShaderConstant("lightPosition", lights, 32);
        r->OnRender(nullptr, video::EVT_STANDARD);
        benchmark::DoNotOptimize(r->constantArray(0, 0).data());
    }
    s->drop();
}
BENCHMARK(BM_PerDrawConstants);

// The same on OpenGL (needs DISPLAY): the by-name writes plus the real uniform uploads.
void BM_PerDrawConstantsGl(benchmark::State& state) {
    setLogThreshold(KE_ERROR);
    if (!getenv("DISPLAY")) {
        state.SkipWithError("no DISPLAY");
        for (auto _ : state) {}
        return;
    }
    SIrrlichtCreationParameters p;
    p.DriverType = video::EDT_OPENGL;
    p.WindowSize = core::dimension2du(64, 64);
    p.LoggingLevel = ELL_NONE;
    IrrlichtDevice* device = createDeviceEx(p);
    if (!device) {
        state.SkipWithError("no OpenGL device");
        for (auto _ : state) {}
        return;
    }
    auto* s = new CKeGPUProgrammingServices(device);
    const CKeMacro fog[] = {{"FOG", nullptr}, {"LIGHTS", "4"}, {nullptr, nullptr}};
    const s32 type = s->getShaderMaterial(kFile.c_str(), "vs_main", video::EVST_VS_3_0, kFile.c_str(), "ps_main",
                                          video::EPST_PS_3_0, nullptr, video::EMT_SOLID, 0, fog);
    CKeShaderMaterialRenderer* r = s->shaderDriver().renderer(type);
    video::SMaterial m;
    m.MaterialType = static_cast<video::E_MATERIAL_TYPE>(type);
    r->OnSetMaterial(m, m, true, nullptr);
    core::matrix4 mat;
    const f32 tint[4] = {1, 0.5f, 0.25f, 1};
    f32 lights[32] = {};
    for (auto _ : state) {
        r->setVertexShaderConstant("mWorldViewProj", mat.pointer(), 16);
        r->setVertexShaderConstant("mWorld", mat.pointer(), 16);
        r->setPixelShaderConstant("ambient", tint, 4);
        r->setPixelShaderConstant("lightPosition", lights, 32);
        r->setPixelShaderConstant("lightColour", lights, 32);
        r->OnRender(nullptr, video::EVT_STANDARD);
    }
    r->OnUnsetMaterial();
    s->drop();
    device->closeDevice();
    device->run();
    device->drop();
}
BENCHMARK(BM_PerDrawConstantsGl);

}  // namespace

namespace {

// The part of a warm start that is not file reading: SPIR-V to GLSL with reflection, per stage.
void BM_SpirvToGlslOneStage(benchmark::State& state) {
    setLogThreshold(KE_ERROR);
    auto* s = new CKeGPUProgrammingServices(nullDevice());
    s32 vsId = 0, psId = 0;
    s->createShaderMaterial(kFile.c_str(), "vs_main", video::EVST_VS_3_0, kFile.c_str(), "ps_main", video::EPST_PS_3_0,
                            nullptr, video::EMT_SOLID, 0, nullptr, nullptr, &vsId, &psId);
    const SShaderCompiledEntry* e = s->compiledEntry(psId);
    KeGlslShader out;
    std::string error;
    for (auto _ : state) benchmark::DoNotOptimize(keSpirvToGlsl(e->byteCode.data(), e->byteCode.size(), false, out, error));
    s->drop();
}
BENCHMARK(BM_SpirvToGlslOneStage)->Unit(benchmark::kMicrosecond);

}  // namespace
