#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Over a grid of cells, some holding apexes: for every square of kSide x
// kSide cells, how many squares lie between it and the nearest square that
// holds one, along the farther axis. A pixel far from every apex skips the
// empty cells about it without reading them.
class EmptySquares {
public:
    static constexpr int kSide = 4;
    static constexpr std::uint8_t kMostSquares = 255;

    // `cellStart` as the buckets give it: cell c holds apexes where
    // cellStart[c] != cellStart[c + 1]; `columns` x `rows` cells, row by row.
    // Returns how many cells hold apexes.
    std::size_t build(const std::vector<std::int32_t>& cellStart, int columns, int rows);

    // No cell that holds an apex lies nearer the centre of cell (column,
    // row) than this, in cells: the farther axis's offset less half a cell.
    double emptyGap(int column, int row) const {
        const int squares = squaresOut[static_cast<std::size_t>(row / kSide) * squaresX +
                                       static_cast<std::size_t>(column / kSide)];
        return squares == 0 ? 0.0 : (squares - 1) * kSide + 0.5;
    }

private:
    int squaresX = 0;
    std::vector<std::uint8_t> squaresOut;
};
