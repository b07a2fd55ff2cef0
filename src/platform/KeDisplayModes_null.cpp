#include "platform/KeDisplayModes.h"

namespace kolm {

bool CKeDisplayModesNull::query(KeDisplayModeQuery* out) {
    *out = m_answer;
    return true;
}

}  // namespace kolm
