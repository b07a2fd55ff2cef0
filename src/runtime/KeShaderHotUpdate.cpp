#include "runtime/KeShaderHotUpdate.h"

#include "core/KeError.h"
#include "files/KeFileSystem.h"
#include "files/KeFolderWatch.h"
#include "fx/IKeGPUProgrammingServices.h"

#include <chrono>
#include <string>
#include <sys/stat.h>
#include <thread>

namespace kolm {
namespace {

const char* const kShaderFolders[] = {"shaders", "shadersHV", "shadersPP", "shadersSURF", "shadersSURF2"};
constexpr int kFolderCount = 5;
constexpr int kMaxChangedFiles = 100;
bool g_watching[kFolderCount] = {};

bool isDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

void keShaderHotUpdateStart(const char* baseDir) {
    if (keIsPackaged()) return;
    std::string base = baseDir ? baseDir : "";
    if (!base.empty() && base.back() != '/' && base.back() != '\\') base += '/';
    for (int i = 0; i < kFolderCount; ++i) {
        if (g_watching[i]) {
            keFolderWatchDelete(i);
            g_watching[i] = false;
        }
        const std::string folder = base + kShaderFolders[i];
        if (!isDirectory(folder)) continue;
        g_watching[i] = keFolderWatch(folder.c_str(), i) == 0;
    }
}

int keShaderHotUpdatePoll(IKeGPUProgrammingServices* services) {
    bool any = false;
    for (int i = 0; i < kFolderCount; ++i) any = any || (g_watching[i] && keFolderWatchChanged(i));
    if (!any) return 0;

    // Give the editor time to finish writing.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    irr::core::array<irr::core::stringc> changed;
    for (int i = 0; i < kFolderCount; ++i) {
        if (!g_watching[i] || !keFolderWatchChanged(i)) continue;
        const char* const* files = nullptr;
        const int n = keGetFolderWatchChanges(i, &files);
        for (int k = 0; k < n && static_cast<int>(changed.size()) < kMaxChangedFiles; ++k) {
            irr::core::stringc name(files[k]);
            name.replace('\\', '/');
            printMessage(KE_INFO, "detected file change %s", name.c_str());
            changed.push_back(name);
        }
    }
    // A change that lists no file (a removal, a folder renamed) is an update all the same.
    printMessage(KE_INFO, "updating shaders...");
    if (services && !changed.empty()) {
        irr::core::array<irr::s32> updated;
        services->recompileShaders(changed, updated);
    }
    printMessage(KE_INFO, "updating shaders done");
    for (int i = 0; i < kFolderCount; ++i) {
        if (g_watching[i]) keFolderWatchReset(i);
    }
    return static_cast<int>(changed.size());
}

void keShaderHotUpdateStop() {
    for (int i = 0; i < kFolderCount; ++i) {
        if (g_watching[i]) keFolderWatchDelete(i);
        g_watching[i] = false;
    }
}

}  // namespace kolm
