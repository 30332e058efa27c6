#pragma once

#include <cstddef>

// Memory the program leaves free: sites and the drawings' large arrays stop
// short of it, as the window, the GL driver and a save need memory to go on
// (a software driver that finds none ends the program).
constexpr std::size_t kMemoryHeadroom = std::size_t{64} << 20;

// Whether `bytes` more can be had with kMemoryHeadroom still free after
// them. Asked before the raster planes, the large arrays of the drawings'
// preparation and, now and then, a site.
bool roomFor(std::size_t bytes);

// Memory running out on demand, so that tests can reach what the program
// does then without exhausting the machine: the next `succeeding` calls of
// roomFor find room and the one after does not, once; a negative count
// ends that.
void failLargeAllocationAfter(int succeeding);
