#include "outline/edge_walk.h"

#include <algorithm>
#include <cmath>

void EdgeWalk::walkRay(const OutlineEdgePixels& inward, const OutlineEdgePixels& outward,
                       bool twinned, float low, float high, int layer, EdgeProgress* inwardProgress,
                       EdgeProgress* outwardProgress) {
    if (twinned) {
        walk(inward, &outward, low, high, layer, inwardProgress);
        return;
    }
    if (inward.site >= 0) {
        walk(inward, nullptr, low, high, layer, inwardProgress);
    }
    if (outward.site >= 0) {
        walk(outward, nullptr, low, high, layer, outwardProgress);
    }
}

void EdgeWalk::walk(const OutlineEdgePixels& edge, const OutlineEdgePixels* twin, float low,
                    float high, int layer, EdgeProgress* progress) {
    const RasterLine& line = edge.line;
    const std::int64_t first = std::max<std::int64_t>(line.first, 0);
    const std::int64_t last = std::min<std::int64_t>(line.last, (line.xMajor ? width : height) - 1);
    if (last < first) {
        return;
    }
    // Depth grows away from the apex.
    const bool outwardUp = !(edge.depthPerPixel < 0.0);
    const std::int64_t from = progress != nullptr && progress->resumeLow == low
                                  ? progress->major
                                  : bandStart(edge, twin, low, first, last, outwardUp);
    std::int64_t major = 0;
    if (twin != nullptr) {
        major = outwardUp ? walkOutward<1, true>(edge, *twin, from, last, high, layer)
                          : walkOutward<-1, true>(edge, *twin, from, first, high, layer);
    } else {
        major = outwardUp ? walkOutward<1, false>(edge, edge, from, last, high, layer)
                          : walkOutward<-1, false>(edge, edge, from, first, high, layer);
    }
    if (progress != nullptr) {
        progress->major = static_cast<std::int32_t>(major);
        progress->resumeLow = high;
    }
}

std::int64_t EdgeWalk::bandStart(const OutlineEdgePixels& edge, const OutlineEdgePixels* twin,
                                 float low, std::int64_t first, std::int64_t last, bool outwardUp) {
    const auto deepEnough = [&](std::int64_t major) {
        float at = clampedDepth(edge.depthAt(major));
        if (twin != nullptr) {
            at = std::min(at, clampedDepth(twin->depthAt(major)));
        }
        return at >= low;
    };
    // From a pixel short of where the unrounded depth reaches `low`, to where
    // the rounded one does.
    const double reaches = edge.depthPerPixel != 0.0
                               ? edge.majorFrom - 0.5 + (low - edge.depthFrom) / edge.depthPerPixel
                               : edge.majorFrom;
    std::int64_t major = 0;
    if (outwardUp) {
        major = first;
        const double from = std::floor(reaches) - 1.0;
        if (edge.depthPerPixel != 0.0 && from > static_cast<double>(first)) {
            major = from > static_cast<double>(last) ? last : static_cast<std::int64_t>(from);
        }
        while (major > first && deepEnough(major - 1)) {
            --major;
        }
        while (major <= last && !deepEnough(major)) {
            ++major;
        }
    } else {
        major = last;
        const double from = std::ceil(reaches) + 1.0;
        if (from < static_cast<double>(last)) {
            major = from < static_cast<double>(first) ? first : static_cast<std::int64_t>(from);
        }
        while (major < last && deepEnough(major + 1)) {
            ++major;
        }
        while (major >= first && !deepEnough(major)) {
            --major;
        }
    }
    return major;
}

namespace {
// A thread's tile columns that walks could not pass, counted across walks:
// every this many, the tile is read again.
thread_local std::uint32_t openColumnsOfThread = 0;
constexpr std::uint32_t kOpenColumnsPerRescan = 64;
constexpr std::size_t kNoTile = ~std::size_t{0};
}  // namespace

