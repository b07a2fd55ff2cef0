// Cost of one morph mesh update: a 10 000-vertex character (one buffer) with 4 morphs selected,
// each moving half of the vertices, skinned by 4 joints (two per vertex) at a changing frame,
// or static. The time column is µs per update; allocs/update is expected to be 0.
#include "engine/CKeMorphMesh.h"
#include "engine/morph_fixture.h"
#include "support/alloc_counter.h"

#include <benchmark/benchmark.h>

namespace {

using namespace irr;

void morphUpdate(benchmark::State& state, bool skinned) {
    IrrlichtDevice* device = createDevice(video::EDT_NULL, core::dimension2du(64, 64));
    device->getLogger()->setLogLevel(ELL_NONE);
    auto character = morphtest::gridCharacter(device->getSceneManager(), 100, 100, 30);
    auto mesh = kolm::KePtr<kolm::CKeMorphMeshMorphMapKM>::adopt(new kolm::CKeMorphMeshMorphMapKM);
    const kolm::KeMorphSetPtr morphs = morphtest::strideMorphs(10000, 4, 2);
    if (skinned) mesh->createSkinned(character.get(), morphs);
    else mesh->createStatic(character.get(), morphs);
    const u32 ids[4] = {1, 2, 3, 4};
    f32 weights[4] = {0.25f, 0.5f, 0.75f, 1.0f};
    f32 frame = 0;
    const long before = gAllocations.load();
    for (auto _ : state) {
        weights[0] = weights[0] > 1.f ? 0.f : weights[0] + 0.01f;
        frame = frame >= 29.f ? 0.f : frame + 0.5f;
        mesh->update(4, ids, weights, frame);
        benchmark::ClobberMemory();
    }
    const long allocations = gAllocations.load() - before;
    state.counters["allocs/update"] = double(allocations) / double(state.iterations());
    state.counters["vertices"] = 10000;
    mesh = nullptr;
    character = nullptr;
    device->drop();
}

void BM_MorphUpdateSkinned(benchmark::State& state) { morphUpdate(state, true); }
void BM_MorphUpdateStatic(benchmark::State& state) { morphUpdate(state, false); }
BENCHMARK(BM_MorphUpdateSkinned)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MorphUpdateStatic)->Unit(benchmark::kMicrosecond);

}  // namespace
