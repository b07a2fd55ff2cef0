// libFuzzer target for the scene loader: any KF document (text or binary) is loaded into a slot
// through the recording call table, loaded again as an extra scene sharing its meshes, shown,
// animated at a few scene times (negative, zero, inside, far beyond the end), hidden and unloaded;
// the surface effect rules run over every group of the document.
// Everything the loader made must be deleted again, and the document released.
#include "core/KeError.h"
#include "kf/KF_Document.h"
#include "scene/KeScene.h"
#include "scene_recorder.h"

#include <cstdint>
#include <cstdlib>

namespace {

int load(const uint8_t* data, size_t size, int slot, bool extra) {
    const int o = slot * 1000;
    return kolm::keSceneLoadDocument(KF_LoadMemory(data, size), "fuzz.kscn", slot, 10000 + o, 20000 + o,
                                     30000 + o, 40000 + o, 50000 + o, extra, "fuzz", extra);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        kolm::keSetLogSink([](const char*, void*) {}, nullptr);
        kolm::keSceneSetReporting(true);
        return true;
    }();
    (void)quiet;
    if (KF_Document* doc = KF_LoadMemory(data, size)) {  // surface effect rules on every group
        static const KF_Node* effects[kolm::KE_SCENE_MAX_SURFACES];
        for (int32_t i = 0; i < doc->nodeCount; ++i)
            kolm::keSceneSurfaceEffects(&doc->nodes[i], effects, kolm::KE_SCENE_MAX_SURFACES);
        KF_Free(doc);
    }
    kolmtest::SceneRecorder recorder;
    if (load(data, size, 0, false) != 0) {
        if (!recorder.objects.empty() || !recorder.lights.empty()) std::abort();  // a refused load makes nothing
        return 0;
    }
    load(data, size, 1, true);
    for (int slot = 0; slot < 2; ++slot) {
        kolm::keScenePrepare(slot);
        kolm::keSceneShow(slot);
        kolm::keSceneUpdate(slot, 333);
        for (int t : {-1000, 0, 1, 333, 4000, 1 << 30}) kolm::keSceneAnimate(slot, t);
        kolm::keSceneSamplePosition(slot, 2500);
        kolm::keSceneAbsoluteFrame(slot, 2500);
        kolm::keSceneMusic(slot);
        for (int i = 0; i < kolm::keSceneObjectCount(slot); ++i) kolm::keSceneObjectCubeMap(slot, i);
        kolm::keSceneHide(slot);
    }
    kolm::keSceneUnload(1);
    kolm::keSceneUnload(0);
    if (!recorder.objects.empty() || !recorder.lights.empty() || !recorder.cubeMaps.empty() ||
        !recorder.cameraEffects.empty())
        std::abort();  // unloading deletes all that loading made
    return 0;
}
