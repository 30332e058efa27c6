#pragma once

#include <cstdint>
#include <vector>

#include "outline/outline_edge.h"

// A bit for each whole raster point of the box that a list of sites stands
// in, all clear at first.
class WholePoints {
public:
    // False, and nothing to hold, where a site stands off whole points or
    // the box is too large to hold. The box reaches `margin` points beyond
    // the sites on every side.
    bool fit(const std::vector<OutlineSite>& sites, std::int64_t margin = 0);
    // The same for sites known to stand on whole points from (lowX, lowY) to
    // (highX, highY).
    bool fitBox(std::int64_t lowX, std::int64_t lowY, std::int64_t highX, std::int64_t highY,
                std::int64_t margin = 0);

    // The bits of `count` points (at most 64) of row y from column x on, the
    // first lowest; all of them must lie in the box.
    std::uint64_t run(std::int64_t x, std::int64_t y, int count) const {
        const auto point = static_cast<std::size_t>((y - top) * columns + (x - left));
        const std::size_t word = point / 64;
        const unsigned shift = point % 64;
        std::uint64_t value = bits[word] >> shift;
        if (shift != 0) {
            value |= bits[word + 1] << (64 - shift);
        }
        return count < 64 ? value & ((std::uint64_t{1} << count) - 1) : value;
    }
    // The box's first and last points, its margin included.
    std::int64_t firstColumn() const { return left; }
    std::int64_t firstRow() const { return top; }
    std::int64_t lastColumn() const { return left + columns - 1; }
    std::int64_t lastRow() const { return top + rows - 1; }

    // Sets the point's bit (it lies in the box) and says whether it was set.
    bool testAndSet(std::int64_t x, std::int64_t y) {
        const std::int64_t point = pointOf(x, y);
        std::uint64_t& word = bits[static_cast<std::size_t>(point / 64)];
        const std::uint64_t bit = std::uint64_t{1} << (point % 64);
        const bool was = (word & bit) != 0;
        word |= bit;
        return was;
    }

    // Whether the point lies in the box and its bit is set.
    bool holds(std::int64_t x, std::int64_t y) const {
        const std::int64_t point = pointOf(x, y);
        return point >= 0 && ((bits[static_cast<std::size_t>(point / 64)] >> (point % 64)) & 1u);
    }
    // Into `inner`, the same box with a point's bit set where every point
    // within `steps` of it, along x and y each, is set (those beyond the box
    // are not).
    void surrounded(std::int64_t steps, WholePoints& inner) const;

private:
    // The point's index, or -1 outside the box.
    std::int64_t pointOf(std::int64_t x, std::int64_t y) const {
        const std::int64_t column = x - left;
        const std::int64_t row = y - top;
        if (column < 0 || column >= columns || row < 0 || row >= rows) {
            return -1;
        }
        return row * columns + column;
    }

    std::int64_t left = 0;
    std::int64_t top = 0;
    std::int64_t columns = 0;
    std::int64_t rows = 0;
    std::vector<std::uint64_t> bits;
};
