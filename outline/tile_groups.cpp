#include "outline/tile_groups.h"

#include "cells/thread_sharing.h"

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
    constexpr int kPixelMask = TilePyramid::kTileSide - 1;
    const auto pixelOf = [&apexes](std::int32_t site) {
        const auto index = static_cast<std::size_t>(site);
        return ((static_cast<int>(apexes.y[index]) & kPixelMask) << kTileShift) +
               (static_cast<int>(apexes.x[index]) & kPixelMask);
    };
    // The sites outside the window are never split.
    splitBuckets<kTilePixels>(start, start.size() - 2, static_cast<std::int32_t>(kSplitGroup),
                              pixelOf, kThreads, sites, split, pixelStart);
    split.push_back(kNotSplit);
    pixelSteadyRays.assign(pixelStart.size() / (kTilePixels + 1) * kTilePixels, kUnknownRays);
}
