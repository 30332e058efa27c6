#pragma once

#include <cstdint>
#include <vector>

struct Site;

// A drawn site in lattice units: its cell's column and row.
struct LatticeSite {
    std::int32_t column;
    std::int32_t row;
    std::uint32_t colour;  // red in the low byte, then green and blue
};

// The sites of a list whose cones all stand on integer points, as every
// extraction leaves them, on a grid of unit cells centred on those points
// that reaches the cone radius and a little beyond around them. Of several
// sites at one point only the copy the full cones leave on top is kept (the
// one nearest the list's end).
struct LatticeSites {
    int originX = 0;  // the raster point at the centre of cell (0, 0)
    int originY = 0;
    int columns = 0;
    int rows = 0;
    // Column by column, each column by row.
    std::vector<LatticeSite> sites;
    std::vector<std::uint32_t>
        columnStart;  // column c: sites[columnStart[c]] to [columnStart[c + 1] - 1]
    // The same sites row by row, each row by column, as indices into sites.
    std::vector<std::uint32_t> rowStart;
    std::vector<std::uint32_t> byRow;
};

// Grids this large or larger are left to the general search.
constexpr long long kMostLatticeCells = 1LL << 25;
constexpr int kMostLatticeColumns = 1 << 16;

// False, with `lattice` left in an unspecified state, where a site stands
// off the integer points (or at a point that is not finite), the list is
// empty, or the grid would be too large.
bool collectLatticeSites(const Site* head, int radius, LatticeSites& lattice);
