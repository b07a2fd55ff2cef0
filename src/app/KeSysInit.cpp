#include "app/KeSysInit.h"

#include "platform/KeProcess.h"

#include <cstdlib>
#include <string>

namespace kolm {
namespace {

std::string g_exePath;
std::string g_exeDir;
int g_argc = 0;
char** g_argv = nullptr;

}  // namespace

int keSysInit(int argc, char** argv) {
    if (argc < 1 || !argv) return -1;
    // The running image is the reliable answer on Linux; argv[0] may be a bare name found
    // through PATH.
    std::string path = keReadExecutablePath();
    if (path.empty() && argv[0]) {
        if (char* resolved = realpath(argv[0], nullptr)) {
            path = resolved;
            std::free(resolved);
        }
    }
    if (path.empty()) return -1;
    g_exePath = path;
    g_exeDir = path.substr(0, path.rfind('/') + 1);
    g_argc = argc;
    g_argv = argv;
    return 0;
}

const char* keGetExePath() { return g_exePath.c_str(); }
const char* keGetExeDirectory() { return g_exeDir.c_str(); }
int keGetArgc() { return g_argc; }
char** keGetArgv() { return g_argv; }

}  // namespace kolm
