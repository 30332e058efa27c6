#include "outline/tile_groups.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "cells/thread_sharing.h"

namespace {

constexpr int kThreads = 2;
constexpr int kTileShift = TilePyramid::kTileShift;
// Pixels beyond a cone's reach that the ring takes in too: its edges'
// ends move by up to a pixel, and the walks take a pixel more.
constexpr double kRingSlack = 3.0;
constexpr std::int32_t kOutsideRun = 1024;

}  // namespace

void TileGroups::group(const ApexLayout& apexes, const TilePyramid& tiles) {
    // As wide as a cone reaches, but no wider than the apexes stand outside
    // the window's tiles: a wider ring costs every band a pass over its
    // empty groups.
    const double farthestOutside =
        std::max({0.0f, -apexes.left, apexes.right - (tiles.tilesX() << kTileShift), -apexes.top,
                  apexes.bottom - (tiles.tilesY() << kTileShift)});
    const double reach = std::min(apexes.rimReach + kRingSlack, farthestOutside);
    ringTiles = static_cast<int>(std::clamp(std::ceil(reach / TilePyramid::kTileSide), 0.0,
                                            static_cast<double>(kMostRingTiles)));
    columns = tiles.tilesX() + 2 * ringTiles;
    rows = tiles.tilesY() + 2 * ringTiles;
    const std::size_t outside = static_cast<std::size_t>(columns) * rows;
    const double ring = ringTiles << kTileShift;
    bucketSites(
        apexes.x.size(), outside + 1,
        [&](std::size_t site) {
            const double x = static_cast<double>(apexes.x[site]) + ring;
            const double y = static_cast<double>(apexes.y[site]) + ring;
            if (!(x >= 0.0 && x < (columns << kTileShift) && y >= 0.0 &&
                  y < (rows << kTileShift))) {
                return outside;
            }
            return (static_cast<std::size_t>(y) >> kTileShift) * columns +
                   (static_cast<std::size_t>(x) >> kTileShift);
        },
        kThreads, start, sites);
    splitCrowdedGroups(apexes);
    // The sites far outside in runs of their own, for the threads to share.
    outsideFirst = outside;
    const std::int32_t end = start.back();
    start.pop_back();
    for (std::int32_t run = start.back() + kOutsideRun; run < end; run += kOutsideRun) {
        start.push_back(run);
        split.push_back(kNotSplit);
    }
    start.push_back(end);
    steadyRays.assign(start.size() - 1, kUnknownRays);
    const auto first = static_cast<std::size_t>(start[outside]);
    const double right = tiles.tilesX() << kTileShift;
    const double bottom = tiles.tilesY() << kTileShift;
    outsideBy.resize(sites.size() - first);
    for (std::size_t place = first; place < sites.size(); ++place) {
        const auto site = static_cast<std::size_t>(sites[place]);
        const double x = apexes.x[site];
        const double y = apexes.y[site];
        const double by = std::max({-x, x - right, -y, y - bottom});
        float stored = static_cast<float>(by);
        if (stored > by) {
            stored = std::nextafter(stored, -std::numeric_limits<float>::infinity());
        }
        outsideBy[place - first] = stored;
    }
}

void TileGroups::splitCrowdedGroups(const ApexLayout& apexes) {
    constexpr int kPixelMask = TilePyramid::kTileSide - 1;
    const double ring = ringTiles << kTileShift;
    const auto pixelOf = [&apexes, ring](std::int32_t site) {
        const auto index = static_cast<std::size_t>(site);
        const auto x = static_cast<int>(static_cast<double>(apexes.x[index]) + ring);
        const auto y = static_cast<int>(static_cast<double>(apexes.y[index]) + ring);
        return ((y & kPixelMask) << kTileShift) + (x & kPixelMask);
    };
    // The sites far outside the window are never split.
    splitBuckets<kTilePixels>(start, start.size() - 2, static_cast<std::int32_t>(kSplitGroup),
                              pixelOf, kThreads, sites, split, pixelStart);
    split.push_back(kNotSplit);
    pixelSteadyRays.assign(pixelStart.size() / (kTilePixels + 1) * kTilePixels, kUnknownRays);
}
