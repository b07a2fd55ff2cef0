#include "demo/KeDemoDefinition.h"

#include "core/KeError.h"
#include "files/KeIni.h"

#include <iniparser.h>

#include <cstdio>
#include <cstring>

namespace kolm {
namespace {

// Copies at most capacity - 1 characters and always terminates.
void copyText(char* out, int capacity, const char* text) {
    std::snprintf(out, static_cast<size_t>(capacity), "%s", text ? text : "");
}

// "<section>:<key>" (keys are short; a section name longer than the buffer cannot match).
struct KeyName {
    char text[256];
    KeyName(const char* section, const char* key) { std::snprintf(text, sizeof text, "%s:%s", section, key); }
    KeyName(const char* section, const char* kind, int n, const char* key) {
        std::snprintf(text, sizeof text, "%s:%s.%d.%s", section, kind, n, key);
    }
};

bool has(dictionary* ini, const KeyName& k) { return iniparser_find_entry(ini, k.text) != 0; }
int getInt(dictionary* ini, const KeyName& k, int def) { return iniparser_getint(ini, k.text, def); }
const char* getText(dictionary* ini, const KeyName& k) { return iniparser_getstring(ini, k.text, ""); }

void readPart(dictionary* ini, const char* section, DemoPart* p) {
    copyText(p->name, KE_DEMO_NAME, section);
    p->time = getInt(ini, KeyName(section, "time"), -1);
    p->timeReset = getInt(ini, KeyName(section, "timereset"), 0);
    p->start = p->timeReset ? 0 : p->time;
    copyText(p->music, KE_DEMO_TEXT, getText(ini, KeyName(section, "music")));
    copyText(p->palette, KE_DEMO_TEXT, getText(ini, KeyName(section, "palette")));
    static const char* const kChannels[3] = {"palette.r", "palette.g", "palette.b"};
    for (int c = 0; c < 3; ++c) {
        const KeyName k(section, kChannels[c]);
        if (has(ini, k)) {
            p->paletteChannel = c;
            p->paletteValue = getInt(ini, k, -1);
            break;
        }
    }
    copyText(p->directory, KE_DEMO_TEXT, getText(ini, KeyName(section, "directory")));
    copyText(p->filename, KE_DEMO_TEXT, getText(ini, KeyName(section, "filename")));
    std::sscanf(getText(ini, KeyName(section, "camerarange")), "%f %f", &p->cameraNear, &p->cameraFar);
    p->reuseObjects = getInt(ini, KeyName(section, "reuseobjects"), 0);
    p->flushObjects = getInt(ini, KeyName(section, "flushobjects"), 0);

    for (int n = 0; n < KE_DEMO_KEY_NUMBERS && p->extraCount < KE_DEMO_MAX_EXTRAS; ++n) {
        const KeyName dir(section, "extra", n, "directory");
        const KeyName file(section, "extra", n, "filename");
        if (!has(ini, dir) || !has(ini, file)) continue;
        DemoExtra& e = p->extras[p->extraCount++];
        copyText(e.directory, KE_DEMO_TEXT, getText(ini, dir));
        copyText(e.filename, KE_DEMO_TEXT, getText(ini, file));
        e.time = getInt(ini, KeyName(section, "extra", n, "time"), 0);
        e.length = getInt(ini, KeyName(section, "extra", n, "length"), 0);
        e.reuseObjects = getInt(ini, KeyName(section, "extra", n, "reuseobjects"), 0);
        e.flushObjects = getInt(ini, KeyName(section, "extra", n, "flushobjects"), 0);
    }
    for (int n = 0; n < KE_DEMO_KEY_NUMBERS && p->shaderCount < KE_DEMO_MAX_SHADERS; ++n) {
        const KeyName name(section, "shader", n, "name");
        if (!has(ini, name)) continue;
        DemoShader& s = p->shaders[p->shaderCount++];
        copyText(s.name, KE_DEMO_TEXT, getText(ini, name));
        s.time = getInt(ini, KeyName(section, "shader", n, "time"), 0);
        s.length = getInt(ini, KeyName(section, "shader", n, "length"), 0);
    }
    for (int n = 0; n < KE_DEMO_KEY_NUMBERS && p->faderCount < KE_DEMO_MAX_FADERS; ++n) {
        const KeyName time(section, "fader", n, "time");
        if (!has(ini, time) || getInt(ini, time, -1) == -1) continue;
        DemoFader& f = p->faders[p->faderCount++];
        f.time = getInt(ini, time, 0);
        f.fadeOut = getInt(ini, KeyName(section, "fader", n, "fadein"), -1) == -1 ? 1 : 0;
        f.length = getInt(ini, KeyName(section, "fader", n, "length"), 1000);
        f.fadeLength = getInt(ini, KeyName(section, "fader", n, "fadelength"), 1000);
        f.color = static_cast<uint32_t>(getInt(ini, KeyName(section, "fader", n, "color"), 0)) & 0xFFFFFFu;
    }
}

// The nearest earlier part with a music, or -1; `passedReset` tells whether a part walked past
// on the way has timeReset.
int previousMusicPart(const DemoDefinition& def, int index, bool* passedReset) {
    *passedReset = false;
    for (int j = index - 1; j >= 0; --j) {
        if (def.parts[j].music[0]) return j;
        if (def.parts[j].timeReset) *passedReset = true;
    }
    return -1;
}

}  // namespace

int keDemoReadIni(DemoDefinition* def, dictionary* ini) {
    *def = DemoDefinition();
    copyText(def->musicDirectory, KE_DEMO_TEXT, iniparser_getstring(ini, "setup:musicdirectory", ""));
    copyText(def->paletteDirectory, KE_DEMO_TEXT, iniparser_getstring(ini, "setup:palettedirectory", ""));
    copyText(def->shadersDirectory, KE_DEMO_TEXT, iniparser_getstring(ini, "setup:shadersdirectory", ""));
    const int sections = iniparser_getnsec(ini);
    for (int i = 0; i < sections && def->partCount < KE_DEMO_MAX_PARTS; ++i) {
        const char* section = iniparser_getsecname(ini, i);
        if (!section || !std::strstr(section, "part")) continue;
        readPart(ini, section, &def->parts[def->partCount++]);
    }
    if (def->partCount == 0) {
        reportError("No parts!");
        return -1;
    }
    return 0;
}

int keDemoReadFile(DemoDefinition* def, const char* path) {
    *def = DemoDefinition();
    if (!path || !*path) {
        reportError("Fail to load %s", path ? path : "");
        return -1;
    }
    dictionary* ini = keIniLoad(path);
    if (!ini) {
        reportError("Fail to parse ini");
        return -1;
    }
    const int result = keDemoReadIni(def, ini);
    iniparser_freedict(ini);
    return result;
}

void keDemoSceneMusicName(const char* file, char* out, int capacity) {
    const char* base = file ? file : "";
    for (const char* c = base; *c; ++c)
        if (*c == '/' || *c == '\\' || *c == ':') base = c + 1;
    const char* dot = std::strrchr(base, '.');
    const int length = dot ? static_cast<int>(dot - base) : static_cast<int>(std::strlen(base));
    std::snprintf(out, static_cast<size_t>(capacity), "%.*s.mp3", length, base);
}

int keDemoApplyTimingRules(DemoDefinition* def, const DemoSceneMusic* scenes) {
    for (int i = 0; i < def->partCount; ++i) {
        DemoPart& p = def->parts[i];
        const bool sceneHasMusic = scenes[i].file && scenes[i].file[0];
        char sceneMusic[KE_DEMO_TEXT] = {};
        if (sceneHasMusic) keDemoSceneMusicName(scenes[i].file, sceneMusic, KE_DEMO_TEXT);
        bool passedReset = false;
        const int prev = previousMusicPart(*def, i, &passedReset);
        if (p.time == -1) {
            if (p.music[0]) {
                reportError("Part %s: no time, but music specified in the part, impossible to determine time begin of the part", p.name);
                return -1;
            }
            if (!sceneHasMusic) {
                reportError("Part %s: no time, and no music specified in scene, impossible to determine time begin of the part", p.name);
                return -1;
            }
            if (passedReset) {
                reportError("Part %s: timereset no supported before a part that has a music within the scene", p.name);
                return -1;
            }
            if (prev < 0) {
                reportError("Part %s: when no time in part and a music in the scene, there must be a music before", p.name);
                return -1;
            }
            if (std::strcmp(sceneMusic, def->parts[prev].music) != 0) {
                reportError("Part %s: when no time in part, the music in the scene must be the same than the previous music", p.name);
                return -1;
            }
            p.time = p.start = scenes[i].offsetMs + def->parts[prev].start;
        } else if (!p.music[0] && sceneHasMusic) {
            if (passedReset) {
                reportError("Part %s: timereset no supported before a part that has a music within the scene", p.name);
                return -1;
            }
            if (prev >= 0 && std::strcmp(sceneMusic, def->parts[prev].music) == 0) {
                reportError("Part %s: music within the scene, with a time in the part :the music must not be the same music than previous", p.name);
                return -1;
            }
            if (scenes[i].offsetMs != 0) {
                reportError("Part %s: music within the scene, with a time in the part :the music offset within the scene must be zero", p.name);
                return -1;
            }
            copyText(p.music, KE_DEMO_TEXT, sceneMusic);
        }
    }
    return 0;
}

int keDemoLoadingPercent(int p, int i, int n) {
    if (n <= 0) return 0;
    return (p * 1000 / 100 + i * 1000) * 100 / (n * 1000);
}

void keDemoJoinPath(const char* directory, const char* name, char* out, int capacity) {
    if (directory && *directory)
        std::snprintf(out, static_cast<size_t>(capacity), "%s/%s", directory, name ? name : "");
    else
        std::snprintf(out, static_cast<size_t>(capacity), "%s", name ? name : "");
}

}  // namespace kolm
