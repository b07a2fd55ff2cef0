// Scene loading figures: a generated scene of 500 objects sharing five meshes, each with
// position, rotation and scale channels of 2000 frames, loaded from KF text and from KF binary.
// Parse_* time the document alone, Build_* the loader alone on an already parsed document (with
// the recording call table, so no engine work is counted), Load_* both together.
#include "core/KeError.h"
#include "kf/KF_Document.h"
#include "kf/KF_Writer.h"
#include "scene/KeScene.h"
#include "scene/scene_recorder.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kObjects = 500;
constexpr int kMeshes = 5;
constexpr int kFrames = 2000;

void channel(std::string& t, const char* name, int object, float scale) {
    char b[64];
    t += "      " + std::string(name) + " FP_C [\n";
    for (int c = 0; c < 3; ++c) {
        t += "        DAT " + std::to_string(kFrames);
        for (int f = 0; f < kFrames; ++f) {
            std::snprintf(b, sizeof b, " %.6g", double(scale * std::sin(0.01f * float(f) + float(object + c))));
            t += b;
        }
        t += "\n";
    }
    t += "      ]\n";
}

const std::string& sceneText() {
    static const std::string text = [] {
        std::string t = "{ Scene\n  { SceneInfo\n    frameStart I4 0\n    frameEnd I4 " +
                        std::to_string(kFrames - 1) + "\n    frameStep I4 1\n    framesPerSecond FP 30\n  }\n";
        t += "  { Cameras\n    { Camera\n      position FP 0 1 -5\n      zoomFactor FP 3.2\n"
             "      resolution I4 640 480\n    }\n  }\n  { Objects\n";
        for (int o = 0; o < kObjects; ++o) {
            t += "    { Object\n      kfilename STR \"meshes/mesh" + std::to_string(o % kMeshes) + ".x\"\n";
            t += "      name STR \"object" + std::to_string(o) + "\"\n";
            channel(t, "position", o, 50.0f);
            channel(t, "rotation", o, 3.14f);
            channel(t, "scale", o, 1.0f);
            t += "    }\n";
        }
        return t + "  }\n}\n";
    }();
    return text;
}

const std::string& sceneBinary() {
    static const std::string binary = [] {
        KF_Document* doc = KF_LoadMemory(sceneText().data(), sceneText().size());
        std::string out, error;
        if (!doc || !KF_WriteBinary(KF_Root(doc), &out, &error)) {
            std::fprintf(stderr, "cannot make the binary scene: %s\n", error.c_str());
            std::abort();
        }
        KF_Free(doc);
        return out;
    }();
    return binary;
}

const std::string& form(bool binary) { return binary ? sceneBinary() : sceneText(); }

int build(KF_Document* doc) {
    return kolm::keSceneLoadDocument(doc, "bench.kscn", 0, 1000, 2000, 3000, 4000, 5000, false, "bench", false);
}

void parse(benchmark::State& state, bool binary) {
    const std::string& data = form(binary);
    for (auto _ : state) {
        KF_Document* doc = KF_LoadMemory(data.data(), data.size());
        benchmark::DoNotOptimize(doc);
        KF_Free(doc);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}

// Times keSceneLoadDocument only: parsing before and unloading after are left out.
void buildOnly(benchmark::State& state, bool binary) {
    kolm::keSetLogSink([](const char*, void*) {}, nullptr);
    kolmtest::SceneRecorder recorder;
    const std::string& data = form(binary);
    for (auto _ : state) {
        KF_Document* doc = KF_LoadMemory(data.data(), data.size());
        recorder.calls.clear();
        const auto start = std::chrono::steady_clock::now();
        const int result = build(doc);
        const auto end = std::chrono::steady_clock::now();
        if (result != 0) state.SkipWithError("the scene did not load");
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        state.counters["objects"] = kolm::keSceneObjectCount(0);
        state.counters["calls"] = double(recorder.calls.size());
        kolm::keSceneUnload(0);
    }
}

void load(benchmark::State& state, bool binary) {
    kolm::keSetLogSink([](const char*, void*) {}, nullptr);
    kolmtest::SceneRecorder recorder;
    const std::string& data = form(binary);
    for (auto _ : state) {
        recorder.calls.clear();
        if (build(KF_LoadMemory(data.data(), data.size())) != 0) state.SkipWithError("the scene did not load");
        state.PauseTiming();
        kolm::keSceneUnload(0);
        state.ResumeTiming();
    }
}

void Parse_Text(benchmark::State& s) { parse(s, false); }
void Parse_Binary(benchmark::State& s) { parse(s, true); }
void Build_Text(benchmark::State& s) { buildOnly(s, false); }
void Build_Binary(benchmark::State& s) { buildOnly(s, true); }
void Load_Text(benchmark::State& s) { load(s, false); }
void Load_Binary(benchmark::State& s) { load(s, true); }

}  // namespace

BENCHMARK(Parse_Text)->Unit(benchmark::kMillisecond);
BENCHMARK(Parse_Binary)->Unit(benchmark::kMillisecond);
// A fixed count: each iteration parses a document outside the timed part, which would otherwise
// run for minutes before the building alone adds up to the minimum time.
BENCHMARK(Build_Text)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);
BENCHMARK(Build_Binary)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);
BENCHMARK(Load_Text)->Unit(benchmark::kMillisecond);
BENCHMARK(Load_Binary)->Unit(benchmark::kMillisecond);
