#include "platform/KeDisplayModes.h"

namespace kolm {

bool CKeDisplayModesNull::query(KeDisplayModeQuery* out) {
    *out = answer_;
    return true;
}

}  // namespace kolm
