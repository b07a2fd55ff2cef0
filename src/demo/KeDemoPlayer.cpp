// Contents: loading and freeing; the frame (part switch, extras, camera shaders, faders);
// the real-time and capture loops.
#include "demo/KeDemoPlayer.h"

#include "core/KeError.h"
#include "demo/KeDemoCapture.h"
#include "kf/kfile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <strings.h>

namespace kolm {
namespace {

constexpr int KE_DEMO_PATH = 4096;

int64_t windowEnd(int32_t time, int32_t length) { return static_cast<int64_t>(time) + length; }
bool inWindow(int64_t b, int32_t time, int32_t length) { return time <= b && b < windowEnd(time, length); }

int loadScenes(DemoDefinition& def, const std::string& demoDir, DemoIdAllocator& ids, IKeDemoBackend& be) {
    for (int i = 0; i < def.partCount; ++i) {
        DemoPart& p = def.parts[i];
        if (!p.filename[0]) continue;
        be.setDirectory(demoDir.c_str());
        if (p.directory[0]) be.enterDirectory(p.directory);
        DemoIdBases bases{ids.object, ids.light, ids.emitter, ids.cubeMap, ids.cameraShader};
        const int r = be.loadScene(p.filename, ids.sceneSlot, bases, p.reuseObjects != 0, p.directory, false, i,
                                   def.partCount);
        if (r == 1) return -1;  // the user stopped loading: no message
        if (r != 0) {
            reportError("Fail to load scene %s", p.filename);
            return -1;
        }
        p.sceneSlot = ids.sceneSlot;
        p.objectBase = ids.object;
        p.lightBase = ids.light;
        p.emitterBase = ids.emitter;
        p.cubeMapBase = ids.cubeMap;
        const DemoSceneCounts c = be.sceneCounts(ids.sceneSlot);
        ids.sceneSlot += 1;
        ids.object += c.objects;
        ids.light += c.lights;
        ids.emitter += c.emitters;
        ids.cubeMap += c.cubeMaps;
        ids.cameraShader += c.cameraShaders;

        for (int x = 0; x < p.extraCount; ++x) {
            DemoExtra& e = p.extras[x];
            be.setDirectory(demoDir.c_str());
            if (e.directory[0]) be.enterDirectory(e.directory);
            DemoIdBases eb{ids.object, ids.light, ids.emitter, ids.cubeMap, ids.cameraShader};
            const int er = be.loadScene(e.filename, ids.sceneSlot, eb, e.reuseObjects != 0, e.directory, true, -1,
                                        def.partCount);
            if (er == 1) return -1;
            if (er != 0) {
                reportError("Fail to load in scene %s the extra id=%d %s", p.filename, x, e.filename);
                return -1;
            }
            e.sceneSlot = ids.sceneSlot;
            e.objectBase = ids.object;
            e.lightBase = ids.light;
            e.emitterBase = ids.emitter;
            e.cubeMapBase = ids.cubeMap;
            const DemoSceneCounts ec = be.sceneCounts(ids.sceneSlot);
            ids.sceneSlot += 1;
            ids.object += ec.objects;
            ids.light += ec.lights;
            ids.emitter += ec.emitters;
            ids.cubeMap += ec.cubeMaps;
            ids.cameraShader += ec.cameraShaders;
        }
    }
    return 0;
}

int loadMusics(DemoDefinition& def, const std::string& demoDir, DemoIdAllocator& ids, IKeDemoBackend& be) {
    for (int i = 0; i < def.partCount; ++i) {
        DemoPart& p = def.parts[i];
        if (!p.music[0]) continue;
        be.setDirectory(demoDir.c_str());
        char path[KE_DEMO_PATH];
        keDemoJoinPath(def.musicDirectory, p.music, path, sizeof path);
        const int id = ids.music++;
        if (be.loadMusic(path, id) != 0) {
            reportError("Fail to load music %s", p.music);
            return -1;
        }
        p.musicId = id;
    }
    return 0;
}

// Distinct shader names (without regard to case, first occurrence first), each loaded once
// under the next camera shader ID. When one fails, the ones loaded before it are freed again
// and the demo plays without shaders.
void loadShaders(DemoDefinition& def, const std::string& demoDir, DemoIdAllocator& ids, IKeDemoBackend& be) {
    const char* names[KE_DEMO_MAX_SHADER_NAMES];
    int count = 0;
    for (int i = 0; i < def.partCount; ++i) {
        for (int s = 0; s < def.parts[i].shaderCount; ++s) {
            const char* name = def.parts[i].shaders[s].name;
            bool seen = false;
            for (int n = 0; n < count && !seen; ++n) seen = strcasecmp(names[n], name) == 0;
            if (!seen && count < KE_DEMO_MAX_SHADER_NAMES) names[count++] = name;
        }
    }
    const int firstId = ids.cameraShader;
    for (int n = 0; n < count; ++n) {
        be.setDirectory(demoDir.c_str());
        char path[KE_DEMO_PATH];
        keDemoJoinPath(def.shadersDirectory, names[n], path, sizeof path);
        if (be.loadCameraShader(path, firstId + n) != 0) {
            reportError("Failed to load shader %s", path);
            for (int m = 0; m < n; ++m) be.deleteCameraShader(firstId + m);
            return;
        }
    }
    ids.cameraShader += count;
    for (int i = 0; i < def.partCount; ++i) {
        for (int s = 0; s < def.parts[i].shaderCount; ++s) {
            DemoShader& h = def.parts[i].shaders[s];
            for (int n = 0; n < count; ++n) {
                if (strcasecmp(names[n], h.name) == 0) {
                    h.shaderId = firstId + n;
                    break;
                }
            }
        }
    }
}

// --- the frame --------------------------------------------------------------------------------

void parkExtra(DemoExtra& e, IKeDemoBackend& be) { be.parkScene(e.sceneSlot, e.objectBase, e.emitterBase); }

// The active shader entry of parts 0..last showing camera shader `id`, other than `except`.
DemoShader* activeShaderWithId(DemoDefinition& def, int last, int id, const DemoShader* except) {
    for (int i = 0; i <= last; ++i) {
        DemoPart& p = def.parts[i];
        for (int s = 0; s < p.shaderCount; ++s) {
            DemoShader& h = p.shaders[s];
            if (&h != except && h.active && h.shaderId == id) return &h;
        }
    }
    return nullptr;
}

void stopOwnedFade(DemoPlayState& st, int part, int index, IKeDemoBackend& be) {
    if (st.faderPart == part && st.faderIndex == index) {
        be.stopFade();
        st.faderPart = st.faderIndex = -1;
    }
}

// Windows of earlier parts that are still on end as their own windows say, so that an extra,
// shader or fade that outlasts its part does not stay on for ever.
void endEarlierWindows(DemoDefinition& def, DemoPlayState& st, int64_t b, IKeDemoBackend& be) {
    for (int i = 0; i < st.partIndex; ++i) {
        DemoPart& p = def.parts[i];
        for (int x = 0; x < p.extraCount; ++x) {
            DemoExtra& e = p.extras[x];
            if (e.active && e.sceneSlot >= 0 && b >= e.endsAt) {
                parkExtra(e, be);
                e.active = 0;
            }
        }
        for (int s = 0; s < p.shaderCount; ++s) {
            DemoShader& h = p.shaders[s];
            if (h.active && b >= h.endsAt) {
                be.hideCameraShader(h.shaderId);
                h.active = 0;
                h.done = 1;
            }
        }
        for (int f = 0; f < p.faderCount; ++f) {
            DemoFader& fd = p.faders[f];
            if (fd.active && b >= fd.endsAt) {
                stopOwnedFade(st, i, f, be);
                fd.active = 0;
                fd.done = 1;
            }
        }
    }
}

// A time reset moves the time line by -shift: windows still on move with it, and so does the
// music's base when the music plays on from before.
void shiftTimeLine(DemoDefinition& def, DemoPlayState& st, int64_t shift, bool moveMusic) {
    if (moveMusic) st.musicRef = static_cast<int32_t>(st.musicRef - shift);
    for (int i = 0; i < st.partIndex; ++i) {
        DemoPart& p = def.parts[i];
        for (int x = 0; x < p.extraCount; ++x)
            if (p.extras[x].active) p.extras[x].endsAt -= shift;
        for (int s = 0; s < p.shaderCount; ++s)
            if (p.shaders[s].active) p.shaders[s].endsAt -= shift;
        for (int f = 0; f < p.faderCount; ++f)
            if (p.faders[f].active) p.faders[f].endsAt -= shift;
    }
}

void switchPart(DemoDefinition& def, DemoPlayState& st, DemoPart* old, int32_t a, int64_t& b, IKeDemoBackend& be) {
    DemoPart& n = def.parts[st.partIndex];
    if (n.musicId != -1 && st.musicId != -1) be.stopMusic(st.musicId);
    if (n.sceneSlot != -1 && st.sceneSlot != -1) {
        be.hideScene(st.sceneSlot);
        if (old) {
            for (int x = 0; x < old->extraCount; ++x) {
                DemoExtra& e = old->extras[x];
                if (e.sceneSlot < 0) continue;
                be.hideScene(e.sceneSlot);
                e.active = 0;
                if (e.flushObjects) {
                    be.unloadScene(e.sceneSlot);
                    e.sceneSlot = -1;
                }
            }
            if (old->flushObjects) be.unloadScene(st.sceneSlot);
        }
    }
    if (n.musicId != -1) {
        st.musicId = n.musicId;
        be.playMusic(st.musicId);
        // The music's position 0 lies at the part's start on the demo time line.
        st.musicRef = n.start;
    }
    if (n.timeReset) {
        const int64_t shift = b;
        st.origin = a;
        b = 0;
        shiftTimeLine(def, st, shift, n.musicId == -1);
    }
    be.setCameraRange(n.cameraNear, n.cameraFar);
    if (n.sceneSlot != -1) {
        st.sceneSlot = n.sceneSlot;
        be.showScene(st.sceneSlot);
        // Extras are shown parked: their objects far away, their emitters hidden until their
        // windows begin (parking after showing, since showing a scene shows its emitters).
        for (int x = 0; x < n.extraCount; ++x) {
            DemoExtra& e = n.extras[x];
            if (e.sceneSlot < 0) continue;
            be.showScene(e.sceneSlot);
            parkExtra(e, be);
        }
    }
}

void runExtras(DemoPart& r, int64_t b, IKeDemoBackend& be) {
    for (int x = 0; x < r.extraCount; ++x) {
        DemoExtra& e = r.extras[x];
        if (e.sceneSlot < 0) continue;
        const int64_t end = windowEnd(e.time, e.length);
        if (inWindow(b, e.time, e.length) && !e.active) {
            be.showEmitters(e.sceneSlot, e.emitterBase);
            e.active = 1;
            e.endsAt = end;
        }
        if (b >= end) {
            if (e.active) {
                parkExtra(e, be);
                e.active = 0;
            }
        } else if (e.active) {
            be.animateScene(e.sceneSlot, static_cast<int>(b - e.time));
        }
    }
}

void runShaders(DemoDefinition& def, DemoPlayState& st, DemoPart& r, int64_t b, IKeDemoBackend& be) {
    DemoShader* latest = nullptr;
    for (int s = 0; s < r.shaderCount; ++s) {
        DemoShader& h = r.shaders[s];
        if (h.shaderId < 0) continue;
        const int64_t end = windowEnd(h.time, h.length);
        if (inWindow(b, h.time, h.length) && !h.active && !h.done) {
            if (latest && latest->active) {
                be.hideCameraShader(latest->shaderId);
                latest->active = 0;
                latest->done = 1;
            }
            // A camera shader is shown once: an entry (of this or an earlier part) that shows the
            // same ID hands it over instead of showing it a second time.
            if (DemoShader* other = activeShaderWithId(def, st.partIndex, h.shaderId, &h)) {
                other->active = 0;
                other->done = 1;
            } else {
                be.showCameraShader(h.shaderId);
            }
            h.active = 1;
            h.endsAt = end;
            latest = &h;
        }
        if (b >= end && h.active) {
            be.hideCameraShader(h.shaderId);
            h.active = 0;
            h.done = 1;
            latest = nullptr;
        }
    }
}

void runFaders(DemoPlayState& st, DemoDefinition& def, DemoPart& r, int64_t b, IKeDemoBackend& be) {
    DemoFader* latest = nullptr;
    for (int f = 0; f < r.faderCount; ++f) {
        DemoFader& fd = r.faders[f];
        const int64_t end = windowEnd(fd.time, fd.length);
        if (inWindow(b, fd.time, fd.length) && !fd.active && !fd.done) {
            if (latest && latest->active) {
                latest->active = 0;
                latest->done = 1;
            }
            // The overlay passes to this fader: the one that showed it is done (its window's
            // end must not take the new overlay away).
            if (st.faderPart >= 0) {
                DemoFader& owner = def.parts[st.faderPart].faders[st.faderIndex];
                owner.active = 0;
                owner.done = 1;
                be.stopFade();
            }
            if (fd.fadeOut)
                be.fadeOut(fd.fadeLength, fd.color);
            else
                be.fadeIn(fd.fadeLength, fd.color);
            fd.active = 1;
            fd.endsAt = end;
            st.faderPart = st.partIndex;
            st.faderIndex = f;
            latest = &fd;
        }
        if (b >= end && fd.active) {
            stopOwnedFade(st, st.partIndex, f, be);
            fd.active = 0;
            fd.done = 1;
            latest = nullptr;
        }
    }
}

}  // namespace

int64_t keDemoEndClock(const DemoDefinition& def) {
    if (def.partCount <= 0) return 0;
    int64_t clock = 0;
    for (int i = 1; i < def.partCount - 1; ++i)
        if (def.parts[i].timeReset) clock += def.parts[i].time;
    return clock + def.parts[def.partCount - 1].time;
}

int keDemoLoad(DemoDefinition& def, const char* path, DemoIdAllocator& ids, IKeDemoBackend& be) {
    if (keDemoReadFile(&def, path) != 0) return -1;
    const std::string demoDir = kfile_dirname(kfile_fullpath(path));
    be.setDirectory(demoDir.c_str());
    be.loadingFrame(0);
    for (int i = 0; i < def.partCount; ++i)
        if (def.parts[i].palette[0]) def.parts[i].paletteId = ids.palette++;
    if (loadScenes(def, demoDir, ids, be) != 0) return -1;

    be.setDirectory(demoDir.c_str());
    DemoSceneMusic scenes[KE_DEMO_MAX_PARTS];
    for (int i = 0; i < def.partCount; ++i) {
        const int slot = def.parts[i].sceneSlot;
        if (slot < 0) continue;
        scenes[i].file = be.sceneMusic(slot);
        scenes[i].offsetMs = be.sceneMusicOffset(slot);
    }
    if (keDemoApplyTimingRules(&def, scenes) != 0) return -1;
    if (loadMusics(def, demoDir, ids, be) != 0) return -1;
    loadShaders(def, demoDir, ids, be);
    be.setDirectory(demoDir.c_str());
    be.loadingFinish();
    return 0;
}

void keDemoFree(DemoDefinition& def, IKeDemoBackend& be) {
    for (int i = 0; i < def.partCount; ++i) {
        DemoPart& p = def.parts[i];
        if (p.musicId != -1) be.deleteMusic(p.musicId);
        p.musicId = -1;
    }
    for (int i = 0; i < def.partCount; ++i) {
        DemoPart& p = def.parts[i];
        if (p.sceneSlot != -1) be.unloadScene(p.sceneSlot);
        p.sceneSlot = -1;
        for (int x = 0; x < p.extraCount; ++x) {
            if (p.extras[x].sceneSlot != -1) be.unloadScene(p.extras[x].sceneSlot);
            p.extras[x].sceneSlot = -1;
        }
    }
    // Parts share camera shader IDs: each is released once.
    for (int i = 0; i < def.partCount; ++i) {
        for (int s = 0; s < def.parts[i].shaderCount; ++s) {
            const int id = def.parts[i].shaders[s].shaderId;
            if (id < 0) continue;
            be.deleteCameraShader(id);
            for (int j = i; j < def.partCount; ++j)
                for (int t = 0; t < def.parts[j].shaderCount; ++t)
                    if (def.parts[j].shaders[t].shaderId == id) def.parts[j].shaders[t].shaderId = -1;
        }
    }
}

int keDemoFrame(DemoDefinition& def, DemoPlayState& st, int32_t time, IKeDemoBackend& be, bool render) {
    DemoPart* r = st.partIndex >= 0 && st.partIndex < def.partCount ? &def.parts[st.partIndex] : nullptr;
    int32_t a = time;
    int64_t b = 0;
    if (time == -1) {
        a = be.clockMs();
        b = static_cast<int64_t>(a) - st.origin;
        if (r && st.musicId != -1) {
            const int position = be.musicPositionMs(st.musicId);
            if (position != -1) {
                // What is heard may start a little behind the clock that started the music:
                // the demo time then waits for it rather than step back.
                b = std::max<int64_t>(static_cast<int64_t>(st.musicRef) + position, st.lastTime);
                // The clock carries on from the music's time once the music has ended.
                st.origin = static_cast<int32_t>(a - b);
            }
        }
    } else {
        b = static_cast<int64_t>(a) - st.origin;
    }

    // One part switch per frame.
    if (st.partIndex + 1 < def.partCount && b >= def.parts[st.partIndex + 1].time) {
        DemoPart* old = r;
        st.partIndex += 1;
        if (st.partIndex == def.partCount - 1) {
            st.finished = 1;
            st.lastTime = static_cast<int32_t>(b);
            return 0;
        }
        switchPart(def, st, old, a, b, be);
        r = &def.parts[st.partIndex];
    }
    st.lastTime = static_cast<int32_t>(b);

    if (r) {
        endEarlierWindows(def, st, b, be);
        runExtras(*r, b, be);
        if (r->paletteId != -1 && r->paletteId != st.paletteId) st.paletteId = r->paletteId;
        runShaders(def, st, *r, b, be);
        runFaders(st, def, *r, b, be);
        if (st.sceneSlot != -1) {
            const int sceneTime = static_cast<int>(b - r->start);
            be.animateScene(st.sceneSlot, sceneTime);
            be.updateScene(st.sceneSlot, sceneTime);
        }
    }
    if (render) {
        be.renderFrame();
    } else {
        be.animateFrame();
    }
    return 0;
}

// --- loops ----------------------------------------------------------------------------------

namespace {

// Loads and prepares; on failure everything loaded is freed again.
int loadAndPrepare(DemoDefinition& def, const char* path, IKeDemoBackend& be) {
    DemoIdAllocator ids;
    if (keDemoLoad(def, path, ids, be) != 0) {
        keDemoFree(def, be);
        return -1;
    }
    for (int i = 0; i < def.partCount; ++i)
        if (def.parts[i].sceneSlot != -1) be.prepareScene(def.parts[i].sceneSlot);
    be.renderFrame();
    be.sleepMs(200);
    return 0;
}

void endPlayback(DemoDefinition& def, DemoPlayState& st, IKeDemoBackend& be) {
    if (st.faderPart >= 0) be.stopFade();
    be.setFrameTime(-1);
    keDemoFree(def, be);
}

}  // namespace

int keDemoPlayWith(const char* path, IKeDemoBackend& be) {
    auto def = std::make_unique<DemoDefinition>();
    if (loadAndPrepare(*def, path, be) != 0) return -1;
    DemoPlayState st;
    st.origin = be.clockMs();
    int result = 0;
    while (be.run()) {
        if (be.escapeLatched() || st.finished) break;
        if (keDemoFrame(*def, st, -1, be) != 0) {
            result = -1;
            break;
        }
    }
    endPlayback(*def, st, be);
    return result;
}

int32_t keDemoCaptureTime(int64_t frame, double fps) {
    return static_cast<int32_t>(static_cast<double>(frame) * 1000.0 / fps);
}

int keDemoCaptureWith(const char* path, const DemoCaptureOptions& options, IKeDemoBackend& be) {
    const double fps = std::isfinite(options.fps) && options.fps > 0 ? options.fps : 30.0;
    // The base name is fixed before loading moves the working directory.
    char base[KE_DEMO_PATH];
    keDemoAbsolutePath(options.base ? options.base : "", base, sizeof base);
    char wav[KE_DEMO_PATH] = {};
    if (options.wavPath) keDemoAbsolutePath(options.wavPath, wav, sizeof wav);

    auto def = std::make_unique<DemoDefinition>();
    if (loadAndPrepare(*def, path, be) != 0) return -1;

    printMessage(KE_INFO, "Start capturing: basename='%s' fps=%f", base, fps);
    const int64_t endClock = keDemoEndClock(*def);
    const int64_t from = options.from > 0 ? options.from : 0;
    int64_t total = static_cast<int64_t>(std::ceil(static_cast<double>(endClock) * fps / 1000.0));
    if (options.to >= 0 && options.to < total) total = options.to;
    KeDemoCaptureProgress progress(options.progress, from, total, fps);
    DemoPlayState st;
    KeDemoWavWriter wavWriter;
    if (wav[0] && wavWriter.open(wav, fps, from) != 0) {
        endPlayback(*def, st, be);
        return -1;
    }

    st.origin = 0;
    int result = 0;
    char file[KE_DEMO_PATH + 32];
    for (int64_t k = 0; be.run(); ++k) {
        if (be.escapeLatched() || st.finished) break;
        if (options.to >= 0 && k >= options.to) break;
        const int32_t t = keDemoCaptureTime(k, fps);
        be.setFrameTime(t);
        if (keDemoFrame(*def, st, t, be, k + 1 >= from) != 0) {
            result = -1;
            break;
        }
        // The frame that reaches the last part renders nothing: it is not written.
        if (st.finished) break;
        if (wavWriter.isOpen()) wavWriter.frame(k, st, be);
        if (k < from) continue;
        std::snprintf(file, sizeof file, "%s_%06lld.bmp", base, static_cast<long long>(k));
        if (be.screenshot(file) != 0) {
            result = -1;
            break;
        }
        progress.clearLine();
        printMessage(KE_INFO, "Frame %5lld; time %6d ; %s", static_cast<long long>(k), t, file);
        progress.frame(k, st.lastTime);
    }
    progress.finish();
    if (wavWriter.isOpen() && wavWriter.close() != 0) result = -1;
    endPlayback(*def, st, be);
    return result;
}

}  // namespace kolm
