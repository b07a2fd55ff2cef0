// Per-draw cost of an effect's constants: a typical lit effect of 30 constant binds (matrices,
// light block members, camera, time, screen sizes, generic values) set through the runtime's
// callback path onto recording-free services, on the null driver. Prints the allocations per
// draw, which must be 0.
#include "fx/CKeEffect.h"
#include "fx/CKeEffectBinds.h"
#include "fx/CKeEffectDef.h"
#include "fx/IKeGPUProgrammingServices.h"

#include <benchmark/benchmark.h>
#include <irrlicht/irrlicht.h>

#include <atomic>
#include <cstdlib>
#include <new>

static std::atomic<long> gAllocations{0};
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
    ++gAllocations;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

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

}  // namespace

BENCHMARK_MAIN();
