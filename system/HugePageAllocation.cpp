// The program's operator new and delete: the C library's malloc and free, with large
// blocks advised to the kernel as wanting huge pages (2 MiB instead of 4 KiB).
//
// A refinement fills arrays of hundreds of megabytes, and on systems whose
// transparent huge pages are set to "madvise" (Debian's default) each 4 KiB page costs
// one page fault the first time it is touched: with the memory of a virtual machine
// that took as long as the refinement's own arithmetic. Advised blocks fault once per
// 2 MiB and need far fewer TLB entries. Only the advice changes: the memory, its
// contents and its release are malloc's. Linked into the Faceloom program only, not
// into the library, so tests and sanitizer builds keep the usual operators.

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
// Smaller blocks can't hold an aligned huge page, or are too short-lived to gain.
constexpr std::size_t kAdviseFrom = std::size_t{4} << 20;

void* allocate(std::size_t size) noexcept {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block != nullptr && size >= kAdviseFrom) {
        // The whole huge pages inside the block; advice only, so failure is harmless.
        const auto begin = reinterpret_cast<std::uintptr_t>(block);
        const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
        const std::uintptr_t last = (begin + size) & ~(kHugePage - 1);
        if (last > first) {
            ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
        }
    }
    return block;
}

void* allocateOrThrow(std::size_t size) {
    void* block = allocate(size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

}  // namespace

void* operator new(std::size_t size) {
    return allocateOrThrow(size);
}
void* operator new[](std::size_t size) {
    return allocateOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete[](void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}
