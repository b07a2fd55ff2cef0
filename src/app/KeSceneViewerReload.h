// When the scene viewer reloads a watched scene file. An exporter may write the file in place
// over a while, or write a temporary file and rename it over the scene: the viewer reloads only
// once the file has stayed the same (size, write time, inode) for a settling time after the
// last change it saw, so that a half-written file is never loaded and one save reloads once.
#pragma once

#include "platform/KeFileStamp.h"

#include <cstdint>

namespace kolm {

constexpr int64_t KE_VIEWER_RELOAD_SETTLE_MS = 250;

class KeViewerReloadGate {
public:
    explicit KeViewerReloadGate(int64_t settleMs = KE_VIEWER_RELOAD_SETTLE_MS) : m_settleMs(settleMs) {}

    // Once per frame: `changed` is whether the watch reported a change since the last poll,
    // `stamp` the file's stamp now, `nowMs` a monotonic clock. True when a change has settled
    // (the file exists and its stamp stayed the same for the settling time): reload now.
    bool poll(bool changed, const KeFileStamp& stamp, int64_t nowMs);
    // Whether a change waits to settle.
    bool pending() const { return m_pending; }

private:
    int64_t m_settleMs;
    bool m_pending = false;
    KeFileStamp m_stamp;
    int64_t m_since = 0;
};

}  // namespace kolm
