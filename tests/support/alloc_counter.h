// Counts every allocation of the program that includes this header, so that a test or a
// benchmark can tell that a stretch of code allocated nothing: read gAllocations before and
// after. It replaces every replaceable global operator new and delete (plain, array, nothrow,
// aligned), all on malloc and free, so that whatever one form allocates another frees without a
// mismatch (sanitizers pair them). Include it in exactly one source file of a program.
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

inline std::atomic<long> gAllocations{0};

namespace kolmtest_alloc {

inline void* allocate(std::size_t n) noexcept {
    ++gAllocations;
    return std::malloc(n ? n : 1);
}

// aligned_alloc wants a size that is a multiple of the alignment (a power of two).
inline void* allocateAligned(std::size_t n, std::align_val_t a) noexcept {
    ++gAllocations;
    std::size_t align = static_cast<std::size_t>(a);
    if (align < sizeof(void*)) align = sizeof(void*);
    const std::size_t size = n ? n : 1;
    const std::size_t rounded = (size + align - 1) / align * align;
    if (rounded < size) return nullptr;
    return std::aligned_alloc(align, rounded);
}

inline void* orThrow(void* p) {
    if (!p) throw std::bad_alloc();
    return p;
}

}  // namespace kolmtest_alloc

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) { return kolmtest_alloc::orThrow(kolmtest_alloc::allocate(n)); }
void* operator new[](std::size_t n) { return kolmtest_alloc::orThrow(kolmtest_alloc::allocate(n)); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return kolmtest_alloc::allocate(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return kolmtest_alloc::allocate(n); }
void* operator new(std::size_t n, std::align_val_t a) {
    return kolmtest_alloc::orThrow(kolmtest_alloc::allocateAligned(n, a));
}
void* operator new[](std::size_t n, std::align_val_t a) {
    return kolmtest_alloc::orThrow(kolmtest_alloc::allocateAligned(n, a));
}
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    return kolmtest_alloc::allocateAligned(n, a);
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    return kolmtest_alloc::allocateAligned(n, a);
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
#pragma GCC diagnostic pop
