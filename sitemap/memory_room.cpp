#include "sitemap/memory_room.h"

#include <sys/mman.h>

#include <atomic>

namespace {

std::atomic<int> allocationsBeforeFailure{-1};

bool failureDue() {
    int left = allocationsBeforeFailure.load();
    while (left >= 0 && !allocationsBeforeFailure.compare_exchange_weak(left, left - 1)) {
    }
    return left == 0;
}

}  // namespace

bool roomFor(std::size_t bytes) {
    if (failureDue()) {
        return false;
    }
    // A mapping, not malloc: a malloc and free of one block may be optimised
    // away. The mapping is never touched, so it costs no memory itself.
    const std::size_t wanted = bytes + kMemoryHeadroom;
    void* room = mmap(nullptr, wanted, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (room == MAP_FAILED) {
        return false;
    }
    munmap(room, wanted);
    return true;
}

void failLargeAllocationAfter(int succeeding) {
    allocationsBeforeFailure = succeeding;
}
