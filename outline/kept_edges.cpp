#include "outline/kept_edges.h"

#include "cells/large_arrays.h"

void rayEdges(const ConeOutlines& outlines, const ConeOutlines::Cone& cone, std::size_t site,
              int ray, OutlineEdgePixels& inward, OutlineEdgePixels& outward) {
    inward = OutlineEdgePixels{};
    outward = OutlineEdgePixels{};
    // The same two vertices, the other way round: the clipper cuts an edge
    // alike either way, so the outward edge's ends are the inward one's.
    OutlinePoint rim;
    OutlinePoint apex;
    if (!outlines.edge(cone, ray, OutlineEdge::Inward, rim, apex)) {
        return;
    }
    if (inward.set(rim, apex)) {
        inward.site = static_cast<std::int32_t>(site);
    }
    if (outward.set(apex, rim)) {
        outward.site = static_cast<std::int32_t>(site);
    }
}

bool twinned(const OutlineEdgePixels& inward, const OutlineEdgePixels& outward) {
    return inward.site >= 0 && outward.site >= 0 && inward.line.samePixels(outward.line);
}

bool KeptEdges::prepare(std::size_t siteCount, std::size_t mostEdges) {
    const std::size_t slots = siteCount * 2 * kConeSlices;
    active = slots <= mostEdges;
    if (!active) {
        return false;
    }
    // Slots are filled when a band first walks their ray; what an earlier
    // picture left in them is never read.
    if (edges.size() < slots) {
        reserveLarge(edges, slots);
        edges.resize(slots);
        reserveLarge(progress, slots);
        progress.resize(slots);
    }
    reserveLarge(twins, siteCount);
    twins.resize(siteCount);
    reserveLarge(keptRayBits, siteCount);
    keptRayBits.assign(siteCount, 0);
    return true;
}

void KeptEdges::keepRays(const ConeOutlines& outlines, const OutlineSite& site,
                         std::size_t siteIndex, std::size_t place, std::uint32_t rays) {
    ConeOutlines::Cone cone;
    outlines.cone(site.x, site.y, cone);
    OutlineEdgePixels* slot = &edges[place * 2 * kConeSlices];
    EdgeProgress* state = &progress[place * 2 * kConeSlices];
    std::uint32_t twinRays = twins[place] & ~rays;
    for (std::uint32_t rest = rays; rest != 0; rest &= rest - 1) {
        const int ray = __builtin_ctz(rest);
        OutlineEdgePixels& inward = slot[inwardSlot(ray)];
        OutlineEdgePixels& outward = slot[outwardSlot(ray)];
        rayEdges(outlines, cone, siteIndex, ray, inward, outward);
        twinRays |= (twinned(inward, outward) ? 1u : 0u) << ray;
        state[inwardSlot(ray)] = EdgeProgress{};
        state[outwardSlot(ray)] = EdgeProgress{};
    }
    twins[place] = twinRays;
    keptRayBits[place] |= rays;
}

void KeptEdges::prefetch(std::size_t place, std::uint32_t rays) const {
    const std::size_t slots = place * 2 * kConeSlices;
    for (std::uint32_t rest = rays; rest != 0; rest &= rest - 1) {
        const int ray = __builtin_ctz(rest);
        for (const int slot : {inwardSlot(ray), outwardSlot(ray)}) {
            const char* edge = reinterpret_cast<const char*>(&edges[slots + slot]);
            const char* state = reinterpret_cast<const char*>(&progress[slots + slot]);
            __builtin_prefetch(edge);
            __builtin_prefetch(edge + 64);
            __builtin_prefetch(state);
        }
    }
}

void KeptEdges::walkRay(EdgeWalk& walk, std::size_t place, int ray, float low, float high,
                        bool alone) {
    const std::size_t slots = place * 2 * kConeSlices;
    const std::size_t inward = slots + inwardSlot(ray);
    const std::size_t outward = slots + outwardSlot(ray);
    walk.walkRay(edges[inward], edges[outward], ((twins[place] >> ray) & 1u) != 0, low, high, alone,
                 &progress[inward], &progress[outward]);
}
