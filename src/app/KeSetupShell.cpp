#include "app/KeSetup.h"
#include "app/KeShell.h"

namespace kolm {

int keSetupStep(const char* setupFile, const char* baseDir, const ScreenSetup& cmdline, bool mayAsk) {
    return keSetup(setupFile, baseDir, &cmdline, mayAsk);
}

void keInstallSetup() { keShellHooks().setup = &keSetupStep; }

}  // namespace kolm
