#include "app/KeSysInit.h"

#include "platform/KeProcess.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace kolm {
namespace {

char g_exePath[KE_MAX_PATH] = {};
char g_exeDir[KE_MAX_PATH] = {};
int g_argc = 0;
char** g_argv = nullptr;

}  // namespace

int keSysInit(int argc, char** argv) {
    if (argc < 1 || !argv) return -1;
    // The running image is the reliable answer on Linux; argv[0] may be a bare name found
    // through PATH.
    std::string path = keReadExecutablePath();
    if (path.empty() && argv[0]) {
        char resolved[PATH_MAX];
        if (realpath(argv[0], resolved)) path = resolved;
    }
    if (path.empty() || path.size() >= KE_MAX_PATH) return -1;
    std::strcpy(g_exePath, path.c_str());
    const size_t slash = path.rfind('/');
    const std::string dir = path.substr(0, slash + 1);
    std::strcpy(g_exeDir, dir.c_str());
    g_argc = argc;
    g_argv = argv;
    return 0;
}

const char* keGetExePath() { return g_exePath; }
const char* keGetExeDirectory() { return g_exeDir; }
int keGetArgc() { return g_argc; }
char** keGetArgv() { return g_argv; }

}  // namespace kolm
