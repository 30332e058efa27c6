#pragma once

#include "sitemap/memory_room.h"

// For tests, to reach what the program does when memory runs out without
// exhausting the machine.

// The next `succeeding` calls of roomFor find room and the one after does
// not, once; a negative count ends that.
void failLargeAllocationAfter(int succeeding);

// roomFor reads these from now on; MemorySources{} brings the real ones back.
void useMemorySources(const MemorySources& sources);
