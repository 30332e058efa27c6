#include "outline/tile_groups.h"

#include <algorithm>
#include <atomic>

#include "cells/thread_sharing.h"
#include "outline/bucketed_sites.h"

namespace {

constexpr int kThreads = 2;
constexpr int kTileShift = TilePyramid::kTileShift;

}  // namespace

void TileGroups::group(const ApexLayout& apexes, const TilePyramid& tiles, int width, int height) {
    const std::size_t outside = static_cast<std::size_t>(tiles.tilesX()) * tiles.tilesY();
    bucketSites(
        apexes.x.size(), outside + 1,
        [&](std::size_t site) {
            const float x = apexes.x[site];
            const float y = apexes.y[site];
            if (!(x >= 0.0f && x < width && y >= 0.0f && y < height)) {
                return outside;
            }
            return static_cast<std::size_t>(static_cast<int>(y) >> kTileShift) * tiles.tilesX() +
                   (static_cast<std::size_t>(x) >> kTileShift);
        },
        kThreads, start, sites);
    steadyRays.assign(start.size() - 1, kUnknownRays);
    splitCrowdedGroups(apexes);
}

void TileGroups::splitCrowdedGroups(const ApexLayout& apexes) {
    const std::size_t groupCount = start.size() - 1;
    const std::size_t outside = groupCount - 1;
    split.assign(groupCount, kNotSplit);
    std::vector<std::size_t> splitGroups;
    for (std::size_t group = 0; group < outside; ++group) {
        if (static_cast<std::size_t>(start[group + 1] - start[group]) >= kSplitGroup) {
            split[group] = static_cast<std::int32_t>(splitGroups.size());
            splitGroups.push_back(group);
        }
    }
    pixelStart.assign(splitGroups.size() * (kTilePixels + 1), 0);
    pixelSteadyRays.assign(splitGroups.size() * kTilePixels, kUnknownRays);
    // Each split group is sorted by pixel on its own, keeping site order
    // within a pixel.
    constexpr int kPixelMask = TilePyramid::kTileSide - 1;
    const auto pixelOf = [&apexes](std::int32_t site) {
        const auto index = static_cast<std::size_t>(site);
        return ((static_cast<int>(apexes.y[index]) & kPixelMask) << kTileShift) +
               (static_cast<int>(apexes.x[index]) & kPixelMask);
    };
    std::atomic<std::size_t> taken{0};
    onThreads(kThreads, [&](int) {
        std::vector<std::int32_t> unsorted;
        for (std::size_t next = taken++; next < splitGroups.size(); next = taken++) {
            const std::size_t group = splitGroups[next];
            const auto first = static_cast<std::size_t>(start[group]);
            const auto end = static_cast<std::size_t>(start[group + 1]);
            unsorted.assign(sites.begin() + first, sites.begin() + end);
            std::int32_t* pixels = &pixelStart[next * (kTilePixels + 1)];
            for (const std::int32_t site : unsorted) {
                ++pixels[pixelOf(site) + 1];
            }
            pixels[0] = static_cast<std::int32_t>(first);
            for (int pixel = 0; pixel < kTilePixels; ++pixel) {
                pixels[pixel + 1] += pixels[pixel];
            }
            // Each pixel's cursor runs from its start to the next pixel's.
            std::int32_t cursor[kTilePixels];
            std::copy(pixels, pixels + kTilePixels, cursor);
            for (const std::int32_t site : unsorted) {
                sites[static_cast<std::size_t>(cursor[pixelOf(site)]++)] = site;
            }
        }
    });
}
