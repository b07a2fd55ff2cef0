// Per-draw cost of an effect's constants: a typical lit effect of 30 constant binds (matrices,
// light block members, camera, time, screen sizes, generic values) set through the runtime's
// callback path onto recording-free services, on the null driver; and the same kind of effect
// compiled for real and drawn on OpenGL (needs DISPLAY: llvmpipe under Xvfb), where each draw
// also uploads the uniforms. Prints the allocations per draw, which must be 0.
#include "fx/CKeEffect.h"
#include "fx/CKeEffectBinds.h"
#include "fx/CKeEffectDef.h"
#include "fx/CKeGPUProgrammingServices.h"
#include "fx/IKeEffectManager.h"
#include "fx/IKeGPUProgrammingServices.h"
#include "fx/KeMaterialBinding.h"

#include <benchmark/benchmark.h>
#include <irrlicht/irrlicht.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <new>

#include "support/alloc_counter.h"

using namespace irr;
using namespace kolm;

namespace {

// Shader services that compile nothing: every uniform exists and is set by name.
class NoServices : public IKeGPUProgrammingServices {
public:
    void setShaderCache(const c8*, u32) override {}
    s32 getShaderMaterial(const c8*, const c8*, video::E_VERTEX_SHADER_TYPE, const c8*, const c8*,
                          video::E_PIXEL_SHADER_TYPE, video::IShaderConstantSetCallBack*, video::E_MATERIAL_TYPE, s32,
                          const CKeMacro*, core::stringc*) override {
        return 100;
    }
    bool recompileShaders(const core::array<core::stringc>&, core::array<s32>&, core::array<core::stringc>*) override {
        return true;
    }
    bool getPixelConstantRegisters(s32, const c8*, s32& i, s32& c) override { return i = -1, c = 0, true; }
    bool getVertexConstantRegisters(s32, const c8*, s32& i, s32& c) override { return i = -1, c = 0, true; }
    bool getPixelSamplerIndex(s32, const c8*, s32& i) override { return i = -1, true; }
    bool getVertexSamplerIndex(s32, const c8*, s32& i) override { return i = -1, true; }
    void printConstants(s32) override {}
    s32 createShaderMaterial(const c8*, const c8*, video::E_VERTEX_SHADER_TYPE, const c8*, const c8*,
                             video::E_PIXEL_SHADER_TYPE, video::IShaderConstantSetCallBack*, video::E_MATERIAL_TYPE, s32,
                             const CKeMacro*, core::stringc*, s32*, s32*) override {
        return -1;
    }
};

// Material renderer services that take every value into a small array, as a renderer's copy.
class SinkServices : public video::IMaterialRendererServices {
public:
    explicit SinkServices(video::IVideoDriver* d) : m_driver(d) {}
    f32 sink[64] = {};
    void setBasicRenderStates(const video::SMaterial&, const video::SMaterial&, bool) override {}
    bool take(const f32* v, int n) {
        for (int i = 0; i < n && i < 64; ++i) sink[i] += v[i];
        return true;
    }
    bool setVertexShaderConstant(const c8*, const f32* f, int n) override { return take(f, n); }
    bool setVertexShaderConstant(const c8*, const bool*, int) override { return true; }
    bool setVertexShaderConstant(const c8*, const s32*, int) override { return true; }
    void setVertexShaderConstant(const f32* d, s32, s32 n) override { take(d, n * 4); }
    bool setPixelShaderConstant(const c8*, const f32* f, int n) override { return take(f, n); }
    bool setPixelShaderConstant(const c8*, const bool*, int) override { return true; }
    bool setPixelShaderConstant(const c8*, const s32*, int) override { return true; }
    void setPixelShaderConstant(const f32* d, s32, s32 n) override { take(d, n * 4); }
    video::IVideoDriver* getVideoDriver() override { return m_driver; }

private:
    video::IVideoDriver* m_driver;
};

void BM_EffectConstantsPerDraw(benchmark::State& state) {
    IrrlichtDevice* device = createDevice(video::EDT_NULL, core::dimension2du(640, 480));
    scene::ISceneManager* smgr = device->getSceneManager();
    smgr->addCameraSceneNode(nullptr, {0, 2, -5}, {0, 0, 0});
    smgr->addLightSceneNode(nullptr, {0, 5, 0});
    for (int i = 0; i < 3; ++i) {
        video::SLight l;
        l.Type = i == 0 ? video::ELT_DIRECTIONAL : video::ELT_POINT;
        device->getVideoDriver()->addDynamicLight(l);
    }
    auto context = std::make_shared<KeEffectBindContext>();
    context->device = device;
    core::array<IKeEffectBind*> binds = keCreateBuiltinBinds(context);

    // 30 constants: the usual vertex matrices, the pixel light block, camera, time, screen,
    // and material values served from their cells.
    auto* def = new CKeEffectDefKolm("/bench/lit.hlsl", false);
    SEffectRecord& r = def->record();
    const struct {
        const c8* name;
        s32 type;
        const c8* semantic;
        s32 stage;
    } params[] = {
        {"Wvp", KE_FXP_FLOAT4X4, "WorldViewProjection", KE_STAGE_VERTEX},
        {"W", KE_FXP_FLOAT4X4, "World", KE_STAGE_VERTEX},
        {"Wit", KE_FXP_FLOAT4X4, "WorldInverseTranspose", KE_STAGE_VERTEX},
        {"Vp", KE_FXP_FLOAT4X4, "ViewProjection", KE_STAGE_VERTEX},
        {"Wv", KE_FXP_FLOAT4X4, "WorldView", KE_STAGE_VERTEX},
        {"Pvp", KE_FXP_FLOAT4X4, "PrevViewProjection", KE_STAGE_VERTEX},
        {"Eye", KE_FXP_FLOAT4, "ViewPosition", KE_STAGE_VERTEX},
        {"T", KE_FXP_FLOAT, "Time", KE_STAGE_VERTEX},
        {"LightsNum", KE_FXP_FLOAT4, "LightsNum", KE_STAGE_FRAGMENT},
        {"LightsIni", KE_FXP_FLOAT4, "LightsIni", KE_STAGE_FRAGMENT},
        {"LightParams", KE_FXP_FLOAT4, "LightParams", KE_STAGE_FRAGMENT},
        {"Amb", KE_FXP_FLOAT4, "LightAmbient", KE_STAGE_FRAGMENT},
        {"Lp", KE_FXP_FLOAT4, "LightPos0", KE_STAGE_FRAGMENT},
        {"Ld", KE_FXP_FLOAT4, "LightDiffuse0", KE_STAGE_FRAGMENT},
        {"EyeP", KE_FXP_FLOAT4, "ViewPosition", KE_STAGE_FRAGMENT},
        {"Far", KE_FXP_FLOAT, "ZFarValue", KE_STAGE_FRAGMENT},
        {"Px", KE_FXP_FLOAT2, "PixelSize", KE_STAGE_FRAGMENT},
        {"Scr", KE_FXP_FLOAT2, "ScreenSize", KE_STAGE_FRAGMENT},
        {"Ts", KE_FXP_FLOAT, "TimeScene", KE_STAGE_FRAGMENT},
        {"Fps", KE_FXP_FLOAT, "Fps", KE_STAGE_FRAGMENT},
    };
    for (const auto& p : params) {
        SParameter sp;
        sp.name = p.name;
        sp.type = p.type;
        sp.semantic = p.semantic;
        r.parameters.push_back(sp);
    }
    for (int i = 0; i < 10; ++i) {  // material values without semantic: the generic bind
        SParameter sp;
        sp.name = core::stringc("Mat") + core::stringc(i);
        sp.type = i % 2 ? KE_FXP_FLOAT4 : KE_FXP_FLOAT;
        sp.text = "0.5 0.25 1 1";
        r.parameters.push_back(sp);
    }
    r.techniques.push_back(STechnique());
    r.techniques[0].passes.push_back(SPass());
    SPass& pass = r.techniques[0].passes[0];
    for (s32 stage : {KE_STAGE_VERTEX, KE_STAGE_FRAGMENT}) {
        SShader s;
        s.stage = stage;
        s.entry = "main";
        s.sourceFile = "/bench/lit.hlsl";
        s.target = stage == KE_STAGE_VERTEX ? KE_TARGET_VS_3_0 : KE_TARGET_PS_3_0;
        pass.shaders.push_back(s);
    }
    for (u32 i = 0; i < r.parameters.size(); ++i) {
        SParameter b;
        b.name = r.parameters[i].name;
        b.text = r.parameters[i].name;
        const bool vertex = i < 8;
        pass.shaders[vertex ? 0 : 1].binds.push_back(b);
    }

    auto* services = new NoServices();
    core::array<IKeEffectTextureResolver*> resolvers;
    core::array<core::stringc> dirs;
    KeEffectBuildInputs in;
    in.services = services;
    in.binds = &binds;
    in.resolvers = &resolvers;
    in.shaderDirectories = &dirs;
    in.textureDirectories = &dirs;
    CKeEffect* effect = new CKeEffect(in, def);
    KeMaterialBinding record;
    record.effect = effect;
    video::SMaterial material;
    record.attach(material);
    CKeEffectCallback callback;
    SinkServices sink(device->getVideoDriver());

    u32 constants = 0;
    for (u32 s = 0; s < effect->getFxTechnique(0)->passes[0].shaders.size(); ++s)
        constants += effect->getFxTechnique(0)->passes[0].shaders[s].constants.size();
    callback.OnSetMaterial(material);
    callback.OnSetConstants(&sink, 0);  // warm
    const long before = gAllocations.load();
    for (auto _ : state) {
        callback.OnSetMaterial(material);
        callback.OnSetConstants(&sink, 0);
        benchmark::DoNotOptimize(sink.sink);
    }
    const long allocations = gAllocations.load() - before;
    state.counters["constants"] = constants;
    state.counters["allocs_per_draw"] = double(allocations) / double(state.iterations());
    state.counters["ok"] = callback.lastSucceeded() ? 1 : 0;

    effect->drop();
    def->drop();
    services->drop();
    for (u32 i = 0; i < binds.size(); ++i) binds[i]->drop();
    device->drop();
}
BENCHMARK(BM_EffectConstantsPerDraw);

// The annotated lit effect of 30 constants drawn on OpenGL: the material is set (the callback
// sends every constant and the driver uploads them) and one small triangle drawn per iteration.
void BM_EffectConstantsPerDrawGl(benchmark::State& state) {
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("no DISPLAY");
        return;
    }
    SIrrlichtCreationParameters p;
    p.DriverType = video::EDT_OPENGL;
    p.WindowSize = core::dimension2du(64, 64);
    p.LoggingLevel = ELL_NONE;
    IrrlichtDevice* device = createDeviceEx(p);
    if (!device) {
        state.SkipWithError("no OpenGL window");
        return;
    }
    video::IVideoDriver* driver = device->getVideoDriver();
    scene::ISceneManager* smgr = device->getSceneManager();
    smgr->addCameraSceneNode(nullptr, {0, 2, -5}, {0, 0, 0});
    smgr->addLightSceneNode(nullptr, {0, 5, 0});

