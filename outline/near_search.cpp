#include "outline/near_search.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>

#include "cells/thread_sharing.h"
#include "outline/bucketed_sites.h"

namespace {

constexpr int kThreads = 2;
// The cells, one window pixel each, that a pixel looks in: up to this many
// from its own at the furthest reach, which the cells about the window hold.
constexpr int kMargin = static_cast<int>(NearSearch::kWholeConeReach) + 1;
static_assert(kMargin > NearSearch::kWholeConeReach, "the margin holds every cell within reach");
static_assert(NearSearch::kWholeConeReach >= NearSearch::kCrowdedReach &&
                  NearSearch::kCrowdedReach >= NearSearch::kNearReach,
              "the margin holds every reach");
// A part of a split cell, and the least depth any edge of its apexes can
// have at the pixel.
struct PartOrder {
    double least;
    int part;
};

// The cells about a pixel's own, nearest first: how far each lies from the
// pixel's centre, up to the reach.
struct NearCell {
    double gap;
    int dx;
    int dy;
};

const std::vector<NearCell>& nearCells() {
    static const std::vector<NearCell> rings = [] {
        std::vector<NearCell> found;
        for (int dy = -kMargin; dy <= kMargin; ++dy) {
            for (int dx = -kMargin; dx <= kMargin; ++dx) {
                const double gap = std::hypot(std::max(std::abs(dx) - 0.5, 0.0),
                                              std::max(std::abs(dy) - 0.5, 0.0));
                if (gap <= NearSearch::kWholeConeReach) {
                    found.push_back({gap, dx, dy});
                }
            }
        }
        std::stable_sort(found.begin(), found.end(),
                         [](const NearCell& a, const NearCell& b) { return a.gap < b.gap; });
        return found;
    }();
    return rings;
}

}  // namespace

void NearSearch::run(const std::vector<OutlineSite>& sites, const ConeOutlines& outlines,
                     const ApexLayout& apexes, int width, int height,
                     const std::vector<std::uint8_t>& marker, std::vector<FragmentKey>& pixels,
                     const std::atomic<bool>* cancel) {
    cellsX = width + 2 * kMargin;
    const int cellsY = height + 2 * kMargin;
    const std::size_t cells = static_cast<std::size_t>(cellsX) * cellsY;
    bucketSites(
        sites.size(), cells,
        [&](std::size_t site) {
            const double x = std::floor(static_cast<double>(apexes.x[site])) + kMargin;
            const double y = std::floor(static_cast<double>(apexes.y[site])) + kMargin;
            if (!(x >= 0.0 && x < cellsX && y >= 0.0 && y < cellsY)) {
                return cells;
            }
            return static_cast<std::size_t>(y) * cellsX + static_cast<std::size_t>(x);
        },
        kThreads, cellStart, cellSites);
    const std::size_t heldCells = emptySquares.build(cellStart, cellsX, cellsY);
    const auto gridded = static_cast<double>(cellStart[cells]);
    const bool crowded = gridded >= kCrowdedApexesPerPixel * static_cast<double>(heldCells);
    reach = crowded ? kCrowdedReach : kNearReach;
    // Every apex whose edges can light a pixel lies within this of it.
    const double wholeCone = apexes.rimReach + RayBounds::kPastEnd;
    reachesWholeCone = crowded && wholeCone > reach && wholeCone <= kWholeConeReach;
    if (reachesWholeCone) {
        reach = wholeCone;
    }
    splitCrowdedCells(apexes, reachesWholeCone ? kSplitCellWholeCone : kSplitCell);
    for (blockShift = 1; (1 << blockShift) <= cellsOut(); ++blockShift) {
    }
    markBlocksNearApexes(width, height);
    rayBounds.set(apexes);
    keptRays.resize(kThreads * kKeptRays);
    for (KeptRay& kept : keptRays) {
        kept.key = ~std::uint64_t{0};
    }
    onThreads(kThreads, [&](int thread) {
        KeptRay* const ownRays = &keptRays[static_cast<std::size_t>(thread) * kKeptRays];
        for (int y = thread; y < height; y += kThreads) {
            if (cancel && cancel->load(std::memory_order_relaxed)) {
                return;
            }
            const int blockSide = 1 << blockShift;
            const std::uint8_t* near =
                &apexNear[static_cast<std::size_t>((y + blockSide) >> blockShift) * blocksX];
            for (int x = 0; x < width; ++x) {
                const std::size_t pixel = static_cast<std::size_t>(y) * width + x;
                if ((marker.empty() || !marker[pixel]) && near[(x + blockSide) >> blockShift]) {
                    pixels[pixel] = nearestAt(x, y, sites, outlines, apexes, ownRays);
                }
            }
        }
    });
}

