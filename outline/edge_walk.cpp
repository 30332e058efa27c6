#include "outline/edge_walk.h"

#include <algorithm>
#include <cmath>
#include <cstring>

void EdgeWalk::walkRay(const OutlineEdgePixels& inward, const OutlineEdgePixels& outward,
                       bool twinned, float low, float high, bool alone,
                       EdgeProgress* inwardProgress, EdgeProgress* outwardProgress) {
    if (twinned) {
        walk(inward, &outward, low, high, alone, inwardProgress);
        return;
    }
    if (inward.site >= 0) {
        walk(inward, nullptr, low, high, alone, inwardProgress);
    }
    if (outward.site >= 0) {
        walk(outward, nullptr, low, high, alone, outwardProgress);
    }
}

void EdgeWalk::walk(const OutlineEdgePixels& edge, const OutlineEdgePixels* twin, float low,
                    float high, bool alone, EdgeProgress* progress) {
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
        major = outwardUp ? walkOutward<1, true>(edge, *twin, from, last, high, alone)
                          : walkOutward<-1, true>(edge, *twin, from, first, high, alone);
    } else {
        major = outwardUp ? walkOutward<1, false>(edge, edge, from, last, high, alone)
                          : walkOutward<-1, false>(edge, edge, from, first, high, alone);
    }
    if (progress != nullptr) {
        progress->major = static_cast<std::int32_t>(major);
        progress->resumeLow = high;
    }
}

namespace {
// Longer parts are seldom settled all along: testing them costs about what
// walking them does.
constexpr double kMostColumns = 24.0;
}  // namespace

