#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "cells/cone_geometry.h"
#include "outline/cone_outline.h"
#include "outline/edge_walk.h"
#include "outline/outline_edge.h"

// The two radial edges along ray `ray` of a site's cone: facet `ray`'s
// inward edge and the facet before's outward one, each left with site -1
// where it lights no pixel.
void rayEdges(const ConeOutlines& outlines, const ConeOutlines::Cone& cone, std::size_t site,
              int ray, OutlineEdgePixels& inward, OutlineEdgePixels& outward);
// Whether a site's two edges along a ray light the same pixels.
bool twinned(const OutlineEdgePixels& inward, const OutlineEdgePixels& outward);

// The radial edges of the rays the bands walk, worked out when a band first
// walks a ray and kept from band to band with how far each walk has come.
// Where every site's rays fit, each ray has its slot, in the order the
// bands take the sites in; elsewhere rays take slots as they are first
// walked, up to a quarter of the room's edges, and find them through a
// table of 32 that a site takes with its first kept ray. A ray beyond them
// is worked out again each band.
class KeptEdges {
public:
    // Room for up to `mostEdges` edges (two a ray) of `siteCount` sites,
    // none kept yet.
    void prepare(std::size_t siteCount, std::size_t mostEdges);
    // Whether every ray of every site has a slot.
    bool keepsAll() const { return everyRay; }

    // Works out the edges along `rays` (a bit each) of the site at `place`
    // into their slots, as many as there is room for; the rays kept.
    std::uint32_t keepRays(const ConeOutlines& outlines, const OutlineSite& site,
                           std::size_t siteIndex, std::size_t place, std::uint32_t rays);
    // Asks for the slots of `rays` at once: they lie far apart, and arrive
    // together rather than one by one.
    void prefetch(std::size_t place, std::uint32_t rays) const;
    // The rays at `place` whose edges are in their slots.
    std::uint32_t keptRays(std::size_t place) const { return keptRayBits[place]; }

    // Walks both edges along the kept ray in the band, resuming where the
    // band before stopped, into the pixel layer `layer`.
    void walkRay(EdgeWalk& walk, std::size_t place, int ray, float low, float high, int layer);

private:
    struct KeptRay {
        OutlineEdgePixels inward;
        OutlineEdgePixels outward;
        EdgeProgress inwardProgress;
        EdgeProgress outwardProgress;
        bool twins;
    };
    static constexpr std::size_t kChunkShift = 14;
    static constexpr std::size_t kChunkRays = std::size_t{1} << kChunkShift;
    static constexpr std::uint32_t kNoTable = 0xFFFFFFFFu;

    // Slots from `first` on for `rayCount` rays at `place` that have none
    // yet, `taken` of them where fewer are left, their chunks made where they
    // are not; false where none is left. Where every ray has its slot, the
    // site's 32 from `first` on.
    bool takeSlots(std::size_t place, int rayCount, std::size_t& first, int& taken);
    KeptRay& slot(std::size_t index) const {
        return chunkAt[index >> kChunkShift].load(
            std::memory_order_acquire)[index & (kChunkRays - 1)];
    }
    KeptRay& keptRay(std::size_t place, int ray) const {
        return slot(everyRay
                        ? place * kConeSlices + ray
                        : rayTables[static_cast<std::size_t>(tableOf[place]) * kConeSlices + ray]);
    }

    bool everyRay = false;
    std::size_t mostRays = 0;
    // Apart from the rest: both threads change them, and read the rest.
    struct alignas(64) Counts {
        std::atomic<std::size_t> raysTaken{0};
        std::atomic<std::size_t> tablesTaken{0};
    } counts;
    // The chunks made so far, and where each lies for the threads to read:
    // one thread makes a chunk while the other may look for it.
    std::vector<std::unique_ptr<KeptRay[]>> chunks;
    std::unique_ptr<std::atomic<KeptRay*>[]> chunkAt;
    std::size_t chunkRoom = 0;
    std::mutex chunkMaking;
    // Per place, its table of slots by ray (kNoTable before the first kept
    // ray), and a bit for each ray whose edges are in their slots.
    std::vector<std::uint32_t> tableOf;
    std::unique_ptr<std::uint32_t[]> rayTables;
    std::size_t tableRoom = 0;
    std::size_t mostTables = 0;
    std::vector<std::uint32_t> keptRayBits;
};
