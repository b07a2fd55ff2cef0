// Linked into every GL test: keeps Mesa's GL libraries mapped for the whole run. Mesa unloads
// its driver when the last context goes, and the leak checker can then no longer name the
// library that leaked (so its suppressions cannot match).
#include <dlfcn.h>

namespace {

struct KeepGlLoaded {
    KeepGlLoaded() {
        const char* const libs[] = {
            "libGLX_mesa.so.0",
            "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so",
            "libgallium_dri.so",
            "libLLVM-15.so.1",
        };
        for (const char* lib : libs) dlopen(lib, RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE);
    }
};

const KeepGlLoaded g_keepGlLoaded;

}  // namespace
