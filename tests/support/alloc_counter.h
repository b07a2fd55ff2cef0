// Counts every allocation of the program that includes this header, so that a test or a
// benchmark can tell that a stretch of code allocated nothing: read gAllocations before and
// after. It replaces the global operator new and delete: include it in exactly one source file
// of a program.
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

inline std::atomic<long> gAllocations{0};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
    ++gAllocations;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop
