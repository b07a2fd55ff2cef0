// libFuzzer target for live reload: a scene with objects, a surface, lights, cube maps and a
// camera effect is loaded through the recording call table and then reloaded from any KF
// document (text or binary, complete or cut short), animated, prepared and unloaded. A refused
// document must leave the scene as it was; either way everything made must be deleted again.
#include "core/KeError.h"
#include "kf/KF_Document.h"
#include "scene/KeScene.h"
#include "scene_recorder.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const char kBase[] =
    "{ Scene\n { SceneInfo\n  frameEnd I4 50\n  frameStep I4 1\n  framesPerSecond FP 25\n }\n"
    " { Cameras\n  { C\n   zoomFactor FP 3\n  }\n }\n"
    " { CubeMaps\n  { C\n   name STR \"a\"\n   textureSize I4 8\n  }\n }\n"
    " { Objects\n  { O\n   kfilename STR \"a.x\"\n   filename STR \"a.lwo\"\n   { UseCubeMaps\n    { U\n"
    "     renderCubeMap STR \"a\"\n    }\n   }\n  }\n  { O\n   kfilename STR \"b.x\"\n  }\n }\n"
    " { SceneObjects\n  { S\n   filename STR \"a.lwo\"\n   { Surfaces\n    { Surf\n     { Parameters\n"
    "      { Diffuse\n       value FP 1\n      }\n     }\n    }\n   }\n  }\n }\n"
    " { Lights\n  { L\n   type I4 2\n  }\n }\n"
    " { KolmPostProcs\n  { P\n   { Effect\n    filename STR \"p.fx\"\n   }\n  }\n }\n}\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = [] {
        kolm::keSetLogSink([](const char*, void*) {}, nullptr);
        kolm::keSceneSetReporting(true);
        return "/tmp/kolm-fuzz-reload-" + std::to_string(::getpid()) + ".kscn";
    }();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);

    kolmtest::SceneRecorder recorder;
    if (kolm::keSceneLoadDocument(KF_LoadMemory(kBase, sizeof kBase - 1), "base.kscn", 3, 100, 200, 300, 400, 500,
                                  false, "fuzz", false) != 0)
        std::abort();
    kolm::keSceneShow(3);
    const size_t objects = recorder.objects.size();
    recorder.calls.clear();
    if (kolm::keSceneReload(path.c_str(), 3) != 0) {
        if (!recorder.calls.empty() || recorder.objects.size() != objects) std::abort();  // nothing touched
    }
    for (int t : {0, 333, 1 << 30}) kolm::keSceneAnimate(3, t);
    kolm::keSceneUpdate(3, 40);
    kolm::keScenePrepare(3);
    kolm::keSceneUnload(3);
    if (!recorder.objects.empty() || !recorder.lights.empty() || !recorder.cubeMaps.empty() ||
        !recorder.cameraEffects.empty())
        std::abort();  // unloading deletes all that loading and reloading made
    return 0;
}