    // 30 constants: 6 matrices and the light, camera, time and screen values by semantic, and
    // 12 material values from their cells.
    std::string text = "// [KOLM_BEGIN]\n"
                       "// float4x4 Wvp : WorldViewProjection\n// float4x4 W : World\n"
                       "// float4x4 Wit : WorldInverseTranspose\n// float4x4 Vp : ViewProjection\n"
                       "// float4x4 Wv : WorldView\n// float4x4 Pvp : PrevViewProjection\n"
                       "// float4 Eye : ViewPosition\n// float T : Time\n"
                       "// float4 Amb : LightAmbient : pixel\n// float4 Lp : LightPos0 : pixel\n"
                       "// float4 Ld : LightDiffuse0 : pixel\n// float4 EyeP : ViewPosition : pixel\n"
                       "// float Far : ZFarValue : pixel\n// float2 Px : PixelSize : pixel\n"
                       "// float2 Scr : ScreenSize : pixel\n// float Ts : TimeScene : pixel\n"
                       "// float Fps : Fps : pixel\n";
    std::string decl = "float4x4 Wvp; float4x4 W; float4x4 Wit; float4x4 Vp; float4x4 Wv; float4x4 Pvp;\n"
                       "float4 Eye; float T; float4 Amb; float4 Lp; float4 Ld; float4 EyeP; float Far;\n"
                       "float2 Px; float2 Scr; float Ts; float Fps;\n";
    std::string sum = "Amb + Lp + Ld + EyeP + float4(Far + Px + Scr + Ts + Fps, 0, 0)";
    for (int i = 0; i < 13; ++i) {
        const std::string n = "Mat" + std::to_string(i);
        text += "// float4 " + n + " : 0.5, 0.25, 1, 1 : pixel\n";
        decl += "float4 " + n + ";\n";
        sum += " + " + n;
    }
    text += "// [KOLM_END]\n" + decl +
            "float4 vs_main(float3 pos : POSITION) : POSITION {\n"
            "    float4 p = float4(pos, 1.0);\n"
            "    return mul(Wvp, p) + mul(W, p) * 0.0 + mul(Wit, p) * 0.0 + mul(Vp, p) * 0.0 + mul(Wv, p) * 0.0 +\n"
            "           mul(Pvp, p) * 0.0 + Eye * 0.0 + T * 0.0;\n"
            "}\n"
            "float4 ps_main() : COLOR0 { return frac(" + sum + "); }\n";
    char dir[] = "/tmp/kolm-bench-fx-XXXXXX";
    if (!mkdtemp(dir)) {
        state.SkipWithError("no temporary folder");
        device->drop();
        return;
    }
    const std::string file = std::string(dir) + "/lit30.hlsl";
    std::ofstream(file) << text;

