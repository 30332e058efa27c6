#include "sitemap/allocation_failure.h"

#include <atomic>

namespace {

std::atomic<int> allocationsBeforeFailure{-1};

}  // namespace

void failLargeAllocationAfter(int succeeding) {
    allocationsBeforeFailure = succeeding;
}

bool largeAllocationFails() {
    int left = allocationsBeforeFailure.load();
    while (left >= 0 && !allocationsBeforeFailure.compare_exchange_weak(left, left - 1)) {
    }
    return left == 0;
}
