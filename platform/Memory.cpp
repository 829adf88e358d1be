#include "Memory.h"

#include <cstdlib>
#include <new>
#include <sys/mman.h>

namespace platform {

void* allocateLargeBlock(std::size_t bytes)
{
    // Aligned on a huge page, and marked for huge pages, which the system gives on request only.
    constexpr std::size_t huge = std::size_t(2) << 20;
    const std::size_t rounded = (bytes + huge - 1) / huge * huge;
    void* block = std::aligned_alloc(huge, rounded);
    if (!block) throw std::bad_alloc();
    madvise(block, rounded, MADV_HUGEPAGE);  // a hint: without it the block is used all the same
    return block;
}

void freeLargeBlock(void* block) { std::free(block); }

}  // namespace platform
