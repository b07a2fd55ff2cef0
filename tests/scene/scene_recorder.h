// A scene-loader call table that records every call as one line ("loadObject cube.x 100") and
// keeps which IDs exist, so that loader tests run without an engine. Mesh files named in
// `failingFiles` do not load; cube maps of size 0 and camera effects from "missing.fx" are not
// made. Objects have 256 surface rows unless `surfaces` says otherwise; a surface effect from
// "broken.fx" fails (the loader goes on with the next row).
#pragma once

#include "scene/KeScene.h"
#include "scene/KeSceneCalls.h"

#include <cstdarg>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace kolmtest {

struct SceneRecorder {
    std::vector<std::string> calls;
    std::set<int> objects, lights, cubeMaps, cameraEffects;
    std::set<std::string> failingFiles;
    std::map<int, int> frames;  // object ID -> frame count (1 when not listed)
    std::map<int, int> morphs;  // object ID -> morph count (0 when not listed)
    std::map<int, int> surfaces;  // object ID -> surface rows (256 when not listed)

    // 0 when the object exists and has row k, else -1 (as the surface setters answer).
    int surfaceRow(int id, int k) const {
        if (!objects.count(id) || k < 0) return -1;
        const auto it = surfaces.find(id);
        return k < (it == surfaces.end() ? 256 : it->second) ? 0 : -1;
    }

    static SceneRecorder*& current() {
        static SceneRecorder* r = nullptr;
        return r;
    }
    static void add(const char* format, ...) __attribute__((format(printf, 1, 2))) {
        char line[512];
        va_list args;
        va_start(args, format);
        std::vsnprintf(line, sizeof line, format, args);
        va_end(args);
        current()->calls.push_back(line);
    }
    static SceneRecorder& r() { return *current(); }

    SceneRecorder() {
        current() = this;
        kolm::keSceneSetCalls(&table());
    }
    ~SceneRecorder() {
        kolm::keSceneSetCalls(nullptr);
        current() = nullptr;
    }

