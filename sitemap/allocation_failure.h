#pragma once

// Memory running out on demand, so that tests can reach what the program
// does then without exhausting the machine. The raster planes and the large
// arrays of the drawings' preparation ask before they are allocated.

// The next `succeeding` large allocations succeed and the one after fails,
// once; a negative count fails none.
void failLargeAllocationAfter(int succeeding);

// Whether the large allocation about to be made is to fail. Safe on any thread.
bool largeAllocationFails();
