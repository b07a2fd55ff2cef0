#include "app/KeSetup.h"

#include "app/KeSetupModes.h"
#include "core/KeError.h"
#include "files/KeFileSystem.h"
#include "files/KeIni.h"
#include "platform/KeDisplayModes.h"
#include "platform/KeSetupDialog.h"

#include <iniparser.h>
#include <strings.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace kolm {
namespace {

int startUnavailable(const EngineSetup&) {
    reportError("The engine start-up is not available in this build");
    return -1;
}

KeEngineStartHook g_startHook = &startUnavailable;
IKeSetupDialog* g_dialog = nullptr;
IKeDisplayModes* g_modes = nullptr;
ScreenSetup g_lastDialog = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// Everything the file, the dialog and the command line may set.
struct Settled {
    ScreenSetup screen;  // all -1
    int hideMouse = -1;
    int lightPrePass = -1;
    float cameraNear = 0.1f;
    float cameraFar = 1000.0f;
};

void readSetupFile(dictionary* ini, Settled* s) {
    if (const char* display = iniparser_getstring(ini, "Setup:display", nullptr)) {
        std::sscanf(display, "%d %d %d", &s->screen.width, &s->screen.height, &s->screen.bpp);
    }
    const char* windowed = iniparser_getstring(ini, "Setup:windowed", nullptr);
    if (!windowed) {
        s->screen.windowed = 1;
    } else {
        s->screen.windowed = (std::string(windowed) == "1" || strcasecmp(windowed, "yes") == 0 ||
                              strcasecmp(windowed, "y") == 0)
                                 ? 1
                                 : 0;
    }
    if (const char* pos = iniparser_getstring(ini, "Setup:windowpos", nullptr)) {
        std::sscanf(pos, "%d %d", &s->screen.windowX, &s->screen.windowY);
    }
    s->screen.vsync = iniparser_getint(ini, "Setup:vsync", -1);
    s->hideMouse = iniparser_getint(ini, "Setup:hide_mouse", -1);
    s->screen.fps = iniparser_getint(ini, "Setup:fps", -1);
    s->screen.antialias = iniparser_getint(ini, "Setup:antialias", -1);
    s->lightPrePass = iniparser_getint(ini, "Setup:lightprepass", -1);
    s->screen.shaders = iniparser_getint(ini, "Setup:shaders", -1);
    if (const char* range = iniparser_getstring(ini, "Setup:camerarange", nullptr)) {
        std::sscanf(range, "%f %f", &s->cameraNear, &s->cameraFar);
    }
    s->screen.stereo = iniparser_getint(ini, "Setup:stereo", -1);
}

void override(int32_t given, int32_t* value) {
    if (given != -1) *value = given;
}

// A size of zero or less would make a window without pixels: it counts as not given.
void dropNonPositive(int32_t* value) {
    if (*value <= 0) *value = -1;
}

IKeSetupDialog* dialog() { return g_dialog ? g_dialog : keX11SetupDialog(); }
IKeDisplayModes* modes() { return g_modes ? g_modes : keX11DisplayModes(); }

}  // namespace

