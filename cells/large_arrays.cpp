#include "cells/large_arrays.h"

#include <malloc.h>
#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <system_error>
#include <thread>

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
#ifdef M_ARENA_MAX
    mallopt(M_ARENA_MAX, 1);
#endif
}

namespace {

// Its own thread rather than one of the pool's, which a preparation may
// want meanwhile. Stopped and joined at exit.
class HeapWarmer {
public:
    ~HeapWarmer() {
        stop = true;
        if (thread.joinable()) {
            thread.join();
        }
    }
    void start(std::size_t bytes) {
        if (thread.joinable() || bytes == 0 || !roomFor(bytes)) {
            return;
        }
        try {
            thread = std::thread([this, bytes] { warm(bytes); });
        } catch (const std::system_error&) {
            // Without a thread the memory is faulted in as it is first used.
        }
    }

private:
    void warm(std::size_t bytes) {
#ifdef SCHED_IDLE
        const sched_param idle{};
        pthread_setschedparam(pthread_self(), SCHED_IDLE, &idle);
#endif
        void* block = std::malloc(bytes);
        if (!block) {
            return;
        }
        adviseHugePages(block, bytes);
        // Volatile: stores to a block that is freed unread may be left out.
        volatile char* const bytesOf = static_cast<char*>(block);
        constexpr std::size_t kPage = 4096;
        for (std::size_t offset = 0; offset < bytes && !stop; offset += kPage) {
            bytesOf[offset] = 0;
        }
        std::free(block);
    }

    std::atomic<bool> stop{false};
    std::thread thread;
};

}  // namespace

void warmHeap(std::size_t bytes) {
    static HeapWarmer warmer;
    warmer.start(bytes);
}