void NearSearch::splitCrowdedCells(const ApexLayout& apexes, std::int32_t fewest) {
    // The part an apex lies in, by the fraction of its own cell: exact, as
    // a float's fraction scaled by a power of two is.
    const auto partOf = [&apexes](std::int32_t site) {
        const auto index = static_cast<std::size_t>(site);
        const double x = apexes.x[index];
        const double y = apexes.y[index];
        const int column =
            std::min(static_cast<int>((x - std::floor(x)) * kSubCells), kSubCells - 1);
        const int row = std::min(static_cast<int>((y - std::floor(y)) * kSubCells), kSubCells - 1);
        return row * kSubCells + column;
    };
    splitBuckets<kSubCells * kSubCells>(cellStart, cellStart.size() - 1, fewest, partOf, kThreads,
                                        cellSites, cellSplit, partStart);
}

// Pixel (x, y) lies in block ((x + side) / side, (y + side) / side), and
// every cell it looks in lies in that block or one beside it.
void NearSearch::markBlocksNearApexes(int width, int height) {
    const int blockSide = 1 << blockShift;
    blocksX = ((width + blockSide) >> blockShift) + 2;
    const int blocksY = ((height + blockSide) >> blockShift) + 2;
    std::vector<std::uint8_t> holding(static_cast<std::size_t>(blocksX) * blocksY, 0);
    // Only the cells that some pixel looks in.
    const int firstCell = kMargin - cellsOut();
    const int cellsY = static_cast<int>((cellStart.size() - 1) / cellsX);
    for (int cellY = firstCell; cellY < cellsY - firstCell; ++cellY) {
        const std::int32_t* starts = &cellStart[static_cast<std::size_t>(cellY) * cellsX];
        std::uint8_t* row =
            &holding[static_cast<std::size_t>((cellY - kMargin + blockSide) >> blockShift) *
                     blocksX];
        for (int cellX = firstCell; cellX < cellsX - firstCell; ++cellX) {
            if (starts[cellX] != starts[cellX + 1]) {
                row[(cellX - kMargin + blockSide) >> blockShift] = 1;
            }
        }
    }
    apexNear.assign(holding.size(), 0);
    for (int blockY = 1; blockY + 1 < blocksY; ++blockY) {
        for (int blockX = 1; blockX + 1 < blocksX; ++blockX) {
            std::uint8_t any = 0;
            for (int dy = -1; dy <= 1; ++dy) {
                const std::uint8_t* row =
                    &holding[static_cast<std::size_t>(blockY + dy) * blocksX + blockX];
                any |= row[-1] | row[0] | row[1];
            }
            apexNear[static_cast<std::size_t>(blockY) * blocksX + blockX] = any;
        }
    }
}

