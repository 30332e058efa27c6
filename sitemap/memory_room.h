#pragma once

#include <cstddef>
#include <string>

// Memory the program leaves free: sites and the drawings' large arrays stop
// short of it, as the window, the GL driver and a save need memory to go on
// (a software driver that finds none ends the program).
constexpr std::size_t kMemoryHeadroom = std::size_t{64} << 20;

// Where the memory that is really available is read: the system's estimate
// of what it can give without swapping, and the memory cgroup the process
// runs in (version 2, or version 1's memory hierarchy) with its ancestors.
struct MemorySources {
    std::string meminfo = "/proc/meminfo";
    std::string ownCgroup = "/proc/self/cgroup";
    std::string cgroupRoot = "/sys/fs/cgroup";
};

// Whether `bytes` more can be had with kMemoryHeadroom still free after
// them: in the address space (which `ulimit -v` caps), in what the system
// has available (MemAvailable; a mapping alone succeeds far beyond it under
// overcommit) and under the limit of the memory cgroup and of each of its
// ancestors, where one is set. Asked before the raster planes, the large
// arrays of the drawings' preparation and every few thousand sites: a look
// reads a few small files. Safe on any thread.
bool roomFor(std::size_t bytes);
