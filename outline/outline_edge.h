#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "outline/cone_outline.h"
#include "outline/raster_line.h"
#include "outline/rasterizer_rules.h"

// An edge's pixels and its depth, which the rasterizer interpolates along
// the major axis between the edge's ends and clamps to the depth range.
struct OutlineEdgePixels {
    RasterLine line;
    double majorFrom = 0.0;
    double depthFrom = 0.0;
    double depthPerPixel = 0.0;
    std::int32_t site = -1;

    // False, leaving it empty, for an edge that lights no pixel.
    bool set(const OutlinePoint& from, const OutlinePoint& to);
    double depthAt(std::int64_t major) const {
        return depthAtCentre(static_cast<double>(major) + 0.5);
    }
    // The same at a pixel centre's major coordinate (major + 0.5), for walks
    // that step it along.
    double depthAtCentre(double centre) const {
        return depthFrom + (centre - majorFrom) * depthPerPixel;
    }
};

// A site as the outlines need it: where its cone stands and its colour.
struct OutlineSite {
    float x;
    float y;
    std::uint32_t colour;  // red, green, blue, alpha bytes in memory order
};

// An opaque colour as OutlineSite holds it.
inline std::uint32_t packedColour(unsigned char red, unsigned char green, unsigned char blue) {
    const unsigned char bytes[4] = {red, green, blue, 255};
    std::uint32_t packed = 0;
    std::memcpy(&packed, bytes, sizeof packed);
    return packed;
}

// Every fragment of every edge of every site's cone in the buffer of width x
// height pixels (rows from the top), as the full cones draw them: cones in
// list order, each cone's facets in order, each facet's three edges. The
// exhaustive picture, for checking the one that skips.
void forEachOutlineFragment(
    const std::vector<OutlineSite>& sites, const OutlineView& view, float radius, int width,
    int height, const std::function<void(int x, int y, float depth, std::int32_t site)>& visit);
