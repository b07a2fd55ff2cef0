// Setup files as users write them: any bytes as "kolm-setup.ini", settled without a dialog.
// iniparser complains on standard error; run with -close_fd_mask=2 to keep the output short.
#include "app/KeSetup.h"
#include "core/KeError.h"
#include "files/KeFileSystem.h"

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void prepare() {
    char tmpl[] = "/tmp/kolm-fuzz-setup-XXXXXX";
    if (!::mkdtemp(tmpl) || ::chdir(tmpl) != 0) std::abort();
    kolm::keSetLogSink([](const char*, void*) {}, nullptr);
    kolm::keSetMessageBoxHandler([](const char*, void*) {}, nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = (prepare(), true);
    (void)ready;
    FILE* f = std::fopen("kolm-setup.ini", "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    kolm::EngineSetup setup;
    if (kolm::keSettleSetup("kolm-setup.ini", nullptr, nullptr, false, &setup) != 0) std::abort();
    // The settled record is always usable: a positive size or none, a proper camera range.
    if (setup.width == 0 || setup.width < -1 || setup.height == 0 || setup.height < -1) std::abort();
    if (!(setup.cameraNear > 0.0f && setup.cameraNear < setup.cameraFar && std::isfinite(setup.cameraFar))) std::abort();
    return 0;
}
