// Loading the largest shipped `.x` file (the skinned "tiny" character, 1.5 MB of text) from
// memory: the engine's loader against the library's own in the same run. Bytes per second
// count the file's size.
#include "core/KePtr.h"
#include "engine/CKeXMeshLoader.h"

#include <benchmark/benchmark.h>

#include <irrlicht/irrlicht.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

using namespace irr;

const char* const kFile = KOLM_SOURCE_DIR "/../shared/assets/x/dxsdk-tiny/tiny.x";

// The library's `.x` loader of a device that has only the stock loaders.
scene::IMeshLoader* stockLoader(scene::ISceneManager* smgr) {
    scene::IMeshLoader* found = nullptr;
    for (u32 i = 0; i < smgr->getMeshLoaderCount(); ++i)
        if (smgr->getMeshLoader(i)->isALoadableFileExtension("a.x")) found = smgr->getMeshLoader(i);
    return found;
}

void loadTiny(benchmark::State& state, bool engineLoader) {
    std::ifstream in(kFile, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.empty()) {
        state.SkipWithError("shared assets not found (../shared/assets/x/dxsdk-tiny/tiny.x)");
        return;
    }
    IrrlichtDevice* device = createDevice(video::EDT_NULL, core::dimension2du(64, 64));
    device->getLogger()->setLogLevel(ELL_NONE);
    scene::ISceneManager* smgr = device->getSceneManager();
    kolm::KePtr<scene::IMeshLoader> ours = kolm::KePtr<scene::IMeshLoader>::adopt(
        new kolm::CKeXMeshLoader(smgr, device->getFileSystem(), device->getLogger()));
    scene::IMeshLoader* loader = engineLoader ? ours.get() : stockLoader(smgr);
    // Beside the original, so that both loaders look for its texture in the same place.
    const io::path name = kFile;
    for (auto _ : state) {
        io::IReadFile* file =
            device->getFileSystem()->createMemoryReadFile(const_cast<char*>(bytes.data()), s32(bytes.size()), name, false);
        scene::IAnimatedMesh* mesh = loader->createMesh(file);
        file->drop();
        if (!mesh) {
            state.SkipWithError("the file did not load");
            break;
        }
        benchmark::DoNotOptimize(mesh->getMeshBufferCount());
        mesh->drop();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
    device->drop();
}

void BM_XLoaderEngine(benchmark::State& state) { loadTiny(state, true); }
void BM_XLoaderLibrary(benchmark::State& state) { loadTiny(state, false); }

BENCHMARK(BM_XLoaderEngine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XLoaderLibrary)->Unit(benchmark::kMillisecond);

}  // namespace
