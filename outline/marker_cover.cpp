#include "outline/marker_cover.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "cells/thread_sharing.h"
#include "outline/rasterizer_rules.h"

namespace {

// Integer heights up to this one have their rows kept.
constexpr int kCachedHeights = 1 << 14;
// Fewer points are not worth a second thread.
constexpr std::size_t kPointsForTwoThreads = 1 << 16;
// The most points taken at once as a run along a column: a run that leaves
// the view volume is looked at point by point, after this many compares.
constexpr std::ptrdiff_t kLongestRun = 64;

// The rows at which the markers of points at integer heights start: a
// site's height is mostly a pixel's row, and many sites share each.
class RowsOfHeights {
public:
    RowsOfHeights(const ConeOutlines& outlines, int heights)
        : outlines(outlines), rows(static_cast<std::size_t>(std::max(heights, 0)), kUnknown) {}

    // False where the point lies outside the view volume.
    bool firstRowOf(float y, int& row) {
        if (!(y >= 0.0f && y < static_cast<float>(rows.size())) || std::floor(y) != y) {
            return worked(y, row);
        }
        const auto index = static_cast<std::size_t>(y);
        if (rows[index] == kUnknown) {
            rows[index] = worked(y, row) ? row : kOutside;
        }
        row = rows[index];
        return row != kOutside;
    }

private:
    static constexpr int kUnknown = std::numeric_limits<int>::min();
    static constexpr int kOutside = kUnknown + 1;

    bool worked(float y, int& row) const {
        float window = 0.0f;
        if (!outlines.pointOnAxis(1, y, window)) {
            return false;
        }
        row = pointFirstRow(snappedPoint(window));
        return true;
    }

    const ConeOutlines& outlines;
    std::vector<int> rows;
};

// A cover's bits, column by column.
struct CoverBits {
    std::uint32_t* words;
    int width;
    int height;
    int columnWords;

    // Lights rows first..last (inclusive, clipped to the buffer) of the
    // four columns from `column` on.
    void light(int column, int first, int last) const {
        first = std::max(first, 0);
        last = std::min(last, height - 1);
        if (first > last) {
            return;
        }
        for (int lit = std::max(column, 0); lit < std::min(column + kPointPixels, width); ++lit) {
            std::uint32_t* litWords = words + static_cast<std::size_t>(lit) * columnWords;
            for (int word = first >> 5; word <= last >> 5; ++word) {
                const int low = std::max(first - word * 32, 0);
                const int high = std::min(last - word * 32, 31);
                const std::uint32_t upTo = high == 31 ? ~0u : (2u << high) - 1u;
                litWords[word] |= upTo & ~((1u << low) - 1u);
            }
        }
    }
};

template <typename Point>
void coverPoints(const Point* first, const Point* end, const ConeOutlines& outlines,
                 const CoverBits& bits) {
    const bool separable = outlines.separable();
    // Where a unit up the raster moves a marker by at most three rows, the
    // markers of points a unit apart along a column overlap or touch, so a
    // run of them lights every row between its ends' markers.
    const bool runsJoin = separable && std::fabs(outlines.pixelsPerUnit(1)) <= 3.0f;
    RowsOfHeights rows(outlines, kCachedHeights);
    // The column of the last x, under a separable view.
    float columnX = std::numeric_limits<float>::quiet_NaN();
    int columnOfX = 0;
    bool xInside = false;
    // The rows lit so far in one column run, not yet set.
    bool open = false;
    int runColumn = 0;
    int runFirst = 0;
    int runLast = 0;
    for (const Point* point = first; point != end; ++point) {
        int column = 0;
        // The first rows of the markers taken: one point's, or a run's.
        int row = 0;
        int lastRow = 0;
        if (separable) {
            if (!(point->x == columnX)) {
                float window = 0.0f;
                columnX = point->x;
                xInside = outlines.pointOnAxis(0, point->x, window);
                columnOfX = xInside ? pointFirstColumn(snappedPoint(window)) : 0;
            }
            if (!xInside || !rows.firstRowOf(point->y, row)) {
                continue;
            }
            column = columnOfX;
            lastRow = row;
            if (runsJoin && point + 1 != end && point[1].x == point->x) {
                // Up or down the column: extractions list their sites either way.
                const float step = point[1].y > point->y ? 1.0f : -1.0f;
                const Point* runLastPoint = point;
                while (runLastPoint + 1 != end && runLastPoint - point < kLongestRun &&
                       runLastPoint[1].x == point->x &&
                       runLastPoint[1].y ==
                           point->y + step * static_cast<float>(runLastPoint + 1 - point)) {
                    ++runLastPoint;
                }
                // Both ends within the view volume hold every point between.
                int endRow = 0;
                if (runLastPoint != point && rows.firstRowOf(runLastPoint->y, endRow)) {
                    row = std::min(row, endRow);
                    lastRow = std::max(lastRow, endRow);
                    point = runLastPoint;
                }
            }
        } else {
            OutlinePoint window;
            if (!outlines.point(point->x, point->y, window)) {
                continue;
            }
            column = pointFirstColumn(snappedPoint(window.x));
            row = pointFirstRow(snappedPoint(window.y));
            lastRow = row;
        }
        const int last = lastRow + kPointPixels - 1;
        if (open && column == runColumn && row <= runLast + 1 && last >= runFirst - 1) {
            runFirst = std::min(runFirst, row);
            runLast = std::max(runLast, last);
            continue;
        }
        if (open) {
            bits.light(runColumn, runFirst, runLast);
        }
        open = true;
        runColumn = column;
        runFirst = row;
        runLast = last;
    }
    if (open) {
        bits.light(runColumn, runFirst, runLast);
    }
}

}  // namespace

