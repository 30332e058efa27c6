#pragma once

#include <cstdint>
#include <vector>

#include "outline/fragment_key.h"
#include "outline/outline_edge.h"
#include "outline/pixel_layers.h"
#include "outline/raster_line.h"
#include "outline/tile_pyramid.h"

// How far a kept edge's walk outward from its apex has come: the next pixel,
// valid for the band starting at `resumeLow`.
struct EdgeProgress {
    std::int32_t major = 0;
    float resumeLow = -1.0f;
};

// Offers an edge's fragments of one band of depths to a layer of the
// picture's pixels, walking outward from the apex a tile column at a time:
// a column is skipped where the tiles it crosses hold nothing deeper than
// its nearest fragment.
class EdgeWalk {
public:
    EdgeWalk(PixelLayers& pixels, TilePyramid& tiles, int width, int height)
        : pixels(pixels), tiles(tiles), width(width), height(height) {}

    // The fragments of the edge whose depth lies in [low, high); with a twin
    // (an edge of the same site that lights the same pixels), the lesser of
    // the two depths at each pixel. With `progress`, the walk resumes where
    // it stopped at this band's start, and stops at its end. `layer`: the
    // calling thread's own, which no other thread writes to.
    void walk(const OutlineEdgePixels& edge, const OutlineEdgePixels* twin, float low, float high,
              int layer, EdgeProgress* progress);
    // Both radial edges along a ray of a site, as one where they are twins.
    void walkRay(const OutlineEdgePixels& inward, const OutlineEdgePixels& outward, bool twinned,
                 float low, float high, int layer, EdgeProgress* inwardProgress,
                 EdgeProgress* outwardProgress);
    // Whether the walks read a tile again now and then where they cannot
    // pass it: among crowded sites a band's walks settle most pixels in
    // tiles whose deepest values, from before the band, do not tell.
    void rescanOpenTiles(bool rescan) { rescanning = rescan; }

private:
    // The pixel nearest the apex whose depth is `low` or more, from `first`
    // to `last`; one past the far end where none is.
    static std::int64_t bandStart(const OutlineEdgePixels& edge, const OutlineEdgePixels* twin,
                                  float low, std::int64_t first, std::int64_t last, bool outwardUp);
    // From `major` away from the apex towards `end`, up to the first pixel of
    // depth `high` or more, which it returns.
    template <int kDirection, bool kTwinned>
    std::int64_t walkOutward(const OutlineEdgePixels& edge, const OutlineEdgePixels& twin,
                             std::int64_t major, std::int64_t end, float high, int layer);

    PixelLayers& pixels;
    TilePyramid& tiles;
    int width;
    int height;
    bool rescanning = false;
};
