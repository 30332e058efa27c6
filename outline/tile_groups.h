#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "outline/apex_layout.h"
#include "outline/bucketed_sites.h"
#include "outline/tile_pyramid.h"

// The sites by the tile their apex lies in, those far outside the window in
// the last groups, from outsideFirst on: group g's sites are sites[start[g]]
// to sites[start[g + 1] - 1]. The tiles are the window's and a ring of as
// many more about it as a cone reaches across, or as the apexes stand
// outside if fewer (up to kMostRingTiles): a crowd standing just outside the
// window, as at negative zooms, is tested tile by tile as one inside is.
// A group of kSplitGroup sites or more, as a crowd makes at small zooms, is
// split: its sites are in order of the pixel of the tile their apex lies in,
// so that the bands and the rims can test its pixels one by one, and only
// those at the crowd's border keep edges that can show.
struct TileGroups {
    static constexpr std::size_t kSplitGroup = 256;
    static constexpr int kTilePixels = TilePyramid::kTileSide * TilePyramid::kTileSide;
    static constexpr std::int32_t kNotSplit = kUnsplitBucket;
    static constexpr int kMostRingTiles = 64;

    std::vector<std::int32_t> start;
    std::vector<std::int32_t> sites;
    // The first group of the sites far outside, which come in runs of their
    // own for the threads to share.
    std::size_t outsideFirst = 0;
    // For each group, its place among the split groups, or kNotSplit. Pixel p
    // (row by row) of split group s holds sites[pixelStart[s * (kTilePixels +
    // 1) + p]] up to sites[pixelStart[s * (kTilePixels + 1) + p + 1] - 1].
    std::vector<std::int32_t> split;
    std::vector<std::int32_t> pixelStart;
    // For each group, and each pixel of each split group, the rays steady at
    // every site of it (RayCover), worked out when a band first asks:
    // kUnknownRays until then.
    static constexpr std::uint64_t kUnknownRays = ~std::uint64_t{0};
    std::vector<std::uint64_t> steadyRays;
    std::vector<std::uint64_t> pixelSteadyRays;
    // For each site of the groups far outside, in their order, how far its
    // apex stands outside the window's tiles along either axis (rounded
    // down): a band passes over those beyond its reach without reading them.
    std::vector<float> outsideBy;

    void group(const ApexLayout& apexes, const TilePyramid& tiles);

    // The window pixel at the top left corner of group `group`, one of the
    // tiles'.
    double left(std::size_t group) const {
        return static_cast<double>(
            (static_cast<int>(group % static_cast<std::size_t>(columns)) - ringTiles) *
            TilePyramid::kTileSide);
    }
    double top(std::size_t group) const {
        return static_cast<double>(
            (static_cast<int>(group / static_cast<std::size_t>(columns)) - ringTiles) *
            TilePyramid::kTileSide);
    }
    // The pixels of the ring's tiles.
    double ringPixels() const {
        const double window = static_cast<double>(columns - 2 * ringTiles) * (rows - 2 * ringTiles);
        return (static_cast<double>(columns) * rows - window) * TilePyramid::kTileSide *
               TilePyramid::kTileSide;
    }

    // Where the sites of pixel `pixel` of split group `splitGroup` start and
    // end, and the rays steady at all of them.
    std::size_t pixelFirst(std::int32_t splitGroup, int pixel) const {
        return static_cast<std::size_t>(pixelStart[pixelIndex(splitGroup, pixel, 1)]);
    }
    std::size_t pixelEnd(std::int32_t splitGroup, int pixel) const {
        return static_cast<std::size_t>(pixelStart[pixelIndex(splitGroup, pixel, 1) + 1]);
    }
    std::uint64_t& pixelSteady(std::int32_t splitGroup, int pixel) {
        return pixelSteadyRays[pixelIndex(splitGroup, pixel, 0)];
    }

private:
    static std::size_t pixelIndex(std::int32_t splitGroup, int pixel, int extra) {
        return static_cast<std::size_t>(splitGroup) * (kTilePixels + extra) +
               static_cast<std::size_t>(pixel);
    }
    void splitCrowdedGroups(const ApexLayout& apexes);

    int ringTiles = 0;
    int columns = 1;
    int rows = 1;
};