template <int kDirection, bool kTwinned>
std::int64_t EdgeWalk::walkOutward(const OutlineEdgePixels& edge, const OutlineEdgePixels& twin,
                                   std::int64_t major, std::int64_t end, float high, int layer) {
    if (kDirection > 0 ? major > end : major < end) {
        return major;
    }
    const OutlineEdgePixels ours = edge;
    const OutlineEdgePixels other = twin;
    const RasterLine& line = ours.line;
    // Where the walk's depths all lie within the depth range, clamping them
    // changes nothing: the depths change monotonically along it.
    const auto unclamped = [](const OutlineEdgePixels& edge, std::int64_t from, std::int64_t to) {
        const double near = edge.depthAt(from);
        const double far = edge.depthAt(to);
        return near >= 0.0 && near <= 1.0 && far >= 0.0 && far <= 1.0;
    };
    const bool inRange = unclamped(ours, major, end) && (!kTwinned || unclamped(other, major, end));
    const auto received = [inRange](double depth) {
        return inRange ? static_cast<float>(depth) : clampedDepth(depth);
    };
    const auto depthAt = [&ours, &other, &received](std::int64_t at) {
        const float depth = received(ours.depthAt(at));
        if constexpr (kTwinned) {
            return std::min(depth, received(other.depthAt(at)));
        }
        return depth;
    };
    const bool xMajor = line.xMajor;
    const std::int64_t minorSize = xMajor ? height : width;
    const int tilesX = tiles.tilesX();
    const int tilesY = tiles.tilesY();
    const std::int64_t minorTileCount = xMajor ? tilesY : tilesX;
    const std::int64_t majorPixels = xMajor ? 1 : width;
    const std::int64_t minorPixels = xMajor ? width : 1;
    const std::int64_t majorTiles = xMajor ? 1 : tilesX;
    const std::int64_t minorTiles = xMajor ? tilesX : 1;
    // How the minor coordinate moves at most per step of the walk.
    const std::int64_t across = (line.highMinor >= line.lowMinor ? 1 : -1) * kDirection;
    // Copies the compiler can keep in registers: for all it knows, the
    // stores to pixels could change the vectors.
    const float* bounds = tiles.deepestPerTile();
    std::uint8_t* marks = tiles.touchedMarks();
    FragmentKey* pixels = this->pixels.layer[layer].data();
    constexpr int kTileShift = TilePyramid::kTileShift;
    constexpr std::int64_t kTileSide = TilePyramid::kTileSide;
    RasterLineWalk step(line, major);
    const bool rescanning = this->rescanning;
    // Now and then a tile column the walk could not pass: its tile is read
    // again once the walk ends, out of the loop, for the walks after it.
    struct LaterRescan {
        TilePyramid& tiles;
        const PixelLayers& pixels;
        std::uint32_t openColumns = openColumnsOfThread;
        std::size_t tile = kNoTile;
        ~LaterRescan() {
            openColumnsOfThread = openColumns;
            if (tile != kNoTile) {
                tiles.rescan(tile, pixels);
            }
        }
    } rescans{tiles, this->pixels};
    static_assert(RasterLineWalk::kLeapSteps == kTileSide, "a leap crosses one tile column");
    const auto move = [&step](std::int64_t count) {
        if (count == kTileSide) {
            kDirection > 0 ? step.leap() : step.leapBack();
            return;
        }
        for (; count > 0; --count) {
            kDirection > 0 ? step.next() : step.previous();
        }
    };
    // Tile column by tile column. A line moves at most a pixel across per
    // pixel along, so a column's pixels lie in two rows of tiles at most.
    while (kDirection > 0 ? major <= end : major >= end) {
        const std::int64_t columnEnd = kDirection > 0 ? std::min(end, major | (kTileSide - 1))
                                                      : std::max(end, major & ~(kTileSide - 1));
        std::int64_t count = (columnEnd - major) * kDirection + 1;
        const bool bandEnds = !(depthAt(columnEnd) < high);
        if (bandEnds) {
            count = 0;
            while (depthAt(major + count * kDirection) < high) {
                ++count;
            }
            if (count == 0) {
                return major;
            }
        }
        const std::int64_t minorFrom = step.minor();
        const std::int64_t minorTo = minorFrom + across * (count - 1);
        const std::int64_t rowFrom = std::clamp<std::int64_t>(
            std::min(minorFrom, minorTo) >> kTileShift, 0, minorTileCount - 1);
        const std::int64_t rowTo = std::clamp<std::int64_t>(
            std::max(minorFrom, minorTo) >> kTileShift, 0, minorTileCount - 1);
        const std::size_t column = static_cast<std::size_t>((major >> kTileShift) * majorTiles);
        const std::size_t tileFrom = column + rowFrom * minorTiles;
        const std::size_t tileTo = column + rowTo * minorTiles;
        // Other walks rescan tiles meanwhile.
        const auto boundOf = [bounds](std::size_t tile) {
            float value = 0.0f;
            __atomic_load(&bounds[tile], &value, __ATOMIC_RELAXED);
            return value;
        };
        // Depth grows along the walk: the column's least is its first.
        const float least = depthAt(major);
        const float bound = std::max(boundOf(tileFrom), boundOf(tileTo));
        if (rescanning && bound >= least && ++rescans.openColumns % kOpenColumnsPerRescan == 0) {
            rescans.tile = tileFrom;
        }
        if (!(bound >= least)) {
            move(count);
            major += count * kDirection;
        } else {
            __atomic_store_n(&marks[column + rowFrom * minorTiles], 1, __ATOMIC_RELAXED);
            __atomic_store_n(&marks[column + rowTo * minorTiles], 1, __ATOMIC_RELAXED);
            const std::int64_t stop = major + count * kDirection;
            // The loops step copies of their own, and keep the site and the
            // sizes in locals: a store to a pixel could reach anything whose
            // address a lambda took, which was then written back to memory
            // at every pixel. A line outside the window across lights none.
            const std::int32_t site = ours.site;
            const std::int64_t rowPixels = minorPixels;
            const std::int64_t rows = minorSize;
            // The lesser, stored either way: no branch to mispredict.
            const auto lightColumn = [&](auto stored) {
                RasterLineWalk walk = step;
                std::int64_t at = major;
                double centre = static_cast<double>(at) + 0.5;
                for (; at != stop; at += kDirection, centre += kDirection) {
                    const std::int64_t minor = walk.minor();
                    kDirection > 0 ? walk.next() : walk.previous();
                    if (static_cast<std::uint64_t>(minor) >= static_cast<std::uint64_t>(rows)) {
                        continue;
                    }
                    FragmentKey* const pixel = &pixels[minor * rowPixels + at * majorPixels];
                    const FragmentKey current = __atomic_load_n(pixel, __ATOMIC_RELAXED);
                    float depth = stored(ours.depthAtCentre(centre));
                    if constexpr (kTwinned) {
                        depth = std::min(depth, stored(other.depthAtCentre(centre)));
                    }
                    const FragmentKey offered = fragmentKey(depth, site);
                    __atomic_store_n(pixel, std::min(offered, current), __ATOMIC_RELAXED);
                }
                major = at;
                step = walk;
            };
            if (inRange) {
                lightColumn([](double depth) { return static_cast<float>(depth); });
            } else {
                lightColumn(clampedDepth);
            }
        }
        if (bandEnds) {
            return major;
        }
    }
    return major;
}
