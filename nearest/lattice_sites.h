#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

struct Site;

// A drawn site in lattice units: its cell's column and row.
struct LatticeSite {
    std::int32_t column;
    std::int32_t row;
    std::uint32_t colour;  // red in the low byte, then green and blue
};

// Where the sites are sparse the inner part's cells span several unit
// cells: a few candidates each still, and far fewer cells to work out.
constexpr int kLargestCellSize = 4;
// Beyond the sites' bounding box the cells are this many inner cells wide
// and high, and at least kSmallestFarCell unit cells: no site stands there,
// the sites' regions widen away from them, and a quarter as many cells cost
// a quarter as much to work out. Where the sites crowd, most of the work is
// out there, while a far cell of four still holds few candidates.
constexpr int kFarCellScale = 2;
constexpr int kSmallestFarCell = 4;

// The sites of a list whose cones all stand on integer points, as every
// extraction leaves them, on a grid of unit cells centred on those points
// that reaches the cone radius and a little beyond around them. The inner
// part, the sites' bounding box, is read in cells of cellSize unit cells
// square; the rest in far cells of farCellSize(). Of several sites at one
// point only the copy the full cones leave on top is kept (the one nearest
// the list's end).
struct LatticeSites {
    int originX = 0;  // the raster point at the centre of unit cell (0, 0)
    int originY = 0;
    int cellSize = 1;
    // All multiples of the largest far cells, the inner part within the grid.
    int columns = 0;
    int rows = 0;
    int innerLeft = 0;
    int innerRight = 0;  // one past
    int innerBottom = 0;
    int innerTop = 0;  // one past
    // Column by column, each column by row.
    std::vector<LatticeSite> sites;
    std::vector<std::uint32_t>
        columnStart;  // column c: sites[columnStart[c]] to [columnStart[c + 1] - 1]
    // The same sites row by row, each row by column, as indices into sites.
    std::vector<std::uint32_t> rowStart;
    std::vector<std::uint32_t> byRow;
    // A bit per inner cell, whether a site stands in it: row by row, each
    // row in whole words, and again column by column.
    std::vector<std::uint64_t> occupiedBits;
    std::vector<std::uint64_t> occupiedByColumn;
    // The colour of each inner cell's last copy in the list, column by
    // column, where the list is in no order. Kept, like the other arrays,
    // for the next collection, which finds its memory faulted in: fresh
    // memory costs more than the work that fills it.
    std::vector<std::uint32_t> lastCopyAt;

    int farCellSize() const { return std::max(kFarCellScale * cellSize, kSmallestFarCell); }

    bool occupied(int column, int row) const {
        if (column < innerLeft || column >= innerRight) {
            return false;
        }
        const std::size_t bit =
            static_cast<std::size_t>(row - innerBottom) * rowWords() * 64 + column - innerLeft;
        return (occupiedBits[bit >> 6] >> (bit & 63)) & 1u;
    }
    std::size_t rowWords() const {
        return (static_cast<std::size_t>(innerRight - innerLeft) + 63) / 64;
    }
    std::size_t columnWords() const {
        return (static_cast<std::size_t>(innerTop - innerBottom) + 63) / 64;
    }
};

// Grids this large or larger are left to the general search.
constexpr long long kMostLatticeCells = 1LL << 25;
constexpr int kMostLatticeColumns = 1 << 16;

// False, with `lattice` left in an unspecified state, where a site stands
// off the integer points (or at a point that is not finite), the list is
// empty, or the grid would be too large. A list in the extractions' order
// is placed on up to two threads.
bool collectLatticeSites(const Site* head, int radius, int threads, LatticeSites& lattice);
