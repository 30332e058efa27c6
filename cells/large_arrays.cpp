#include "cells/large_arrays.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>

void adviseHugePages(void* data, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
    // Only whole huge pages inside the block can be advised.
    constexpr std::uintptr_t kHugePage = std::uintptr_t{1} << 21;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t last = (start + bytes) & ~(kHugePage - 1);
    if (last > first) {
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
#else
    (void)data;
    (void)bytes;
#endif
}

void keepFreedMemory() {
#ifdef M_MMAP_THRESHOLD
    constexpr int kLargestKept = 1 << 30;
    mallopt(M_MMAP_THRESHOLD, kLargestKept);
    mallopt(M_TRIM_THRESHOLD, kLargestKept);
#endif
}
