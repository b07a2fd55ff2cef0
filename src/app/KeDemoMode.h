// The demo run modes of the shell: playing a ".demo.ini" in real time, capturing it into
// numbered frames (with "-capfrom", "-capto" and "-capwav"), and a private X server for a
// capture on a machine without a display.
#pragma once

namespace kolm {

// Installs the demo hooks into the shell's hooks (after the setup hook is installed).
void keInstallDemoMode();

}  // namespace kolm
