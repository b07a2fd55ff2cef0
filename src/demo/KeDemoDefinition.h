// Demo definitions: the ".demo.ini" file read into parts with their extras, camera shaders and
// faders, the ID allocator that loading advances, the timing rules that derive part start times
// from their scenes' musics, and the loading-progress formula.
//
// Times are ms on the demo time line; colours 0xRRGGBB. Texts are cut to their capacity
// (127 characters, part names 39). Sections and keys are matched without regard to case
// (iniparser lower-cases them: a part's name is its section name in lower case).
#pragma once

#include <cstdint>

struct _dictionary_;

namespace kolm {

constexpr int KE_DEMO_MAX_PARTS = 64;
constexpr int KE_DEMO_MAX_EXTRAS = 15;
constexpr int KE_DEMO_MAX_SHADERS = 10;
constexpr int KE_DEMO_MAX_FADERS = 20;
constexpr int KE_DEMO_KEY_NUMBERS = 20;    // "extra.%d", "shader.%d", "fader.%d": 0 to 19
constexpr int KE_DEMO_MAX_SHADER_NAMES = 640;
constexpr int KE_DEMO_TEXT = 128;          // 127 characters and the zero
constexpr int KE_DEMO_NAME = 40;           // 39 characters and the zero

struct DemoExtra {
    int32_t active = 0;  // playback: shown (its window holds the demo time)
    char directory[KE_DEMO_TEXT] = {};
    char filename[KE_DEMO_TEXT] = {};
    int32_t time = 0;    // ms, from the owning part's time line
    int32_t length = 0;  // ms
    int32_t sceneSlot = -1, objectBase = -1, lightBase = -1, emitterBase = -1, cubeMapBase = -1;
    int32_t reuseObjects = 0;
    int32_t flushObjects = 0;
    int64_t endsAt = 0;  // playback: end of the window on the current time line
};

struct DemoShader {
    int32_t active = 0, done = 0;  // playback flags
    char name[KE_DEMO_TEXT] = {};
    int32_t time = 0, length = 0;  // ms
    int32_t shaderId = -1;         // camera shader ID, assigned at load
    int64_t endsAt = 0;            // playback: end of the window on the current time line
};

struct DemoFader {
    int32_t fadeOut = 1;           // "fadein" absent or -1: fade out to the colour
    int32_t active = 0, done = 0;  // playback flags
    int32_t time = 0;              // ms
    int32_t length = 1000;         // ms the fader's window lasts
    int32_t fadeLength = 1000;     // ms the fade itself takes
    uint32_t color = 0;            // 0xRRGGBB (alpha ignored)
    int64_t endsAt = 0;            // playback: end of the window on the current time line
};

struct DemoPart {
    char name[KE_DEMO_NAME] = {};
    int32_t time = -1;  // ms; -1: none (taken from the scene's music by the timing rules)
    int32_t timeReset = 0;
    int32_t start = 0;  // 0 with timeReset, else time
    char music[KE_DEMO_TEXT] = {};
    char palette[KE_DEMO_TEXT] = {};
    int32_t paletteChannel = -1, paletteValue = -1;
    char directory[KE_DEMO_TEXT] = {};
    char filename[KE_DEMO_TEXT] = {};  // empty: the part has no scene
    float cameraNear = 0.1f, cameraFar = 1000.0f;
    int32_t reuseObjects = 0;
    int32_t flushObjects = 0;
    int32_t musicId = -1, paletteId = -1;
    int32_t sceneSlot = -1, objectBase = -1, lightBase = -1, emitterBase = -1, cubeMapBase = -1;
    int32_t extraCount = 0, shaderCount = 0, faderCount = 0;
    DemoExtra extras[KE_DEMO_MAX_EXTRAS];
    DemoShader shaders[KE_DEMO_MAX_SHADERS];
    DemoFader faders[KE_DEMO_MAX_FADERS];
};

struct DemoDefinition {
    char musicDirectory[KE_DEMO_TEXT] = {};
    char paletteDirectory[KE_DEMO_TEXT] = {};
    char shadersDirectory[KE_DEMO_TEXT] = {};
    int32_t partCount = 0;
    DemoPart parts[KE_DEMO_MAX_PARTS];
};

// The next free ID of each kind while a demo loads.
struct DemoIdAllocator {
    int32_t sceneSlot = 0;
    int32_t object = 1;
    int32_t light = 0;
    int32_t emitter = 0;
    int32_t cubeMap = 0;
    int32_t cameraShader = 0;
    int32_t palette = 1;
    int32_t music = 1;
};

// Reads the definition from an ini dictionary. Clears `def` first. 0, or -1 after "No parts!".
int keDemoReadIni(DemoDefinition* def, _dictionary_* ini);
// Reads the ".demo.ini" at `path` through the file layer (archive members included).
// "Fail to load %s" without a path, "Fail to parse ini" when it does not open or parse.
int keDemoReadFile(DemoDefinition* def, const char* path);

// The scene's music as the timing rules see it, per part: the file the scene document names
// (null or empty: none) and where the scene starts in it (ms).
struct DemoSceneMusic {
    const char* file = nullptr;
    int32_t offsetMs = 0;
};
// Applies the timing rules to the parts in order; scenes[i] belongs to part i. 0, or -1 after
// the first "Part %s: ..." message.
int keDemoApplyTimingRules(DemoDefinition* def, const DemoSceneMusic* scenes);
// The music that a scene's music file stands for: its base name without extension and ".mp3".
void keDemoSceneMusicName(const char* file, char* out, int capacity);

// Loading-screen percentage while the scene of part i (of n) is at p percent, in integer
// arithmetic: (p x 1000 / 100 + i x 1000) x 100 / (n x 1000).
int keDemoLoadingPercent(int p, int i, int n);

// "%s/%s" of a folder and a name, the folder left out when it is empty (a name is then not
// taken from the file system's root).
void keDemoJoinPath(const char* directory, const char* name, char* out, int capacity);

}  // namespace kolm
