#pragma once

#include <cstdint>
#include <vector>

#include "cells/marker_points.h"
#include "nearest/lattice_sites.h"
#include "nearest/packed_cell.h"

struct Site;

// A site whose cell reaches the rim band, its point, colour and the facets
// (bit k: between rim vertices k and k + 1, counter-clockwise from +x)
// through which it does, and the box of the cells where it does: its rim
// shows nowhere else.
struct LatticeRimSite {
    float x;
    float y;
    std::uint32_t colour;
    std::uint32_t facets;
    float left;
    float bottom;
    float right;
    float top;
};

// For sites that all stand on integer points: for every cell of a grid that
// covers the points within the cone radius (and a little beyond) of a site,
// the sites that are nearest in 32-gon distance somewhere in it, exactly.
// The grid is laid over unit squares centred on the integer points. Over
// the sites' box its cells are cellSize of them square (one where the sites
// crowd, and then a site standing in a cell is its only candidate), beyond
// it far cells farCellSize square. Of several sites at one point
// only the copy the full cones leave on top is listed.
struct LatticeCandidates {
    int originX = 0;  // the raster point at the centre of unit square (0, 0)
    int originY = 0;
    int cellSize = 1;
    int farCellSize = 1;
    int columns = 0;  // in unit squares, multiples of the far cells' size
    int rows = 0;
    // The inner part: unit squares innerLeft to innerRight - 1 and
    // innerBottom to innerTop - 1.
    int innerLeft = 0;
    int innerRight = 0;
    int innerBottom = 0;
    int innerTop = 0;
    std::vector<PackedCell> innerCells;  // row by row
    // The far cells of the whole grid, row by row; those of the inner part
    // are empty.
    std::vector<PackedCell> farCells;
    std::vector<PackedCandidate> more;
    std::vector<LatticeRimSite> rimSites;
    // The sites' points by x, then y, each once: the markers' points, which
    // the lattice holds sorted so.
    std::vector<MarkerPoint> points;
    // The sites as placed on the lattice, kept so that the next computation
    // uses their arrays' memory again.
    LatticeSites placed;

    // The candidates of the cell holding raster point (x, y); none outside.
    std::vector<PackedCandidate> candidatesAt(double x, double y) const;
};

// The candidates on `threads` threads; false, leaving `candidates` in an
// unspecified state, where a site stands off the integer points, there are
// none, the radius is 0 or less, or the grid would be too large.
bool computeLatticeCandidates(const Site* head, int radius, int threads,
                              LatticeCandidates& candidates);
