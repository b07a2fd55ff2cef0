#include "core/KeAssert.h"

#include <cstdio>
#include <cstdlib>

namespace kolm {

void keAssertFailed(const char* condition, const char* file, int line, const char* function) {
    std::fprintf(stderr, "%s:%d: %s: assertion failed: %s\n", file, line, function, condition);
    std::fflush(stderr);
    std::abort();
}

}  // namespace kolm
