#include "outline/rim_edges.h"

#include <algorithm>
#include <atomic>

#include "cells/thread_sharing.h"
#include "outline/fragment_key.h"

namespace {

constexpr int kThreads = 2;
static_assert(kThreads <= PixelLayers::kLayers, "a layer for each thread");
// A tile's group of at least this many sites has the pixels about each of
// its rim edges read once for all of them: at small zooms thousands share a
// tile.
constexpr std::size_t kCrowdedGroup = 16;
// The box about a facet's rim edge, which runs from rim vertex facet + 1 to
// rim vertex facet, for an apex anywhere in the box given, `around` wider.
struct RimEdgeBox {
    double left;
    double top;
    double right;
    double bottom;
};
RimEdgeBox rimEdgeBox(const ApexLayout& apexes, int facet, double left, double top, double right,
                      double bottom, double around) {
    const int next = (facet + 1) % kConeSlices;
    return {left + std::min(apexes.rimX(next), apexes.rimX(facet)) - around,
            top + std::min(apexes.rimY(next), apexes.rimY(facet)) - around,
            right + std::max(apexes.rimX(next), apexes.rimX(facet)) + around,
            bottom + std::max(apexes.rimY(next), apexes.rimY(facet)) + around};
}

}  // namespace

void RimEdges::walk() {
    const std::size_t groupCount = parts.groups.start.size() - 1;
    const std::size_t outside = parts.groups.outsideFirst;
    constexpr std::uint32_t kEveryFacet = ~std::uint32_t{0};
    // A group's facets are tested once for all its sites: in a crowd, most
    // sites' rims lie where every pixel holds a radial edge.
    std::atomic<std::size_t> taken{0};
    onThreads(kThreads, [&](int thread) {
        for (std::size_t group = taken++; group < groupCount; group = taken++) {
            const auto first = static_cast<std::size_t>(parts.groups.start[group]);
            const auto end = static_cast<std::size_t>(parts.groups.start[group + 1]);
            std::uint32_t facets = kEveryFacet;
            if (group < outside && end - first > 1) {
                const double left = parts.groups.left(group);
                const double top = parts.groups.top(group);
                facets = rimFacets(left, top, left + TilePyramid::kTileSide,
                                   top + TilePyramid::kTileSide, kEveryFacet);
                if (end - first >= kCrowdedGroup) {
                    facets = unsettledFacets(left, top, TilePyramid::kTileSide, facets);
                }
                // At small zooms only the pixels at a crowd's border keep
                // rim edges that can show.
                if (facets != 0 && parts.groups.split[group] != TileGroups::kNotSplit) {
                    walkPixelRims(parts.groups.split[group], left, top, facets, thread);
                    continue;
                }
            }
            for (std::size_t place = first; place < end && facets != 0; ++place) {
                walkSiteRims(static_cast<std::size_t>(parts.groups.sites[place]), facets, thread);
            }
        }
    });
}

std::uint32_t RimEdges::rimFacets(double left, double top, double right, double bottom,
                                  std::uint32_t facets) const {
    const double around = parts.apexes.rimReach + 2.0;
    if (!(parts.tiles.blockMaximum(left - around, top - around, right + around, bottom + around) >=
          kRimDepth)) {
        return 0;
    }
    std::uint32_t found = 0;
    for (std::uint32_t rest = facets; rest != 0; rest &= rest - 1) {
        const int facet = __builtin_ctz(rest);
        const RimEdgeBox box = rimEdgeBox(parts.apexes, facet, left, top, right, bottom, 2.0);
        if (parts.tiles.blockMaximum(box.left, box.top, box.right, box.bottom) >= kRimDepth) {
            found |= std::uint32_t{1} << facet;
        }
    }
    return found;
}

std::uint32_t RimEdges::unsettledFacets(double left, double top, double side,
                                        std::uint32_t facets) const {
    // A rim edge lights pixels whose centres lie within a pixel of it, and
    // the apexes lie in the square.
    for (std::uint32_t rest = facets; rest != 0; rest &= rest - 1) {
        const int facet = __builtin_ctz(rest);
        const RimEdgeBox box =
            rimEdgeBox(parts.apexes, facet, left, top, left + side, top + side, 1.0);
        if (parts.settled.within(box.left, box.top, box.right, box.bottom, kRimDepth)) {
            facets &= ~(std::uint32_t{1} << facet);
        }
    }
    return facets;
}

void RimEdges::walkPixelRims(std::int32_t splitGroup, double left, double top, std::uint32_t facets,
                             int layer) {
    for (int pixel = 0; pixel < TileGroups::kTilePixels; ++pixel) {
        const std::size_t first = parts.groups.pixelFirst(splitGroup, pixel);
        const std::size_t end = parts.groups.pixelEnd(splitGroup, pixel);
        const std::uint32_t pixelFacets =
            first == end ? 0
                         : unsettledFacets(left + pixel % TilePyramid::kTileSide,
                                           top + pixel / TilePyramid::kTileSide, 1.0, facets);
        for (std::size_t place = first; place < end && pixelFacets != 0; ++place) {
            walkSiteRims(static_cast<std::size_t>(parts.groups.sites[place]), pixelFacets, layer);
        }
    }
}

void RimEdges::walkSiteRims(std::size_t site, std::uint32_t facets, int layer) {
    const double x = parts.apexes.x[site];
    const double y = parts.apexes.y[site];
    ConeOutlines::Cone cone;
    bool coneReady = false;
    for (std::uint32_t rest = rimFacets(x, y, x, y, facets); rest != 0; rest &= rest - 1) {
        const int facet = __builtin_ctz(rest);
        // The tiles' test passes where radial edges settled most of a tile:
        // the rim edge's own pixels tell more.
        const int next = (facet + 1) % kConeSlices;
        if (parts.settled.between(
                {x + parts.apexes.rimX(next), y + parts.apexes.rimY(next), kRimDepth},
                {x + parts.apexes.rimX(facet), y + parts.apexes.rimY(facet), kRimDepth},
                kRimDepth)) {
            continue;
        }
        if (!coneReady) {
            parts.outlines.cone(parts.sites[site].x, parts.sites[site].y, cone);
            coneReady = true;
        }
        OutlinePoint from;
        OutlinePoint to;
        OutlineEdgePixels edge;
        if (parts.outlines.edge(cone, facet, OutlineEdge::Rim, from, to) && edge.set(from, to)) {
            edge.site = static_cast<std::int32_t>(site);
            parts.walker.walk(edge, nullptr, kRimDepth, kNothingDrawn, layer, nullptr);
        }
    }
}
