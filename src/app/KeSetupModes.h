// The display-mode list of the setup dialog: which modes are offered, in which order, and
// which one is preselected.
#pragma once

#include "platform/KeDisplayModes.h"

#include <string>
#include <vector>

namespace kolm {

constexpr int KE_SETUP_MAX_MODES = 200;

struct KeSetupModeList {
    std::vector<KeDisplayMode> modes;  // sorted by width, height, depth, refresh
    std::vector<std::string> lines;    // "%4d x %4d", " (recommended)" on 1280 x 720 x 32
    int selected = -1;                 // preselection, -1: none
};

// Keeps modes of 32 bits or more, drops a mode whose width, height and depth were already met
// (the first refresh rate wins), keeps at most 200, sorts them and preselects the recommended
// mode, else the desktop's mode, else 1920 x 1080 x 32, else nothing.
KeSetupModeList keBuildSetupModeList(const KeDisplayModeQuery& query);

}  // namespace kolm
