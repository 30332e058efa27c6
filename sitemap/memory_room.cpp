#include "sitemap/memory_room.h"

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <fstream>
#include <mutex>
#include <string>

#include "sitemap/memory_room_testing.h"

namespace {

constexpr unsigned long long kUnlimited = ULLONG_MAX;

std::atomic<int> looksBeforeNoRoom{-1};
std::mutex sourcesMutex;

// Never destroyed: a worker thread may look while the process ends.
MemorySources& sources() {
    static auto* const current = new MemorySources();
    return *current;
}

// The number the file starts with; kUnlimited where it holds none (cgroup
// version 2 writes "max") or is missing.
unsigned long long numberIn(const std::string& path) {
    std::ifstream file(path);
    unsigned long long number = 0;
    return file >> number ? number : kUnlimited;
}

// MemAvailable, in bytes; kUnlimited where the file does not say.
unsigned long long availableMemory(const std::string& meminfo) {
    std::ifstream file(meminfo);
    std::string key;
    unsigned long long kilobytes = 0;
    while (file >> key) {
        if (key == "MemAvailable:" && file >> kilobytes) {
            return kilobytes << 10;
        }
        file.ignore(LLONG_MAX, '\n');
    }
    return kUnlimited;
}

// The least room below a limit, from the cgroup at `path` (under `root`)
// up to the hierarchy's root: a limit on an ancestor holds its children too.
unsigned long long roomUpFrom(const std::string& root, std::string path, const char* limitFile,
                              const char* usageFile) {
    unsigned long long room = kUnlimited;
    for (;;) {
        const std::string folder = root + (path == "/" ? "" : path) + "/";
        const unsigned long long limit = numberIn(folder + limitFile);
        if (limit != kUnlimited) {
            const unsigned long long usage = numberIn(folder + usageFile);
            const unsigned long long left =
                usage == kUnlimited || usage > limit ? 0 : limit - usage;
            room = std::min(room, left);
        }
        const std::size_t slash = path.find_last_of('/');
        if (path.empty() || path == "/" || slash == std::string::npos) {
            return room;
        }
        path = slash == 0 ? "/" : path.substr(0, slash);
    }
}

// What the process's memory cgroups leave, from the lines
// "id:controllers:path" of ownCgroup: "0::path" for version 2, a list of
// controllers holding "memory" for version 1.
unsigned long long cgroupRoom(const MemorySources& from) {
    std::ifstream list(from.ownCgroup);
    unsigned long long room = kUnlimited;
    std::string line;
    while (std::getline(list, line)) {
        const std::size_t first = line.find(':');
        const std::size_t second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos) {
            continue;
        }
        const std::string controllers = "," + line.substr(first + 1, second - first - 1) + ",";
        const std::string path = line.substr(second + 1);
        if (controllers == ",," && line.compare(0, first, "0") == 0) {
            room =
                std::min(room, roomUpFrom(from.cgroupRoot, path, "memory.max", "memory.current"));
        } else if (controllers.find(",memory,") != std::string::npos) {
            room = std::min(room, roomUpFrom(from.cgroupRoot + "/memory", path,
                                             "memory.limit_in_bytes", "memory.usage_in_bytes"));
        }
    }
    return room;
}

// Whether the address space takes `bytes` more. A mapping, not malloc: a
// malloc and free of one block may be optimised away, and memory that
// malloc keeps for itself is the driver's too. The mapping is never
// touched, so it costs no memory itself.
bool addressSpaceFor(std::size_t bytes) {
    void* room = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (room == MAP_FAILED) {
        return false;
    }
    munmap(room, bytes);
    return true;
}

}  // namespace

bool roomFor(std::size_t bytes) {
    int left = looksBeforeNoRoom.load();
    while (left >= 0 && !looksBeforeNoRoom.compare_exchange_weak(left, left - 1)) {
    }
    if (left == 0) {
        return false;
    }
    const std::size_t wanted = bytes + kMemoryHeadroom;
    if (!addressSpaceFor(wanted)) {
        return false;
    }
    MemorySources from;
    {
        const std::lock_guard<std::mutex> lock(sourcesMutex);
        from = sources();
    }
    return wanted <= availableMemory(from.meminfo) && wanted <= cgroupRoom(from);
}

void failLargeAllocationAfter(int succeeding) {
    looksBeforeNoRoom = succeeding;
}

void useMemorySources(const MemorySources& replacement) {
    const std::lock_guard<std::mutex> lock(sourcesMutex);
    sources() = replacement;
}
