#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "cells/marker_points.h"
#include "outline/cone_outline.h"
#include "outline/outline_edge.h"

// The pixels that the sites' red markers, GL points 4 pixels wide, light
// under a view, as the rasterizer decides: the point's window position
// snapped to 1/256 of a pixel; of the columns, the four whose centres lie
// above snapped x - 2 (not at it); of the rows, counted from the top, the
// four whose centres lie at or above snapped y - 2. A point whose position
// lies outside the view volume is dropped whole. Probing the context showed
// each of these rules.
class MarkerCover {
public:
    // Works the lit pixels out for a buffer of width x height pixels, on two
    // threads where the points are many. The points are best sorted by x,
    // then y (sortedMarkerPoints): runs of points on one column of the
    // raster are then set at once.
    void compute(const std::vector<MarkerPoint>& points, const OutlineView& view, int width,
                 int height);
    // The same for sites' positions, in any order.
    void compute(const std::vector<OutlineSite>& sites, const OutlineView& view, int width,
                 int height);

    bool lit(int column, int rowFromTop) const {
        const std::uint32_t word =
            bits[static_cast<std::size_t>(column) * columnWords + (rowFromTop >> 5)];
        return (word >> (rowFromTop & 31) & 1u) != 0;
    }
    // Column by column, each column's rows from the top in 32-bit words,
    // the lowest bit first.
    const std::vector<std::uint32_t>& words() const { return bits; }
    int wordsPerColumn() const { return columnWords; }
    // A byte per pixel, rows from the top: 1 where lit. Into `pixels`, whose
    // memory is used again.
    void litPixels(std::vector<std::uint8_t>& pixels) const;
    std::size_t litCount() const;
    std::size_t pixelCount() const { return static_cast<std::size_t>(width) * height; }

private:
    template <typename Point>
    void computeFrom(const Point* points, std::size_t count, const OutlineView& view,
                     int bufferWidth, int bufferHeight);

    int width = 0;
    int height = 0;
    int columnWords = 0;
    std::vector<std::uint32_t> bits;
    // The second thread's bits, kept for the next frame.
    std::vector<std::uint32_t> secondHalf;
};
