#include "outline/kept_edges.h"

#include <algorithm>

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

void KeptEdges::prepare(std::size_t siteCount, std::size_t mostEdges) {
    const std::size_t everyRayCount = siteCount * kConeSlices;
    everyRay = 2 * everyRayCount <= mostEdges;
    // Where not all fit, room for a quarter as many rays: more gained
    // nothing that shows, at 40 MB more for each further 2^18.
    mostRays = everyRay ? everyRayCount : std::min(mostEdges / 4, everyRayCount);
    counts.raysTaken.store(0, std::memory_order_relaxed);
    counts.tablesTaken.store(0, std::memory_order_relaxed);
    // What earlier pictures left in the slots and tables is never read: the
    // marks below say what is kept. Every site with a table keeps a ray.
    mostTables = everyRay ? 0 : std::min(siteCount, mostRays);
    if (tableRoom < mostTables) {
        rayTables = unsetArray<std::uint32_t>(mostTables * kConeSlices);
        tableRoom = mostTables;
    }
    reserveLarge(tableOf, siteCount);
    tableOf.assign(siteCount, kNoTable);
    reserveLarge(keptRayBits, siteCount);
    keptRayBits.assign(siteCount, 0);
    const std::size_t chunkCount = (mostRays + kChunkRays - 1) / kChunkRays;
    if (chunkRoom < chunkCount) {
        auto larger = std::make_unique<std::atomic<KeptRay*>[]>(chunkCount);
        for (std::size_t chunk = 0; chunk < chunkCount; ++chunk) {
            larger[chunk].store(chunk < chunkRoom ? chunkAt[chunk].load() : nullptr);
        }
        chunkAt = std::move(larger);
        chunkRoom = chunkCount;
    }
}

bool KeptEdges::takeSlots(std::size_t place, int rayCount, std::size_t& first, int& taken) {
    taken = rayCount;
    if (everyRay) {
        first = place * kConeSlices;
    } else {
        // A run of slots a site, taken at once: the threads share the count.
        if (tableOf[place] == kNoTable) {
            const std::size_t table = counts.tablesTaken.fetch_add(1, std::memory_order_relaxed);
            if (table >= mostTables) {
                return false;
            }
            tableOf[place] = static_cast<std::uint32_t>(table);
        }
        first = counts.raysTaken.fetch_add(static_cast<std::size_t>(rayCount),
                                           std::memory_order_relaxed);
        if (first >= mostRays) {
            return false;
        }
        taken = static_cast<int>(std::min<std::size_t>(rayCount, mostRays - first));
    }
    const std::size_t last = everyRay ? first + kConeSlices - 1 : first + taken - 1;
    for (std::size_t chunkIndex = first >> kChunkShift; chunkIndex <= last >> kChunkShift;
         ++chunkIndex) {
        std::atomic<KeptRay*>& chunk = chunkAt[chunkIndex];
        if (chunk.load(std::memory_order_acquire) == nullptr) {
            const std::lock_guard<std::mutex> lock(chunkMaking);
            if (chunk.load(std::memory_order_relaxed) == nullptr) {
                chunks.push_back(unsetArray<KeptRay>(kChunkRays));
                chunk.store(chunks.back().get(), std::memory_order_release);
            }
        }
    }
    return true;
}

std::uint32_t KeptEdges::keepRays(const ConeOutlines& outlines, const OutlineSite& site,
                                  std::size_t siteIndex, std::size_t place, std::uint32_t rays) {
    if (!everyRay && counts.raysTaken.load(std::memory_order_relaxed) >= mostRays) {
        return 0;
    }
    std::size_t first = 0;
    int taken = 0;
    if (!takeSlots(place, __builtin_popcount(rays), first, taken)) {
        return 0;
    }
    ConeOutlines::Cone cone;
    outlines.cone(site.x, site.y, cone);
    std::uint32_t kept = 0;
    std::uint32_t rest = rays;
    for (int taking = 0; taking < taken; ++taking, rest &= rest - 1) {
        const int ray = __builtin_ctz(rest);
        const std::size_t index = first + static_cast<std::size_t>(everyRay ? ray : taking);
        if (!everyRay) {
            rayTables[static_cast<std::size_t>(tableOf[place]) * kConeSlices + ray] =
                static_cast<std::uint32_t>(index);
        }
        KeptRay& ends = slot(index);
        rayEdges(outlines, cone, siteIndex, ray, ends.inward, ends.outward);
        ends.twins = twinned(ends.inward, ends.outward);
        ends.inwardProgress = EdgeProgress{};
        ends.outwardProgress = EdgeProgress{};
        kept |= std::uint32_t{1} << ray;
    }
    keptRayBits[place] |= kept;
    return kept;
}

void KeptEdges::prefetch(std::size_t place, std::uint32_t rays) const {
    for (std::uint32_t rest = rays; rest != 0; rest &= rest - 1) {
        const char* kept = reinterpret_cast<const char*>(&keptRay(place, __builtin_ctz(rest)));
        for (std::size_t line = 0; line < sizeof(KeptRay); line += 64) {
            __builtin_prefetch(kept + line);
        }
    }
}

void KeptEdges::walkRay(EdgeWalk& walk, std::size_t place, int ray, float low, float high,
                        int layer) {
    KeptRay& kept = keptRay(place, ray);
    walk.walkRay(kept.inward, kept.outward, kept.twins, low, high, layer, &kept.inwardProgress,
                 &kept.outwardProgress);
}
