// Helpers of the effect runtime and builder tests: shader services that compile nothing and
// record what they are asked, material renderer services that record every constant sent,
// and definitions put together record by record.
#pragma once

#include "fx/CKeEffect.h"
#include "fx/CKeEffectBinds.h"
#include "fx/CKeEffectDef.h"
#include "fx/IKeGPUProgrammingServices.h"

#include <irrlicht/IMaterialRendererServices.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace kolm_test {

using namespace irr;

// Shader services that hand out material types 100, 101, ... and answer the constant-table
// questions from what the test configured: every uniform exists, by name, unless listed.
class StubServices : public kolm::IKeGPUProgrammingServices {
public:
    struct Call {
        std::string vertexFile, vertexEntry, pixelFile, pixelEntry;
        s32 vertexTarget, pixelTarget, baseMaterial;
        std::vector<std::pair<std::string, std::string>> macros;  // value "<none>" when null
        bool macroListNull;
    };
    std::vector<Call> calls;
    std::set<std::string> missing;          // uniforms the compiled shader lacks
    std::map<std::string, s32> registers;   // uniforms set by register (start register)
    std::map<std::string, s32> samplers;    // sampler units (absent: -1, to be numbered)
    bool failCompile = false;

    void setShaderCache(const c8*, u32) override {}
    s32 getShaderMaterial(const c8* vf, const c8* ve, video::E_VERTEX_SHADER_TYPE vt, const c8* pf, const c8* pe,
                          video::E_PIXEL_SHADER_TYPE pt, video::IShaderConstantSetCallBack*, video::E_MATERIAL_TYPE base,
                          s32, const kolm::CKeMacro* macros, core::stringc* error) override {
        Call c{vf, ve, pf, pe, s32(vt), s32(pt), s32(base), {}, macros == nullptr};
        for (const kolm::CKeMacro* m = macros; m && m->Name; ++m)
            c.macros.emplace_back(m->Name, m->Definition ? m->Definition : "<none>");
        calls.push_back(c);
        if (failCompile) {
            if (error) *error = "stub compile error";
            return -1;
        }
        return 100 + s32(calls.size()) - 1;
    }
    bool recompileShaders(const core::array<core::stringc>&, core::array<s32>&, core::array<core::stringc>*) override {
        return true;
    }
    bool regs(const c8* name, s32& index, s32& count) {
        if (missing.count(name)) return false;
        auto it = registers.find(name);
        index = it == registers.end() ? -1 : it->second;
        count = it == registers.end() ? 0 : 4;
        return true;
    }
    bool getPixelConstantRegisters(s32, const c8* name, s32& i, s32& c) override { return regs(name, i, c); }
    bool getVertexConstantRegisters(s32, const c8* name, s32& i, s32& c) override { return regs(name, i, c); }
    bool sampler(const c8* name, s32& index) {
        if (missing.count(name)) return false;
        auto it = samplers.find(name);
        index = it == samplers.end() ? -1 : it->second;
        return true;
    }
    bool getPixelSamplerIndex(s32, const c8* name, s32& index) override { return sampler(name, index); }
    bool getVertexSamplerIndex(s32, const c8* name, s32& index) override { return sampler(name, index); }
    void printConstants(s32) override {}
    s32 createShaderMaterial(const c8*, const c8*, video::E_VERTEX_SHADER_TYPE, const c8*, const c8*,
                             video::E_PIXEL_SHADER_TYPE, video::IShaderConstantSetCallBack*, video::E_MATERIAL_TYPE, s32,
                             const kolm::CKeMacro*, core::stringc*, s32*, s32*) override {
        return -1;
    }
};

// Records every constant: by name as "v:Name" / "p:Name", by register as "v#N" / "p#N".
class RecordingServices : public video::IMaterialRendererServices {
public:
    explicit RecordingServices(video::IVideoDriver* driver = nullptr) : m_driver(driver) {}
    std::map<std::string, std::vector<f32>> sent;
    std::vector<std::string> order;
    bool refuseNames = false;

