#include "app/KeMain.h"

#include "core/KeError.h"

namespace kolm {

int keMain(int argc, char** argv) {
    (void)argc;
    (void)argv;
    reportError("Not implemented yet");
    return -1;
}

}  // namespace kolm
