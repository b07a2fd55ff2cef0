#include "app/KeSceneViewerReload.h"

namespace kolm {

bool KeViewerReloadGate::poll(bool changed, const KeFileStamp& stamp, int64_t nowMs) {
    if (changed && !m_pending) {
        m_pending = true;
        m_stamp = stamp;
        m_since = nowMs;
        return false;
    }
    if (!m_pending) return false;
    if (changed || !keSameFileStamp(stamp, m_stamp)) {  // still being written: wait again
        m_stamp = stamp;
        m_since = nowMs;
        return false;
    }
    if (!stamp.exists || nowMs - m_since < m_settleMs) return false;
    m_pending = false;
    return true;
}

}  // namespace kolm