    void setBasicRenderStates(const video::SMaterial&, const video::SMaterial&, bool) override {}
    bool put(const std::string& key, const f32* v, int n) {
        if (refuseNames) return false;
        sent[key].assign(v, v + n);
        order.push_back(key);
        return true;
    }
    bool setVertexShaderConstant(const c8* name, const f32* f, int n) override { return put(std::string("v:") + name, f, n); }
    bool setVertexShaderConstant(const c8* name, const bool* b, int n) override {
        std::vector<f32> v(b, b + n);
        return put(std::string("v:") + name, v.data(), n);
    }
    bool setVertexShaderConstant(const c8* name, const s32* i, int n) override {
        std::vector<f32> v(i, i + n);
        return put(std::string("v:") + name, v.data(), n);
    }
    void setVertexShaderConstant(const f32* d, s32 start, s32 count) override {
        sent["v#" + std::to_string(start)].assign(d, d + count * 4);
        order.push_back("v#" + std::to_string(start));
    }
    bool setPixelShaderConstant(const c8* name, const f32* f, int n) override { return put(std::string("p:") + name, f, n); }
    bool setPixelShaderConstant(const c8* name, const bool* b, int n) override {
        std::vector<f32> v(b, b + n);
        return put(std::string("p:") + name, v.data(), n);
    }
    bool setPixelShaderConstant(const c8* name, const s32* i, int n) override {
        std::vector<f32> v(i, i + n);
        return put(std::string("p:") + name, v.data(), n);
    }
    void setPixelShaderConstant(const f32* d, s32 start, s32 count) override {
        sent["p#" + std::to_string(start)].assign(d, d + count * 4);
        order.push_back("p#" + std::to_string(start));
    }
    video::IVideoDriver* getVideoDriver() override { return m_driver; }

private:
    video::IVideoDriver* m_driver;
};

// A definition put together record by record: one effect file name, parameters, and
// techniques of passes with a vertex and a pixel shader each.
class DefBuilder {
public:
    explicit DefBuilder(const char* name = "/fx/test.hlsl") : def(new kolm::CKeEffectDefKolm(name, false)) {}
    ~DefBuilder() { def->drop(); }
    DefBuilder(const DefBuilder&) = delete;
    DefBuilder& operator=(const DefBuilder&) = delete;

    kolm::SParameter& param(const char* name, s32 type, const char* semantic = "", const char* text = "") {
        kolm::SParameter p;
        p.name = name;
        p.type = type;
        p.semantic = semantic;
        p.text = text;
        def->record().parameters.push_back(p);
        return def->record().parameters.getLast();
    }
    kolm::SPass& pass(u32 technique = 0, const char* techniqueName = "") {
        auto& techs = def->record().techniques;
        while (techs.size() <= technique) {
            techs.push_back(kolm::STechnique());
            techs.getLast().name = techniqueName;
        }
        kolm::SPass p;
        for (s32 stage : {kolm::KE_STAGE_VERTEX, kolm::KE_STAGE_FRAGMENT}) {
            kolm::SShader s;
            s.stage = stage;
            s.entry = stage == kolm::KE_STAGE_VERTEX ? "vs_main" : "ps_main";
            s.sourceFile = def->getName();
            s.target = stage == kolm::KE_STAGE_VERTEX ? kolm::KE_TARGET_VS_3_0 : kolm::KE_TARGET_PS_3_0;
            p.shaders.push_back(s);
        }
        techs[technique].passes.push_back(p);
        return techs[technique].passes.getLast();
    }
    static void bind(kolm::SPass& pass, s32 stage, const char* symbol, const char* parameter) {
        kolm::SParameter b;
        b.name = symbol;
        b.text = parameter;
        pass.shaders[stage == kolm::KE_STAGE_VERTEX ? 0 : 1].binds.push_back(b);
    }
    static void state(kolm::SPass& pass, const char* name, const char* value, const char* ref = "", s32 index = 0) {
        kolm::SState s;
        s.name = name;
        s.value = value;
        s.paramRef = ref;
        s.index = index;
        pass.states.push_back(s);
    }
    static void annotate(core::array<kolm::SParameter>& list, const char* key, const char* value) {
        kolm::SParameter a;
        a.name = key;
        a.text = value;
        list.push_back(a);
    }

    kolm::CKeEffectDefKolm* def;
};

// Binds and resolvers of a build, as the manager would give them.
struct BuildKit {
    explicit BuildKit(kolm::KeEffectBindContextPtr c = std::make_shared<kolm::KeEffectBindContext>()) : context(c) {
        binds = kolm::keCreateBuiltinBinds(context);
        inputs.services = &services;
        inputs.binds = &binds;
        inputs.resolvers = &resolvers;
        inputs.shaderDirectories = &shaderDirs;
        inputs.textureDirectories = &textureDirs;
    }
    ~BuildKit() {
        for (u32 i = 0; i < binds.size(); ++i) binds[i]->drop();
        for (u32 i = 0; i < resolvers.size(); ++i) resolvers[i]->drop();
        services.drop();
    }
    // Puts a bind in front, as addEffectBind does (the kit takes a reference).
    void addBind(kolm::IKeEffectBind* b) {
        b->grab();
        binds.insert(b, 0);
    }
    kolm::CKeEffect* build(kolm::IKeEffectDef* def) { return new kolm::CKeEffect(inputs, def); }

    kolm::KeEffectBindContextPtr context;
    StubServices& services = *new StubServices();
    core::array<kolm::IKeEffectBind*> binds;
    core::array<kolm::IKeEffectTextureResolver*> resolvers;
    core::array<core::stringc> shaderDirs, textureDirs;
    kolm::KeEffectBuildInputs inputs;
};

}  // namespace kolm_test