    auto* services = new CKeGPUProgrammingServices(device);
    IKeEffectManager* effects = createKeEffectManager(services, true);
    effects->getBindContext().device = device;
    IKeEffect* effect = effects->createEffect(file.c_str(), -1, nullptr);
    if (!effect) {
        state.SkipWithError(effects->getLastError());
    } else {
        KeMaterialBinding record;
        record.effect = effect;
        video::SMaterial material;
        effect->getPassMaterial(0, 0, material, &record);
        record.attach(material);
        const video::S3DVertex v[3] = {video::S3DVertex(0, 0, 0, 0, 0, -1, video::SColor(255, 255, 255, 255), 0, 0),
                                       video::S3DVertex(0.1f, 0, 0, 0, 0, -1, video::SColor(255, 255, 255, 255), 1, 0),
                                       video::S3DVertex(0, 0.1f, 0, 0, 0, -1, video::SColor(255, 255, 255, 255), 0, 1)};
        const u16 idx[3] = {0, 1, 2};
        // A second object's material of the same effect: switching makes every draw set its
        // material up, as between two objects.
        video::SMaterial other;
        effect->getPassMaterial(0, 0, other, &record);
        driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
        driver->setMaterial(material);
        driver->drawIndexedTriangleList(v, 3, idx, 1);
        const long before = gAllocations.load();
        for (auto _ : state) {
            driver->setMaterial(other);
            driver->setMaterial(material);
            driver->drawIndexedTriangleList(v, 3, idx, 1);
        }
        const long allocations = gAllocations.load() - before;
        driver->endScene();
        state.counters["allocs_per_draw"] = double(allocations) / double(state.iterations());
        effect->drop();
    }
    effects->drop();
    services->drop();
    std::remove(file.c_str());
    rmdir(dir);
    device->closeDevice();
    device->run();
    device->drop();
}
BENCHMARK(BM_EffectConstantsPerDrawGl);

}  // namespace

BENCHMARK_MAIN();
