// Effect definitions: a cold load of a 300-line annotated effect file (three technique readings
// of a 70-line block, from memory and from the disk through the file layer) against a cache
// hit with four macros. The hit reports its allocations per lookup (it must make none).
#include "fx/CKeEffectManager.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <unistd.h>

#include "support/alloc_counter.h"

using namespace kolm;

namespace {

// A surface effect as the engine's surface shaders are written: a 70-line annotation block
// with conditions, then HLSL code, 300 lines in all.
const std::string& effectText() {
    static const std::string text = [] {
        std::string t = "// [KOLM_BEGIN]\n//title Bench surface\n// config techniques : depth shadow\n"
                        "// config baseMaterial : solid\n// config tangents\n";
        t += "// float4x4 Wvp : WorldViewProjection\n// float4x4 World : World\n// float4x4 View : View : both\n";
        t += "// float Time : Time : pixel\n// float3 Eye : ViewPosition : pixel\n";
        const char* channels[] = {"BaseColor", "Luminosity", "Diffuse", "Specularity", "Reflectivity",
                                  "Transparency", "Translucency", "IOR", "Bump", "Glossiness"};
        int line = 0;
        for (const char* c : channels) {
            t += std::string("// float3 Surf") + c + " : Surface_" + c + " : pixel\n";
            t += std::string("//KOLM_PP:D:TEX_") + c + "://KOLM_PP:U:TECH_NDFLT:// texture : " + c + " : repeat trilinear srgb\n";
            t += std::string("// This comment explains the ") + c + " channel of the surface.\n";
            ++line;
        }
        for (int i = 0; i < 8; ++i) t += "// float4 Light" + std::to_string(i) + " : LightPos" + std::to_string(i % 5) + " : pixel\n";
        for (int i = 0; i < 12; ++i) t += "// float4 Tint" + std::to_string(i) + " : 1, 0.5, 0.25, 1 : color pixel\n";
        t += "// [KOLM_END]\n";
        int lines = 0;
        for (char c : t) lines += c == '\n';
        for (int i = lines; i < 300; ++i)
            t += "    float4 v" + std::to_string(i) + " = mul(float4(pos, 1.0), Wvp) * Tint" + std::to_string(i % 12) + ";\n";
        return t;
    }();
    return text;
}

bool readFromMemory(const char*, std::string& out) {
    out = effectText();
    return true;
}

const CKeMacro kMacros[] = {{"USE_TEX_BaseColor", nullptr}, {"USE_TEX_Bump", nullptr}, {"LIGHTS", "4"},
                            {"USE_SHADOW", "1"}, {nullptr, nullptr}};

void coldLoad(benchmark::State& state, KeEffectFileReader reader, const char* path) {
    for (auto _ : state) {
        IKeEffectManager* m = createKeEffectManager(nullptr, true, reader);
        if (!m->getEffectDef(path, kMacros)) {
            state.SkipWithError(m->getLastError());
            m->drop();
            return;
        }
        m->drop();
    }
    state.counters["lines"] = 300;
}

void BM_EffectDefColdLoadMemory(benchmark::State& state) { coldLoad(state, &readFromMemory, "/bench/surface.hlsl"); }
BENCHMARK(BM_EffectDefColdLoadMemory);

void BM_EffectDefColdLoadDisk(benchmark::State& state) {
    const std::string path = (std::filesystem::temp_directory_path() / ("kolm_bench_fx_" + std::to_string(::getpid()) + ".hlsl")).string();
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(effectText().data(), 1, effectText().size(), f);
        std::fclose(f);
    }
    coldLoad(state, nullptr, path.c_str());
    std::remove(path.c_str());
}
BENCHMARK(BM_EffectDefColdLoadDisk);

void BM_EffectDefCacheHit(benchmark::State& state) {
    IKeEffectManager* m = createKeEffectManager(nullptr, true, &readFromMemory);
    const IKeEffectDef* def = m->getEffectDef("/bench/surface.hlsl", kMacros);
    if (!def) {
        state.SkipWithError(m->getLastError());
        m->drop();
        return;
    }
    const long before = gAllocations.load();
    for (auto _ : state) benchmark::DoNotOptimize(m->getEffectDef("/bench/surface.hlsl", kMacros));
    state.counters["allocs_per_hit"] =
        benchmark::Counter(double(gAllocations.load() - before) / double(state.iterations()));
    m->drop();
}
BENCHMARK(BM_EffectDefCacheHit);

}  // namespace
