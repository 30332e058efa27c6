#include "sitemap/height_map.h"

#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <new>

#include "sitemap/memory_room.h"

namespace {

// Each plane holds 2 * edge * edge bytes and is indexed with int arithmetic,
// so the largest usable edge keeps that product within an int.
bool isUsableEdge(int edge) {
    return edge >= 1 && static_cast<long long>(edge) * edge * 2 <= INT_MAX;
}

bool isDirectory(std::FILE* file) {
    struct stat info {};
    return fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode);
}

// Zero-initialised, so samples that a short file does not supply read as 0;
// null when memory runs out, or would leave less than the headroom free.
unsigned char* newPlane(std::size_t bytes) {
    return roomFor(bytes) ? new (std::nothrow) unsigned char[bytes]() : nullptr;
}

}  // namespace

HeightMap::HeightMap()
    : size(0),
      siteCount(0),
      sites(nullptr),
      heights(nullptr),
      targetX(nullptr),
      targetY(nullptr),
      loadedSize(0) {
    resetSites();
}

HeightMap::~HeightMap() {
    release();
    resetSites();
}

bool HeightMap::loadRaw(const char* path, int edge) {
    if (!isUsableEdge(edge)) {
        std::cout << "Invalid RAW height data edge: " << edge << std::endl;
        return false;
    }
    std::FILE* file = std::fopen(path, "rb");
    if (file && isDirectory(file)) {
        std::fclose(file);
        file = nullptr;
    }
    if (!file) {
        release();
        std::cout << "Could not open RAW height data file" << std::endl;
        return false;
    }

    // The new planes come before the old ones go, so a raster that cannot
    // be held leaves the one loaded before.
    const std::size_t planeBytes = static_cast<std::size_t>(edge) * edge * 2;
    unsigned char* planes[3] = {newPlane(planeBytes), nullptr, nullptr};
    planes[1] = planes[0] ? newPlane(planeBytes) : nullptr;
    planes[2] = planes[1] ? newPlane(planeBytes) : nullptr;
    if (!planes[2]) {
        delete[] planes[0];
        delete[] planes[1];
        std::cout << "Could not allocate memory for RAW height data file" << std::endl;
        std::fclose(file);
        return false;
    }
    release();
    heights = planes[0];
    targetX = planes[1];
    targetY = planes[2];

    std::cout << "RAW file loaded" << std::endl;
    std::cout << "Press 1 to extract binary color range data" << std::endl;
    std::cout << "Press 2 to extract color data in the given minimum and maximum range"
              << std::endl;

    const std::size_t expectedBytes = static_cast<std::size_t>(edge) * edge;
    const std::size_t bytesRead = std::fread(heights, 1, expectedBytes, file);
    std::fclose(file);
    if (bytesRead < expectedBytes) {
        std::cout << "RAW height data file is short: read " << bytesRead << " of " << expectedBytes
                  << " bytes, the rest is 0" << std::endl;
    }

    loadedSize = edge;
    size = loadedSize;
    return true;
}

bool HeightMap::release() {
    if (heights) {
        delete[] heights;
        delete[] targetX;
        delete[] targetY;
        heights = targetX = targetY = nullptr;
        loadedSize = 0;
    }
    return true;
}

void HeightMap::resetSites() {
    // Low 32 bits of the calendar time: two maps built within the same second
    // give the same colours.
    std::srand(static_cast<unsigned int>(std::time(nullptr) & 0xFFFFFFFF));
    while (sites) {
        Site* head = sites;
        sites = head->next;
        std::free(head);
    }
}
