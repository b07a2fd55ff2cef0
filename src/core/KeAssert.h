// Programmer errors: conditions that only a fault in the engine's own code can break (never bad
// content, scripts or files: those go to the error reporter and take their fallback).
// KE_ASSERT is checked in debug and test builds (no NDEBUG, or KOLM_ASSERTS defined) and ends
// the process with the condition and its place; in release builds it costs nothing.
#pragma once

namespace kolm {
[[noreturn]] void keAssertFailed(const char* condition, const char* file, int line, const char* function);
}  // namespace kolm

#if !defined(NDEBUG) || defined(KOLM_ASSERTS)
#define KE_ASSERT(condition) \
    ((condition) ? static_cast<void>(0) : ::kolm::keAssertFailed(#condition, __FILE__, __LINE__, __func__))
#else
#define KE_ASSERT(condition) static_cast<void>(sizeof(!(condition)))
#endif