int keSettleSetup(const char* setupFile, const char* baseDir, const ScreenSetup* cmdline, bool mayAsk,
                  EngineSetup* out) {
    Settled s;
    if (baseDir) keSetBaseDir(baseDir);

    // Copy the search result at once: the next search overwrites it.
    const std::string path = keFindFile(setupFile ? setupFile : "");
    dictionary* ini = path.empty() ? nullptr : keIniLoad(path.c_str());
    if (ini) {
        readSetupFile(ini, &s);
        iniparser_freedict(ini);
    } else if (mayAsk) {
        if (keScreenModeDialog(&s.screen) != 0) return -1;
        s.screen.vsync = 1;
        s.hideMouse = s.screen.windowed == 0 ? 1 : 0;
    }

    if (cmdline) {
        override(cmdline->width, &s.screen.width);
        override(cmdline->height, &s.screen.height);
        override(cmdline->bpp, &s.screen.bpp);
        override(cmdline->windowed, &s.screen.windowed);
        override(cmdline->windowX, &s.screen.windowX);
        override(cmdline->windowY, &s.screen.windowY);
        override(cmdline->vsync, &s.screen.vsync);
        override(cmdline->fps, &s.screen.fps);
        override(cmdline->antialias, &s.screen.antialias);
        override(cmdline->shaders, &s.screen.shaders);
        override(cmdline->stereo, &s.screen.stereo);
    }
    dropNonPositive(&s.screen.width);
    dropNonPositive(&s.screen.height);
    dropNonPositive(&s.screen.bpp);
    // Near must be in front of the camera and before far; anything else is the default range.
    if (!(std::isfinite(s.cameraNear) && std::isfinite(s.cameraFar) && s.cameraNear > 0.0f &&
          s.cameraNear < s.cameraFar)) {
        s.cameraNear = 0.1f;
        s.cameraFar = 1000.0f;
    }

    EngineSetup e;
    e.baseDir = baseDir ? baseDir : "";
    e.cameraNear = s.cameraNear;
    e.cameraFar = s.cameraFar;
    e.width = s.screen.width;
    e.height = s.screen.height;
    e.bpp = s.screen.bpp;
    e.windowed = s.screen.windowed;
    e.windowX = s.screen.windowX;
    e.windowY = s.screen.windowY;
    e.vsync = s.screen.vsync;
    e.fps = s.screen.fps;
    e.antialias = s.screen.antialias;
    e.lightPrePass = s.lightPrePass;
    e.hideMouse = s.hideMouse;
    e.shaders = s.screen.shaders;
    e.stereo = s.screen.stereo;
    *out = e;
    return 0;
}

int keSetup(const char* setupFile, const char* baseDir, const ScreenSetup* cmdline, bool mayAsk) {
    EngineSetup setup;
    if (keSettleSetup(setupFile, baseDir, cmdline, mayAsk, &setup) != 0) return -1;
    return g_startHook(setup) == 0 ? 0 : -1;
}

void keSetEngineStartHook(KeEngineStartHook hook) { g_startHook = hook ? hook : &startUnavailable; }

int keScreenModeDialog(ScreenSetup* setup) {
    KeDisplayModeQuery query;
    if (!modes()->query(&query)) query = KeDisplayModeQuery();
    const KeSetupModeList list = keBuildSetupModeList(query);

    KeSetupDialogContent content;
    content.modeLines = list.lines;
    content.selected = list.selected;
    content.fullScreen = true;
    if (const char* warning = keMissingLibraries()) content.warning = warning;

    KeSetupDialogAnswer answer;
    if (!dialog()->run(content, &answer)) return -1;

    ScreenSetup result;  // all -1
    if (setup) {
        result.windowX = setup->windowX;
        result.windowY = setup->windowY;
    }
    if (answer.selected >= 0 && answer.selected < static_cast<int>(list.modes.size())) {
        const KeDisplayMode& m = list.modes[static_cast<size_t>(answer.selected)];
        result.width = m.width;
        result.height = m.height;
        result.bpp = m.bpp;
    }
    result.windowed = answer.fullScreen ? 0 : 1;
    result.vsync = 1;
    result.centered = 0;
    if (setup) *setup = result;
    g_lastDialog = result;
    return 0;
}

int keScreenModeOption(const char* name) {
    if (!name) return -1;
    const struct {
        const char* name;
        int32_t ScreenSetup::*field;
    } options[] = {
        {"width", &ScreenSetup::width},         {"height", &ScreenSetup::height},
        {"windowed", &ScreenSetup::windowed},   {"bpp", &ScreenSetup::bpp},
        {"vsync", &ScreenSetup::vsync},         {"fps", &ScreenSetup::fps},
        {"antialias", &ScreenSetup::antialias}, {"shaders", &ScreenSetup::shaders},
        {"stereo", &ScreenSetup::stereo},       {"centered", &ScreenSetup::centered},
    };
    for (const auto& o : options) {
        if (strcasecmp(name, o.name) == 0) return g_lastDialog.*(o.field);
    }
    return -1;
}

const char* keMissingLibraries() { return nullptr; }

void keSetSetupBackends(IKeSetupDialog* dialogBackend, IKeDisplayModes* modeSource) {
    g_dialog = dialogBackend;
    g_modes = modeSource;
}

void keResetSetup() {
    g_startHook = &startUnavailable;
    g_dialog = nullptr;
    g_modes = nullptr;
    g_lastDialog = ScreenSetup{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
}

}  // namespace kolm
