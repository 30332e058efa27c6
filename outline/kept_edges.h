#pragma once

#include <cstddef>
#include <cstdint>
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

// Every site's radial edges, worked out when a band first walks them and
// kept from band to band with how far each walk has come, where they fit:
// 64 slots a site, at the site's place in the order the bands take the
// sites in, so that one site's slots lie next to the last one's.
class KeptEdges {
public:
    // Whether `siteCount` sites' edges fit in `mostEdges`; then they are kept.
    bool prepare(std::size_t siteCount, std::size_t mostEdges);
    bool kept() const { return active; }

    // Works out the edges along `rays` (a bit each) of the site at `place`
    // into their slots.
    void keepRays(const ConeOutlines& outlines, const OutlineSite& site, std::size_t siteIndex,
                  std::size_t place, std::uint32_t rays);
    // Asks for the slots of `rays` at once: they lie far from the last
    // site's, and arrive together rather than one by one.
    void prefetch(std::size_t place, std::uint32_t rays) const;
    // The rays at `place` whose edges are in their slots.
    std::uint32_t keptRays(std::size_t place) const { return keptRayBits[place]; }

    // Walks both edges along the ray in the band, resuming where the band
    // before stopped.
    void walkRay(EdgeWalk& walk, std::size_t place, int ray, float low, float high, bool alone);

private:
    static int inwardSlot(int ray) { return 2 * ray; }
    static int outwardSlot(int ray) { return (2 * ray + 2 * kConeSlices - 1) % (2 * kConeSlices); }

    bool active = false;
    std::vector<OutlineEdgePixels> edges;
    std::vector<EdgeProgress> progress;
    // Per place, a bit for each ray whose two edges light the same pixels,
    // and one for each ray whose edges are in their slots.
    std::vector<std::uint32_t> twins;
    std::vector<std::uint32_t> keptRayBits;
};