bool EdgeWalk::settledAlong(double apexX, double apexY, double rayX, double rayY,
                            double nearDistance, double farDistance, double endDistance,
                            float low) const {
    const double endX = apexX + rayX * endDistance;
    const double endY = apexY + rayY * endDistance;
    const auto nearWindow = [](double coordinate, int size) {
        return coordinate > -2.0 * size && coordinate < 3.0 * size;
    };
    if (!(nearWindow(apexX, width) && nearWindow(endX, width) && nearWindow(apexY, height) &&
          nearWindow(endY, height))) {
        return false;
    }
    std::uint32_t lowBits = 0;
    std::memcpy(&lowBits, &low, sizeof lowBits);
    const FragmentKey settled = static_cast<FragmentKey>(lowBits) << 32;
    // The pixels the line lights taking x, or y, for its major axis.
    const auto settledTaking = [&](bool xMajor) {
        const double alongMajor = xMajor ? rayX : rayY;
        const double alongMinor = xMajor ? rayY : rayX;
        // Column centres by their distance from the apex along the major
        // axis: a depth's column within a column and a half, and a centre
        // lit only within half a pixel (the diamond rule) of the line's end.
        const double perMajor = std::fabs(alongMajor);
        const double nearest = nearDistance * perMajor - 1.5;
        const double farthest =
            std::min(farDistance * perMajor + 1.5, endDistance * perMajor + 0.51);
        if (!(nearest <= farthest)) {
            return true;
        }
        if (farthest - nearest > kMostColumns) {
            return false;
        }
        const double apexMajor = xMajor ? apexX : apexY;
        const double apexMinor = xMajor ? apexY : apexX;
        const double direction = alongMajor > 0.0 ? 1.0 : -1.0;
        const double centreFrom = apexMajor + direction * (direction > 0.0 ? nearest : farthest);
        const double centreTo = apexMajor + direction * (direction > 0.0 ? farthest : nearest);
        const std::int64_t majorSize = xMajor ? width : height;
        const std::int64_t minorSize = xMajor ? height : width;
        const auto first =
            std::max<std::int64_t>(0, static_cast<std::int64_t>(std::ceil(centreFrom - 0.5)));
        const auto last = std::min<std::int64_t>(
            majorSize - 1, static_cast<std::int64_t>(std::floor(centreTo - 0.5)));
        const double slope = alongMinor / alongMajor;
        // A pixel is lit where its centre lies within half a pixel across of
        // the line; the margin covers the snapping of the ends and the
        // clipper's floats.
        constexpr double kAcross = 0.05;
        const std::int64_t majorPixels = xMajor ? 1 : width;
        const std::int64_t minorPixels = xMajor ? width : 1;
        // From the far end, where an unsettled pixel is likelier.
        for (std::int64_t major = last; major >= first; --major) {
            const double minor = apexMinor + (static_cast<double>(major) + 0.5 - apexMajor) * slope;
            const auto lowest = std::max<std::int64_t>(
                0, static_cast<std::int64_t>(std::ceil(minor - 1.0 - kAcross)));
            const auto highest = std::min<std::int64_t>(
                minorSize - 1, static_cast<std::int64_t>(std::floor(minor + kAcross)));
            for (std::int64_t row = lowest; row <= highest; ++row) {
                if (!(__atomic_load_n(&pixels[row * minorPixels + major * majorPixels],
                                      __ATOMIC_RELAXED) < settled)) {
                    return false;
                }
            }
        }
        return true;
    };
    // Near a diagonal the rounding of the line's ends decides its major
    // axis: the pixels of either are looked at.
    const double lead = std::fabs(rayX) - std::fabs(rayY);
    if (lead > 1e-3) {
        return settledTaking(true);
    }
    if (lead < -1e-3) {
        return settledTaking(false);
    }
    return settledTaking(true) && settledTaking(false);
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

template <int kDirection, bool kTwinned>
std::int64_t EdgeWalk::walkOutward(const OutlineEdgePixels& edge, const OutlineEdgePixels& twin,
                                   std::int64_t major, std::int64_t end, float high, bool alone) {
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
    FragmentKey* pixels = this->pixels.data();
    constexpr int kTileShift = TilePyramid::kTileShift;
    constexpr std::int64_t kTileSide = TilePyramid::kTileSide;
    RasterLineWalk step(line, major);
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
        const float bound =
            std::max(bounds[column + rowFrom * minorTiles], bounds[column + rowTo * minorTiles]);
        // Depth grows along the walk: the column's least is its first.
        const float least = depthAt(major);
        if (!(bound >= least)) {
            move(count);
            major += count * kDirection;
        } else {
            __atomic_store_n(&marks[column + rowFrom * minorTiles], 1, __ATOMIC_RELAXED);
            __atomic_store_n(&marks[column + rowTo * minorTiles], 1, __ATOMIC_RELAXED);
            const std::int64_t stop = major + count * kDirection;
            // The pixel at `major`, the line stepped on past it; none where
            // the line lies outside the window across.
            const auto pixelHere = [&]() -> FragmentKey* {
                const std::int64_t minor = step.minor();
                kDirection > 0 ? step.next() : step.previous();
                return static_cast<std::uint64_t>(minor) < static_cast<std::uint64_t>(minorSize)
                           ? &pixels[minor * minorPixels + major * majorPixels]
                           : nullptr;
            };
            if (alone) {
                // The lesser, stored either way: no branch to mispredict.
                const auto lightColumn = [&](auto stored) {
                    double centre = static_cast<double>(major) + 0.5;
                    for (; major != stop; major += kDirection, centre += kDirection) {
                        FragmentKey* const pixel = pixelHere();
                        if (pixel == nullptr) {
                            continue;
                        }
                        const FragmentKey current = __atomic_load_n(pixel, __ATOMIC_RELAXED);
                        float depth = stored(ours.depthAtCentre(centre));
                        if constexpr (kTwinned) {
                            depth = std::min(depth, stored(other.depthAtCentre(centre)));
                        }
                        const FragmentKey offered = fragmentKey(depth, ours.site);
                        __atomic_store_n(pixel, std::min(offered, current), __ATOMIC_RELAXED);
                    }
                };
                if (inRange) {
                    lightColumn([](double depth) { return static_cast<float>(depth); });
                } else {
                    lightColumn(clampedDepth);
                }
            } else {
                // A pixel holding less than the column's least keeps what it holds.
                const FragmentKey settled = fragmentKey(least, -1) & ~FragmentKey{0xFFFFFFFFu};
                for (; major != stop; major += kDirection) {
                    FragmentKey* const pixel = pixelHere();
                    if (pixel == nullptr) {
                        continue;
                    }
                    const FragmentKey current = __atomic_load_n(pixel, __ATOMIC_RELAXED);
                    if (current < settled) {
                        continue;
                    }
                    const FragmentKey offered = fragmentKey(depthAt(major), ours.site);
                    if (offered < current) {
                        keepLesser(*pixel, offered);
                    }
                }
            }
        }
        if (bandEnds) {
            return major;
        }
    }
    return major;
}
