// Demo definitions as people write them: any bytes as a ".demo.ini", read, given IDs as loading
// would, put through the timing rules and played as a capture on the recording backend. A
// camera shader shown twice or hidden while not shown aborts, as does anything the sanitizers
// catch. iniparser complains on standard error; run with -close_fd_mask=2.
#include "core/KeError.h"
#include "demo/KeDemoPlayer.h"
#include "../../tests/demo/fake_demo_backend.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

void prepare() {
    char tmpl[] = "/tmp/kolm-fuzz-demo-XXXXXX";
    if (!::mkdtemp(tmpl) || ::chdir(tmpl) != 0) std::abort();
    kolm::keSetLogSink([](const char*, void*) {}, nullptr);
    kolm::keSetMessageBoxHandler([](const char*, void*) {}, nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = (prepare(), true);
    (void)ready;
    FILE* f = std::fopen("f.demo.ini", "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    auto def = std::make_unique<kolm::DemoDefinition>();
    if (kolm::keDemoReadFile(def.get(), "f.demo.ini") != 0) return 0;
    // IDs as loading gives them: slots in order, shaders by entry, musics by part.
    kolm::DemoSceneMusic scenes[kolm::KE_DEMO_MAX_PARTS];
    int slot = 0, shaderId = 0;
    for (int i = 0; i < def->partCount; ++i) {
        kolm::DemoPart& p = def->parts[i];
        if (p.filename[0]) {
            p.sceneSlot = slot++;
            scenes[i].file = p.filename;  // the scene names a music of its own name
            scenes[i].offsetMs = p.reuseObjects;
        }
        for (int x = 0; x < p.extraCount; ++x) p.extras[x].sceneSlot = slot++;
        for (int s = 0; s < p.shaderCount; ++s) p.shaders[s].shaderId = (shaderId++) % 7;
    }
    if (kolm::keDemoApplyTimingRules(def.get(), scenes) != 0) return 0;
    for (int i = 0; i < def->partCount; ++i)
        if (def->parts[i].music[0]) def->parts[i].musicId = i + 1;
    FakeDemoBackend be;
    kolm::DemoPlayState st;
    const int64_t end = kolm::keDemoEndClock(*def);
    const int64_t step = end > 0 ? end / 200 + 1 : 50;
    for (int k = 0; k < 400 && !st.finished; ++k) {
        kolm::keDemoFrame(*def, st, static_cast<int32_t>((k * step) % 0x7FFFFFFF), be);
        if (be.calls.size() > 4096) be.calls.clear();
    }
    if (!be.errors.empty()) std::abort();
    return 0;
}
