// Runs one Lua test script through the script host: script-test [--null] file.lua. With --null
// the engine starts on the library's null driver (no display); otherwise on OpenGL, and without
// a display the run counts as skipped (77). Exit 0 when the script ran to its end.
#include "platform/KeProcess.h"
#include "runtime/KeEngine.h"
#include "script/KeScriptHost.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    bool null = false;
    const char* file = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--null") == 0) {
            null = true;
        } else {
            file = argv[i];
        }
    }
    if (!file) {
        std::fprintf(stderr, "usage: script-test [--null] file.lua\n");
        return 2;
    }
    if (null) {
        kolm::keSetEngineDriverType(irr::video::EDT_NULL);
    } else if (!kolm::keHasDisplay()) {
        std::printf("no display: skipped\n");
        return 77;
    }
    return kolm::keRunScript(file, false) == 0 ? 0 : 1;
}
