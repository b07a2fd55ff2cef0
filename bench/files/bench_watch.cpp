// Watch polling costs: the per-frame poll of the viewer's five shader folder watches, and
// one listing of a folder with many files.
#include "core/KeError.h"
#include "files/KeFolderWatch.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace {

struct TempTree {
    TempTree(int files) {
        std::string templ = (std::filesystem::temp_directory_path() / "kolm-bench-XXXXXX").string();
        if (!mkdtemp(templ.data())) std::abort();
        root = templ;
        for (int i = 0; i < files; ++i) std::ofstream(root + "/f" + std::to_string(i) + ".hlsl") << i;
        // Past the file systems' clock tick, so that these files predate the watch.
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        kolm::keSetLogSink([](const char*, void*) {}, nullptr);
    }
    ~TempTree() {
        kolm::keSetLogSink(nullptr, nullptr);
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    std::string root;
};

void BM_PollFiveQuietFolderWatches(benchmark::State& state) {
    TempTree tree(0);
    for (int id = 0; id < 5; ++id) kolm::keFolderWatch(tree.root.c_str(), id);
    for (auto _ : state) {
        bool any = false;
        for (int id = 0; id < 5; ++id) any |= kolm::keFolderWatchChanged(id);
        benchmark::DoNotOptimize(any);
    }
    kolm::keFolderWatchFreeAll();
}
BENCHMARK(BM_PollFiveQuietFolderWatches);

void BM_ListChangesOfAFolder(benchmark::State& state) {
    TempTree tree(static_cast<int>(state.range(0)));
    kolm::keFolderWatch(tree.root.c_str(), 0);
    std::ofstream(tree.root + "/f0.hlsl") << "changed";
    while (!kolm::keFolderWatchChanged(0)) {
    }
    for (auto _ : state) {
        const char* const* files = nullptr;
        benchmark::DoNotOptimize(kolm::keGetFolderWatchChanges(0, &files));
    }
    kolm::keFolderWatchFreeAll();
}
BENCHMARK(BM_ListChangesOfAFolder)->Arg(10)->Arg(200);

void BM_CreateAndDestroyFolderWatch(benchmark::State& state) {
    TempTree tree(10);
    for (auto _ : state) {
        kolm::keFolderWatch(tree.root.c_str(), 0);
        kolm::keFolderWatchDelete(0);
    }
    kolm::keFolderWatchFreeAll();
}
BENCHMARK(BM_CreateAndDestroyFolderWatch);

}  // namespace