// The cells are taken nearest first, up to where no edge of their sites can
// be shallower than what was found.
FragmentKey NearSearch::nearestAt(int x, int y, const std::vector<OutlineSite>& sites,
                                  const ConeOutlines& outlines, const ApexLayout& apexes,
                                  KeptRay* keptRays) const {
    const double centreX = x + 0.5;
    const double centreY = y + 0.5;
    float best = kNothingDrawn;
    std::int32_t bestSite = -1;
    ConeOutlines::Cone cone;
    // The edges along `allowed` of the apexes from cellSites[from] to
    // cellSites[to - 1].
    const auto scan = [&](std::int32_t from, std::int32_t to, std::uint32_t allowed) {
        for (std::int32_t at = from; at < to; ++at) {
            const std::int32_t site = cellSites[static_cast<std::size_t>(at)];
            const double offsetX = centreX - apexes.x[site];
            const double offsetY = centreY - apexes.y[site];
            const double distance = std::sqrt(offsetX * offsetX + offsetY * offsetY);
            if (distance > reach || distance > apexes.rimReach + RayBounds::kPastEnd ||
                apexes.depthAt(distance - kPixelSlack) > best) {
                continue;
            }
            const std::uint32_t nearRays =
                allowed & rayBounds.raysToward(offsetX, offsetY, distance);
            bool coneReady = false;
            for (std::uint32_t rest = nearRays; rest != 0; rest &= rest - 1) {
                const int vertex = __builtin_ctz(rest);
                // Most rays that pass are deeper there than what was found:
                // their edges need not be worked out.
                if (!rayBounds.mayLight(vertex, offsetX, offsetY) ||
                    rayBounds.leastDepth(vertex, offsetX, offsetY) > best) {
                    continue;
                }
                const std::uint64_t key =
                    static_cast<std::uint64_t>(site) * kConeSlices + static_cast<unsigned>(vertex);
                KeptRay& kept = keptRays[key & (kKeptRays - 1)];
                if (kept.key != key) {
                    if (!coneReady) {
                        outlines.cone(sites[site].x, sites[site].y, cone);
                        coneReady = true;
                    }
                    // Both edges along this rim vertex's ray: from its facet
                    // inward, and from the facet before outward.
                    const int facets[2] = {vertex, (vertex + kConeSlices - 1) % kConeSlices};
                    const OutlineEdge kinds[2] = {OutlineEdge::Inward, OutlineEdge::Outward};
                    for (int side = 0; side < 2; ++side) {
                        OutlinePoint edgeFrom;
                        OutlinePoint edgeTo;
                        kept.lit[side] =
                            outlines.edge(cone, facets[side], kinds[side], edgeFrom, edgeTo) &&
                            kept.edges[side].set(edgeFrom, edgeTo);
                    }
                    kept.key = key;
                }
                for (int side = 0; side < 2; ++side) {
                    if (!kept.lit[side]) {
                        continue;
                    }
                    const OutlineEdgePixels& edge = kept.edges[side];
                    const RasterLine& line = edge.line;
                    const std::int64_t major = line.xMajor ? x : y;
                    const std::int64_t minor = line.xMajor ? y : x;
                    if (major < line.first || major > line.last || line.minorAt(major) != minor) {
                        continue;
                    }
                    const float depth = clampedDepth(edge.depthAt(major));
                    if (passesDepthTest(depth, site, best, bestSite)) {
                        best = depth;
                        bestSite = site;
                    }
                }
            }
        }
    };
    // Cells nearer than any that holds an apex are passed over unread.
    const std::vector<NearCell>& rings = nearCells();
    const double emptyGap = emptySquares.emptyGap(x + kMargin, y + kMargin);
    const auto firstNear =
        std::lower_bound(rings.begin(), rings.end(), emptyGap,
                         [](const NearCell& near, double gap) { return near.gap < gap; });
    for (auto ring = firstNear; ring != rings.end(); ++ring) {
        const NearCell& near = *ring;
        if (near.gap > reach || near.gap > apexes.rimReach + RayBounds::kPastEnd ||
            apexes.depthAt(near.gap - kPixelSlack) > best) {
            break;
        }
        const std::size_t cell =
            static_cast<std::size_t>(y + kMargin + near.dy) * cellsX + x + kMargin + near.dx;
        const std::int32_t split = cellSplit[cell];
        if (split == kUnsplitBucket) {
            scan(cellStart[cell], cellStart[cell + 1], ~std::uint32_t{0});
            continue;
        }
        // Part by part, each first tested for all its apexes, the least
        // deep first: once one is found, most parts can hold nothing
        // shallower. Only the rays the whole cell's test leaves: a part's
        // offsets lie within the cell's. The cell's own left and top in the
        // window.
        const double cellX = x + near.dx;
        const double cellY = y + near.dy;
        double cellLeast = 0.0;
        const std::uint32_t cellRays =
            rayBounds.raysInBox(~std::uint32_t{0}, centreX - (cellX + 1.0), centreY - (cellY + 1.0),
                                centreX - cellX, centreY - cellY, best, cellLeast);
        if (cellRays == 0) {
            continue;
        }
        const std::int32_t* parts =
            &partStart[static_cast<std::size_t>(split) * (kSubCells * kSubCells + 1)];
        constexpr double kPartSide = 1.0 / kSubCells;
        const auto raysOf = [&](int part, double& least) {
            const double left = cellX + (part % kSubCells) * kPartSide;
            const double top = cellY + (part / kSubCells) * kPartSide;
            return rayBounds.raysInBox(cellRays, centreX - (left + kPartSide),
                                       centreY - (top + kPartSide), centreX - left, centreY - top,
                                       best, least);
        };
        PartOrder order[kSubCells * kSubCells];
        int ordered = 0;
        for (int part = 0; part < kSubCells * kSubCells; ++part) {
            double least = 0.0;
            if (parts[part] != parts[part + 1] && raysOf(part, least) != 0) {
                order[ordered++] = {least, part};
            }
        }
        std::sort(order, order + ordered,
                  [](const PartOrder& a, const PartOrder& b) { return a.least < b.least; });
        for (int next = 0; next < ordered; ++next) {
            double least = 0.0;
            const std::uint32_t rays = raysOf(order[next].part, least);
            if (rays != 0) {
                scan(parts[order[next].part], parts[order[next].part + 1], rays);
            }
        }
    }
    return fragmentKey(best, bestSite);
}
