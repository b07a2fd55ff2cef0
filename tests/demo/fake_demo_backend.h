// A recording twin of the engine for the demo player: every call is written as one line
// ("show scene 0", "fade in 1000 0x000000", ...) and what the engine would answer (scene
// musics, music positions, failures) is set by the test.
#pragma once

#include "demo/IKeDemoBackend.h"

#include <cstdarg>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

class FakeDemoBackend : public kolm::IKeDemoBackend {
public:
    std::vector<std::string> calls;
    // Per scene file name: the music it names and its offset; and what it makes.
    std::map<std::string, std::pair<std::string, int>> sceneMusicByFile;
    kolm::DemoSceneCounts counts{2, 1, 1, 0, 0};
    std::set<std::string> failingFiles;  // scenes, musics or shaders that fail to load
    int abortAtScene = -1;               // the load of this scene slot reports a user abort
    int32_t clock = 0;
    std::map<int, int> musicPosition;  // -1 or missing: unknown
    std::set<int> shownShaders;        // camera shader IDs shown (a second show is recorded as an error)
    std::vector<std::string> errors;
    bool fadeOn = false;
    int framesToRun = -1;  // run() answers false after this many calls (-1: never)
    std::map<int, std::string> slotFile;

    void log(const char* fmt, ...) __attribute__((format(printf, 2, 3))) {
        char line[512];
        va_list args;
        va_start(args, fmt);
        std::vsnprintf(line, sizeof line, fmt, args);
        va_end(args);
        calls.push_back(line);
    }
    // The calls recorded since the last take, cleared.
    std::vector<std::string> take() {
        std::vector<std::string> out;
        out.swap(calls);
        return out;
    }
    bool called(const std::string& line) const {
        for (const std::string& c : calls)
            if (c == line) return true;
        return false;
    }

    void loadingFrame(int percent) override { log("loading %d", percent); }
    void loadingFinish() override { log("loading finish"); }
    bool userAborted() override { return false; }
    void setDirectory(const char*) override {}
    void enterDirectory(const char*) override {}
    int loadScene(const char* file, int slot, const kolm::DemoIdBases& bases, bool, const char*, bool extra,
                  int progressPart, int) override {
        log("load scene %s slot %d object %d%s%s", file, slot, bases.object, extra ? " extra" : "",
            progressPart >= 0 ? " progress" : "");
        if (failingFiles.count(file)) return -1;
        if (slot == abortAtScene) return 1;
        slotFile[slot] = file;
        return 0;
    }
    kolm::DemoSceneCounts sceneCounts(int) override { return counts; }
    const char* sceneMusic(int slot) override {
        auto it = sceneMusicByFile.find(slotFile[slot]);
        return it == sceneMusicByFile.end() ? nullptr : it->second.first.c_str();
    }
    int sceneMusicOffset(int slot) override {
        auto it = sceneMusicByFile.find(slotFile[slot]);
        return it == sceneMusicByFile.end() ? 0 : it->second.second;
    }
    void unloadScene(int slot) override { log("unload scene %d", slot); }
    int loadMusic(const char* path, int id) override {
        log("load music %s %d", path, id);
        return failingFiles.count(path) ? -1 : 0;
    }
    void deleteMusic(int id) override { log("delete music %d", id); }
    int loadCameraShader(const char* path, int id) override {
        log("load shader %s %d", path, id);
        return failingFiles.count(path) ? -1 : 0;
    }
    void deleteCameraShader(int id) override { log("delete shader %d", id); }
    void prepareScene(int slot) override { log("prepare scene %d", slot); }

    int32_t clockMs() override { return clock; }
    void sleepMs(int) override {}
    bool run() override {
        if (framesToRun == 0) return false;
        if (framesToRun > 0) --framesToRun;
        return true;
    }
    bool escapeLatched() override { return false; }
    void setFrameTime(int32_t) override {}
    void playMusic(int id) override { log("play music %d", id); }
    void stopMusic(int id) override { log("stop music %d", id); }
    int musicPositionMs(int id) override {
        auto it = musicPosition.find(id);
        return it == musicPosition.end() ? -1 : it->second;
    }
    int musicSound(int id, int64_t first, int frames, int16_t* out) override {
        // A ramp that names the music and the frame: equal inputs give equal sound.
        for (int i = 0; i < frames; ++i) {
            const int64_t f = first + i;
            out[2 * i] = static_cast<int16_t>(f < 0 ? 0 : (f % 1000) + id * 1000);
            out[2 * i + 1] = out[2 * i];
        }
        return 0;
    }
    void showScene(int slot) override { log("show scene %d", slot); }
    void hideScene(int slot) override { log("hide scene %d", slot); }
    void animateScene(int slot, int t) override { log("animate %d at %d", slot, t); }
    void updateScene(int, int) override {}
    void parkScene(int slot, int, int) override { log("park %d", slot); }
    void showEmitters(int slot, int) override { log("emitters %d", slot); }
    void showCameraShader(int id) override {
        log("show shader %d", id);
        if (!shownShaders.insert(id).second) errors.push_back("shader shown twice: " + std::to_string(id));
    }
    void hideCameraShader(int id) override {
        log("hide shader %d", id);
        if (!shownShaders.erase(id)) errors.push_back("shader hidden while not shown: " + std::to_string(id));
    }
    void fadeIn(int ms, uint32_t rgb) override {
        log("fade in %d 0x%06X", ms, rgb);
        fadeOn = true;
    }
    void fadeOut(int ms, uint32_t rgb) override {
        log("fade out %d 0x%06X", ms, rgb);
        fadeOn = true;
    }
    void stopFade() override {
        log("stop fade");
        fadeOn = false;
    }
    void setCameraRange(float n, float f) override { log("camera range %g %g", n, f); }
    int renderFrame() override {
        log("render");
        return 0;
    }
    std::vector<std::string> screenshots;
    int failScreenshotAt = -1;
    int screenshot(const char* path) override {
        if (static_cast<int>(screenshots.size()) == failScreenshotAt) return -1;
        screenshots.push_back(path);
        return 0;
    }
};