void MarkerCover::compute(const std::vector<MarkerPoint>& points, const OutlineView& view,
                          int bufferWidth, int bufferHeight) {
    computeFrom(points.data(), points.size(), view, bufferWidth, bufferHeight);
}

void MarkerCover::compute(const std::vector<OutlineSite>& sites, const OutlineView& view,
                          int bufferWidth, int bufferHeight) {
    computeFrom(sites.data(), sites.size(), view, bufferWidth, bufferHeight);
}

template <typename Point>
void MarkerCover::computeFrom(const Point* points, std::size_t count, const OutlineView& view,
                              int bufferWidth, int bufferHeight) {
    width = std::max(bufferWidth, 0);
    height = std::max(bufferHeight, 0);
    columnWords = (height + 31) / 32;
    const std::size_t wordCount = static_cast<std::size_t>(width) * columnWords;
    bits.assign(wordCount, 0u);
    const ConeOutlines outlines(view, 0.0f);
    if (count < kPointsForTwoThreads) {
        coverPoints(points, points + count, outlines, {bits.data(), width, height, columnWords});
        return;
    }
    // Each half of the points into bits of its own, then the second's into the first's.
    secondHalf.assign(wordCount, 0u);
    const Point* middle = points + count / 2;
    onThreads(2, [&](int share) {
        coverPoints(share == 0 ? points : middle, share == 0 ? middle : points + count, outlines,
                    {share == 0 ? bits.data() : secondHalf.data(), width, height, columnWords});
    });
    for (std::size_t word = 0; word < wordCount; ++word) {
        bits[word] |= secondHalf[word];
    }
}

std::size_t MarkerCover::litCount() const {
    std::size_t count = 0;
    for (const std::uint32_t word : bits) {
        count += static_cast<std::size_t>(__builtin_popcount(word));
    }
    return count;
}

void MarkerCover::litPixels(std::vector<std::uint8_t>& pixels) const {
    pixels.assign(static_cast<std::size_t>(width) * height, 0);
    // A word holds 32 rows of a column; most are empty.
    for (int column = 0; column < width; ++column) {
        const std::uint32_t* words = &bits[static_cast<std::size_t>(column) * columnWords];
        for (int word = 0; word < columnWords; ++word) {
            for (std::uint32_t rest = words[word]; rest != 0; rest &= rest - 1) {
                const int row = word * 32 + __builtin_ctz(rest);
                if (row < height) {
                    pixels[static_cast<std::size_t>(row) * width + column] = 1;
                }
            }
        }
    }
}
