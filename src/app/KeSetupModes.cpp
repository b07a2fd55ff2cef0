#include "app/KeSetupModes.h"

#include <algorithm>
#include <cstdio>

namespace kolm {
namespace {

bool sameSize(const KeDisplayMode& m, int w, int h, int bpp) { return m.width == w && m.height == h && m.bpp == bpp; }

int indexOf(const std::vector<KeDisplayMode>& modes, int w, int h, int bpp) {
    for (size_t i = 0; i < modes.size(); ++i) {
        if (sameSize(modes[i], w, h, bpp)) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

KeSetupModeList keBuildSetupModeList(const KeDisplayModeQuery& query) {
    KeSetupModeList list;
    for (const KeDisplayMode& m : query.modes) {
        if (static_cast<int>(list.modes.size()) >= KE_SETUP_MAX_MODES) break;
        if (m.bpp < 32) continue;
        if (indexOf(list.modes, m.width, m.height, m.bpp) >= 0) continue;
        list.modes.push_back(m);
    }
    std::sort(list.modes.begin(), list.modes.end(), [](const KeDisplayMode& a, const KeDisplayMode& b) {
        if (a.width != b.width) return a.width < b.width;
        if (a.height != b.height) return a.height < b.height;
        if (a.bpp != b.bpp) return a.bpp < b.bpp;
        return a.refresh < b.refresh;
    });
    for (const KeDisplayMode& m : list.modes) {
        char line[64];
        std::snprintf(line, sizeof line, "%4d x %4d%s", m.width, m.height,
                      sameSize(m, 1280, 720, 32) ? " (recommended)" : "");
        list.lines.push_back(line);
    }
    list.selected = indexOf(list.modes, 1280, 720, 32);
    if (list.selected < 0 && query.hasDesktop) {
        list.selected = indexOf(list.modes, query.desktop.width, query.desktop.height, query.desktop.bpp);
    }
    if (list.selected < 0) list.selected = indexOf(list.modes, 1920, 1080, 32);
    return list;
}

}  // namespace kolm
