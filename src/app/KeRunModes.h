// Installs the run modes and services that this build has into the shell's hooks.
#pragma once

namespace kolm {

void keInstallRunModes();

}  // namespace kolm
