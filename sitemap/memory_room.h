#pragma once

#include <sys/mman.h>

#include <atomic>
#include <cstddef>

// Memory the program leaves free: sites and the drawings' large arrays stop
// short of it, as the window, the GL driver and a save need memory to go on
// (a software driver that finds none ends the program).
constexpr std::size_t kMemoryHeadroom = std::size_t{64} << 20;

// For memory running out on demand (below): how many more looks find room.
inline std::atomic<int> looksBeforeNoRoom{-1};

// Memory running out on demand, so that tests can reach what the program
// does then without exhausting the machine: the next `succeeding` calls of
// roomFor find room and the one after does not, once; a negative count
// ends that.
inline void failLargeAllocationAfter(int succeeding) {
    looksBeforeNoRoom = succeeding;
}

// Whether `bytes` more can be had with kMemoryHeadroom still free after
// them. Asked before the raster planes, the large arrays of the drawings'
// preparation and, now and then, a site. Safe on any thread.
inline bool roomFor(std::size_t bytes) {
    int left = looksBeforeNoRoom.load();
    while (left >= 0 && !looksBeforeNoRoom.compare_exchange_weak(left, left - 1)) {
    }
    if (left == 0) {
        return false;
    }
    // A mapping, not malloc: a malloc and free of one block may be optimised
    // away, and memory that malloc keeps for itself is the driver's too. The
    // mapping is never touched, so it costs no memory itself.
    const std::size_t wanted = bytes + kMemoryHeadroom;
    void* room = mmap(nullptr, wanted, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (room == MAP_FAILED) {
        return false;
    }
    munmap(room, wanted);
    return true;
}