    // Recorded lines that start with `prefix`.
    std::vector<std::string> with(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const std::string& c : calls)
            if (c.rfind(prefix, 0) == 0) out.push_back(c);
        return out;
    }

    static const kolm::KeSceneCalls& table() {
        static const kolm::KeSceneCalls t = {
            [](const char* f, int id) {
                add("loadObject %s %d", f, id);
                if (r().failingFiles.count(f)) return -1;
                r().objects.insert(id);
                return 0;
            },
            [](int n, int s) {
                add("cloneObject %d %d", n, s);
                if (!r().objects.count(s)) return -1;
                r().objects.insert(n);
                return 0;
            },
            [](int n, int s) {
                add("instanceObject %d %d", n, s);
                if (!r().objects.count(s)) return -1;
                r().objects.insert(n);
                return 0;
            },
            [](int id) { return r().objects.count(id) != 0; },
            [](int id) {
                add("deleteObject %d", id);
                r().objects.erase(id);
                return 0;
            },
            [](int id) { add("showObject %d", id); return 0; },
            [](int id) { add("hideObject %d", id); return 0; },
            [](int id) { add("lockObjectOn %d", id); return 0; },
            [](int id, float x, float y, float z) { add("positionObject %d %g %g %g", id, x, y, z); return 0; },
            [](int id, float x, float y, float z) { add("rotateObject %d %g %g %g", id, x, y, z); return 0; },
            [](int id, float x, float y, float z) { add("scaleObject %d %g %g %g", id, x, y, z); return 0; },
            [](int id) { return r().frames.count(id) ? r().frames[id] : 1; },
            [](int id, float f) { add("setObjectFrame %d %g", id, f); return 0; },
            [](int id) { return r().morphs.count(id) ? r().morphs[id] : 0; },
            [](int id, int n, const int* idx, const float* w) {
                std::string line = "setObjectMorph " + std::to_string(id) + " " + std::to_string(n);
                char part[64];
                for (int i = 0; i < n; ++i) {
                    std::snprintf(part, sizeof part, " %d:%g", idx[i], w[i]);
                    line += part;
                }
                r().calls.push_back(line);
                return 0;
            },
            [](int id) {
                add("makeLight %d", id);
                r().lights.insert(id);
                return 0;
            },
            [](int id, float x, float y, float z) { add("setDirectionalLight %d %g %g %g", id, x, y, z); return 0; },
            [](int id, float a, float b) { add("setSpotLight %d %g %g", id, a, b); return 0; },
            [](int id, float x, float y, float z) { add("setPointLight %d %g %g %g", id, x, y, z); return 0; },
            [](int id) { return r().lights.count(id) != 0; },
            [](int id, float range) { add("setLightRange %d %g", id, range); return 0; },
            [](int id, uint32_t c) { add("colorLight %d 0x%06x", id, c); return 0; },
            [](int id, float x, float y, float z) { add("setLightRawColor %d %g %g %g", id, x, y, z); return 0; },
            [](int id, float i) { add("setLightIntensity %d %g", id, i); return 0; },
            [](int id, bool on) { add("setLightShadow %d %d", id, int(on)); return 0; },
            [](int id, uint32_t c) { add("colorLightShadow %d 0x%06x", id, c); return 0; },
            [](int id, int size) { add("setShadowMapSize %d %d", id, size); return 0; },
            [](int id, float f) { add("setShadowMapFuzz %d %g", id, f); return 0; },
            [](int id) { add("showLight %d", id); return 0; },
            [](int id) { add("hideLight %d", id); return 0; },
            [](int id) {
                add("deleteLight %d", id);
                r().lights.erase(id);
                return 0;
            },
            [](int id, float x, float y, float z) { add("positionLight %d %g %g %g", id, x, y, z); return 0; },
            [](int id, float x, float y, float z) { add("rotateLight %d %g %g %g", id, x, y, z); return 0; },
            [](uint32_t c) { add("colorBackdrop 0x%06x", c); return 0; },
            [](float x, float y, float z) { add("positionCamera %g %g %g", x, y, z); return 0; },
            [](float x, float y, float z) { add("rotateCamera %g %g %g", x, y, z); return 0; },
            [](float a) { add("setCameraFOV %g", a); return 0; },
            [](uint32_t c) { add("colorAmbientLight 0x%06x", c); return 0; },
            [](float n, float f) { add("setCameraRange %g %g", n, f); },
            [](int id, int size) {
                add("makeCubeMap %d %d", id, size);
                if (size <= 0) return -1;
                r().cubeMaps.insert(id);
                return 0;
            },
            [](int id) { return r().cubeMaps.count(id) != 0; },
            [](int id) {
                add("deleteCubeMap %d", id);
                r().cubeMaps.erase(id);
                return 0;
            },
            [](int id, const char* f) {
                add("makeCameraEffectFromFile %d %s", id, f);
                if (std::string(f) == "missing.fx") return -1;
                r().cameraEffects.insert(id);
                return 0;
            },
            [](int id) { return r().cameraEffects.count(id) != 0; },
            [](int id) { add("showCameraEffect %d", id); return 0; },
            [](int id) { add("hideCameraEffect %d", id); return 0; },
            [](int id) {
                add("deleteCameraEffect %d", id);
                r().cameraEffects.erase(id);
                return 0;
            },
            [](int id, int k, int p, const char* f) {
                add("setObjectSurfaceParamTex %d %d %d %s", id, k, p, f);
                return r().surfaceRow(id, k);
            },
            [](int id, int k, int p, int v) {
                add("setObjectSurfaceParamInt %d %d %d %d", id, k, p, v);
                return r().surfaceRow(id, k);
            },
            [](int id, int k, int p, float v) {
                add("setObjectSurfaceParamFloat %d %d %d %g", id, k, p, v);
                return r().surfaceRow(id, k);
            },
            [](int id, int k, int p, float x, float y, float z) {
                add("setObjectSurfaceParamFloat3 %d %d %d %g %g %g", id, k, p, x, y, z);
                return r().surfaceRow(id, k);
            },
            [](int id) {
                add("updateObjectFromSurfaces %d", id);
                return r().objects.count(id) ? 0 : -1;
            },
            [](int ms) { add("setSceneTime %d", ms); },
            [](int on, float i, float radius) { add("setGlow %d %g %g", on, i, radius); },
            [](int on) { add("setStreakEnable %d", on); },
            [](const float* v) {
                std::string line = "setStreakValues";
                char part[32];
                for (int i = 0; i < kolm::KE_SCENE_STREAK_VALUES; ++i) {
                    std::snprintf(part, sizeof part, " %g", v[i]);
                    line += part;
                }
                r().calls.push_back(line);
            },
            [](int on) { add("setBloomEnable %d", on); },
            [](float a, float b) { add("setBloomValues %g %g", a, b); },
            [](int on) { add("setSSAOEnable %d", on); },
            [](float a, float b, float c, float d) { add("setSSAOValues %g %g %g %g", a, b, c, d); },
            [](int on) { add("setShadowEnable %d", on); },
            [](float e) { add("setShadowEpsilon %g", e); },
            [](int on, float d, float f) { add("setCameraDOF %d %g %g", on, d, f); return 0; },
            [](int on, float a, float b, float c, float d) {
                add("setCameraAdvancedDOF %d %g %g %g %g", on, a, b, c, d);
                return 0;
            },
            [](int mode, float s, int use, float c) { add("setCameraStereo %d %g %d %g", mode, s, use, c); return 0; },
            [](int id, float d, float b) { add("setLightVolumetricValues %d %g %g", id, d, b); return 0; },
            [](int id, bool on) { add("setLightVolumetricOn %d %d", id, int(on)); return 0; },
            [](int id, bool on, float m) { add("setLightVolumetricClamp %d %d %g", id, int(on), m); return 0; },
            [](int id, int cube, bool boxed, float px, float py, float pz, float sx, float sy, float sz) {
                if (boxed)
                    add("setObjectCubeMap %d %d boxed %g %g %g %g %g %g", id, cube, px, py, pz, sx, sy, sz);
                else
                    add("setObjectCubeMap %d %d", id, cube);
                return 0;
            },
            [](int id) { add("clearCubeMap %d", id); return r().cubeMaps.count(id) ? 0 : -1; },
            [](int id, float x, float y, float z) {
                add("renderCubeMap %d %g %g %g", id, x, y, z);
                return r().cubeMaps.count(id) ? 0 : -1;
            },
            []() { add("renderDummy"); return 0; },
            [](int id, const char* file, const kolm::KeSceneParameter* list, int n, bool first) {
                std::string line = "setCameraEffectParameters " + std::to_string(id) + " " + file +
                                   (first ? " first" : " update");
                char part[96];
                for (int i = 0; i < n; ++i) {
                    std::snprintf(part, sizeof part, " %s:%d:%g", list[i].name, list[i].kind,
                                  list[i].kind == 2 ? double(list[i].integer) : double(list[i].value[0]));
                    line += part;
                }
                r().calls.push_back(line);
                return 0;
            },
            [](int id, int k, const char* file) {
                add("chooseObjectSurfaceEffect %d %d %s", id, k, file ? file : "-");
                if (r().surfaceRow(id, k) != 0) return -1;
                return file && std::string(file) == "broken.fx" ? 1 : 0;
            },
            [](int id, int k, const char* file, const kolm::KeSceneParameter* list, int n, bool first) {
                std::string line = "setObjectSurfaceEffectParameters " + std::to_string(id) + " " +
                                   std::to_string(k) + " " + file + (first ? " first" : " update");
                char part[96];
                for (int i = 0; i < n; ++i) {
                    std::snprintf(part, sizeof part, " %s:%d:%g", list[i].name, list[i].kind,
                                  list[i].kind == 2 ? double(list[i].integer) : double(list[i].value[0]));
                    line += part;
                }
                r().calls.push_back(line);
                return 0;
            },
            [](int id, bool on) { add("setObjectCastShadows %d %d", id, int(on)); return 0; },
            [](int id, const char* file) { add("setLightProjImage %d %s", id, file ? file : "-"); return 0; },
            [](int id, int mode, bool hasColour, float cr, float cg, float cb) {
                add("setLightVolumetricSettings %d %d %d %g %g %g", id, mode, int(hasColour), cr, cg, cb);
                return 0;
            },
            [](int id, int k, int p, const char* f, bool mipmaps, bool srgb) {
                add("setObjectSurfaceImage %d %d %d %s mip %d srgb %d", id, k, p, f, int(mipmaps), int(srgb));
                return r().surfaceRow(id, k);
            },
        };
        return t;
    }
};

}  // namespace kolmtest
