#include "app/KeRunModes.h"

#include "runtime/KeEngine.h"
#include "runtime/KeLoadingScreen.h"
#include "core/KeError.h"
#include "app/KeDemoMode.h"
#include "app/KeObjectViewer.h"
#include "app/KeSceneViewer.h"
#include "app/KeSetup.h"
#include "app/KeShell.h"
#include "app/KeSysInit.h"
#include "files/KeIni.h"
#include "files/KeReadFile.h"
#include "package/KePackage.h"
#include "platform/KeWindow.h"
#include "script/KeCommandTable.h"
#include "script/KeScriptHost.h"

#include <iniparser.h>

#include <cstdio>
#include <string>

namespace kolm {
namespace {

void showRenderWindow() {
    EngineContext& c = keEngineContext();
    if (!c.device || !c.driver) return;
    if (c.driver->getDriverType() == irr::video::EDT_OPENGL) {
        const irr::video::SExposedVideoData& v = c.driver->getExposedVideoData();
        keWindowShow(v.OpenGLLinux.X11Display, static_cast<unsigned long>(v.OpenGLLinux.X11Window), true);
    }
    c.device->restoreWindow();
}

void shutdownEngine() { keStopEngine(); }

// The entry point reads the script from the disk (packaged scripts are not looked for).
int runScript(const char* file) { return keRunScript(file, false); }

// What a demo definition names for its package: the "directory" of every part (a section whose
// name contains "part", at most 64) and of its extras (both "directory" and "filename" given,
// at most 15 of "extra.0" to "extra.19"), and the setup section's shader and music folders.
bool readDemoPackList(const char* demoFile, KeDemoPackList* list) {
    dictionary* ini = keIniLoad(demoFile);
    if (!ini) return false;
    auto text = [ini](const std::string& key) { return std::string(iniparser_getstring(ini, key.c_str(), "")); };
    list->shadersDirectory = text("setup:shadersdirectory");
    list->musicDirectory = text("setup:musicdirectory");
    int parts = 0;
    for (int i = 0; i < iniparser_getnsec(ini) && parts < 64; ++i) {
        std::string section = iniparser_getsecname(ini, i);
        if (section.find("part") == std::string::npos) continue;  // iniparser lower-cases names
        ++parts;
        list->directories.push_back(text(section + ":directory"));
        int extras = 0;
        for (int n = 0; n < 20 && extras < 15; ++n) {
            const std::string key = section + ":extra." + std::to_string(n) + ".";
            if (!iniparser_find_entry(ini, (key + "directory").c_str()) ||
                !iniparser_find_entry(ini, (key + "filename").c_str())) {
                continue;
            }
            ++extras;
            list->directories.push_back(text(key + "directory"));
        }
    }
    iniparser_freedict(ini);
    return true;
}

KePackageSources packageSources() {
    KePackageSources s;
    s.executable = keGetExePath();
    s.engineDir = keGetExeDirectory();
    s.readDemo = &readDemoPackList;
    return s;
}

bool isPackaged() { return keIsPackagedExecutable(keGetExePath()); }

int packDemo(const char* output, const char* source, bool sideFile) {
    return keBuildPackage(output, source, sideFile, packageSources());
}

int packEngineResources(const char* output) { return keBuildShaderPackage(output, packageSources()); }

// "-extract": the package of this executable (resource 500, else its side file) into the
// current folder.
int extractPackage() {
    std::string archive;
    if (keLoadPackage(keGetExePath(), &archive) != 0) {
        std::string side;
        if (!keReadWholeFile(keSideFilePath(keGetExePath()).c_str(), side)) {
            reportError("Failed to load resources from executable");
            return -1;
        }
        archive.swap(side);
    }
    return keExtractPackage(archive.data(), archive.size(), ".");
}

bool scriptScreenModeDialog() {
    ScreenSetup setup;
    return keScreenModeDialog(&setup) == 0;
}

}  // namespace

void keInstallRunModes() {
    keInstallSetup();
    keSetEngineStartHook(&keStartEngine);
    KeShellHooks& h = keShellHooks();
    h.showRenderWindow = &showRenderWindow;
    h.shutdownEngine = &shutdownEngine;
    h.runScript = &runScript;
    h.runSceneViewer = &keViewScene;
    h.runObjectViewer = &keViewObject;
    h.isPackaged = &isPackaged;
    h.extractPackage = &extractPackage;
    h.packDemo = &packDemo;
    h.packEngineResources = &packEngineResources;
    KeScriptDialogs dialogs;
    dialogs.screenModeDialog = &scriptScreenModeDialog;
    dialogs.screenModeOption = &keScreenModeOption;
    keSetScriptDialogs(dialogs);
    keInstallDemoMode();
}

}  // namespace kolm
