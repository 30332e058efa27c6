#include <cstdlib>
#include <iostream>

#include "sitemap/height_map.h"
#include "sitemap/memory_room.h"
#include "sitemap/redisplay.h"

namespace {

// The headroom is looked for every so many sites: a look reads a few small files.
constexpr int kSitesBetweenLooks = 4096;

// Puts a new site at the head of the list; null when memory ran out, or
// would leave less than the headroom free.
Site* prependSite(HeightMap& map) {
    const bool roomy = map.siteCount % kSitesBetweenLooks != 0 || roomFor(0);
    Site* site = roomy ? static_cast<Site*>(std::malloc(sizeof(Site))) : nullptr;
    if (!site) {
        std::cout << "Could not allocate memory for a site, extraction stopped" << std::endl;
        return nullptr;
    }
    site->next = map.sites;
    return site;
}

void pushSite(HeightMap& map, Site* site) {
    map.sites = site;
    ++map.siteCount;
}

void printPixel(int column, int row) {
    std::cout << "point found at x:" << column << ", y: " << row << std::endl;
}

}  // namespace

void HeightMap::extractBinary(int targetValue, int stride) {
    if (stride <= 0) {
        stride = 1;
    }
    if (heights) {
        for (int x = stride; x < size; x += stride) {
            for (int y = stride; y < size; y += stride) {
                if (heights[y * size + x] != targetValue) {
                    continue;
                }
                Site* site = prependSite(*this);
                if (!site) {
                    requestRedisplay();
                    return;
                }
                site->x = x;
                site->y = y;
                printPixel(x, y);
                // Modulo 255: a component never reaches 255.
                site->r = static_cast<unsigned char>(std::rand() % 255);
                site->g = static_cast<unsigned char>(std::rand() % 255);
                site->b = static_cast<unsigned char>(std::rand() % 255);
                pushSite(*this, site);
            }
        }
    }
    requestRedisplay();
}

void HeightMap::extractRange(int low, int high) {
    if (heights) {
        for (int x = 0; x < size; ++x) {
            for (int y = 0; y < size; ++y) {
                const int sample = heights[y * size + x];
                if (sample <= low || sample > high) {
                    continue;
                }
                printPixel(x, y);
                Site* site = prependSite(*this);
                if (!site) {
                    requestRedisplay();
                    return;
                }
                // Mirrored in both axes, so positions run from 1 to size.
                site->x = size - x;
                site->y = size - y;
                std::cout << "point->x: " << site->x << std::endl;
                std::cout << "point->y: " << site->y << std::endl;
                site->r = static_cast<unsigned char>(std::rand() % 256);
                site->g = static_cast<unsigned char>(std::rand() % 256);
                site->b = static_cast<unsigned char>(std::rand() % 256);
                pushSite(*this, site);
            }
        }
    }
    requestRedisplay();
}
