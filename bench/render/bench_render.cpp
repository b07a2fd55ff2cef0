// Per-frame costs of the render layer on the null driver: collecting a scene, finding a shared
// render target; and the one-off costs of decoding a DDS file and generating "RandVec".
#include <benchmark/benchmark.h>

#include <irrlicht/irrlicht.h>

#include <cstring>
#include <vector>

#include "engine/IKeTextureManager.h"
#include "engine/KeDds.h"
#include "engine/KeGeneratedTextures.h"
#include "render/KeFrameCollector.h"

namespace {

void BM_CollectScene(benchmark::State& state) {
    irr::IrrlichtDevice* device = irr::createDevice(irr::video::EDT_NULL);
    irr::scene::ISceneManager* smgr = device->getSceneManager();
    const int nodes = int(state.range(0));
    for (int i = 0; i < nodes; ++i) {
        irr::scene::ISceneNode* n =
            smgr->addCubeSceneNode(1.f, nullptr, -1, irr::core::vector3df(float(i % 32) * 3.f - 48.f, float(i / 32 % 32) * 3.f - 48.f, float(i / 1024) * 3.f + 10.f));
        if (i % 4 == 0) n->setMaterialType(irr::video::EMT_TRANSPARENT_ADD_COLOR);
    }
    smgr->addLightSceneNode(nullptr, irr::core::vector3df(0, 50, 0));
    smgr->addCameraSceneNode(nullptr, irr::core::vector3df(0, 0, -50), irr::core::vector3df(0, 0, 0));
    kolm::KeFrameCollector collector;
    irr::u32 time = 0;
    for (auto _ : state) {
        collector.collect(smgr, time += 16);
        benchmark::DoNotOptimize(collector.getSolid().data());
    }
    state.counters["visible"] = double(collector.getSolid().size() + collector.getTransparent().size());
    state.SetItemsProcessed(state.iterations() * nodes);
    device->drop();
}
BENCHMARK(BM_CollectScene)->Arg(100)->Arg(1000)->Arg(4000);

void BM_SharedRenderTargetLookup(benchmark::State& state) {
    irr::IrrlichtDevice* device = irr::createDevice(irr::video::EDT_NULL);
    kolm::IKeTextureManager* manager = kolm::keCreateTextureManager(device);
    for (irr::u32 s = 16; s <= 2048; s *= 2)
        for (int f : {3, 12, 13}) manager->getRenderTarget(irr::core::dimension2du(s, s), f);
    for (auto _ : state) benchmark::DoNotOptimize(manager->getRenderTarget(irr::core::dimension2du(512, 512), 12));
    manager->drop();
    device->drop();
}
BENCHMARK(BM_SharedRenderTargetLookup);

void BM_DdsDecodeDxt5(benchmark::State& state) {
    const uint32_t edge = 512;
    std::vector<uint8_t> file(128 + size_t(edge / 4) * (edge / 4) * 16, 0x5A);
    std::memset(file.data(), 0, 128);
    std::memcpy(file.data(), "DDS ", 4);
    auto put = [&](size_t at, uint32_t v) { std::memcpy(file.data() + at, &v, 4); };
    put(4, 124);
    put(8, 0x1007);
    put(12, edge);
    put(16, edge);
    put(76, 32);
    put(80, 0x4);
    std::memcpy(file.data() + 84, "DXT5", 4);
    kolm::KeDdsImage image;
    std::string error;
    if (!kolm::keDdsParse(file.data(), file.size(), image, error)) state.SkipWithError(error.c_str());
    for (auto _ : state) benchmark::DoNotOptimize(kolm::keDdsParse(file.data(), file.size(), image, error));
    state.SetBytesProcessed(state.iterations() * int64_t(edge) * edge * 4);
}
BENCHMARK(BM_DdsDecodeDxt5);

void BM_GenerateRandVec(benchmark::State& state) {
    std::vector<uint32_t> texels(kolm::KE_RANDVEC_SIZE * kolm::KE_RANDVEC_SIZE);
    for (auto _ : state) {
        kolm::keGenerateRandVec(texels.data());
        benchmark::DoNotOptimize(texels.data());
    }
}
BENCHMARK(BM_GenerateRandVec)->Unit(benchmark::kMillisecond);

}  // namespace
