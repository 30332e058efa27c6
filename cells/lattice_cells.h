#pragma once

#include <cstdint>
#include <vector>

struct Site;

// A candidate as the screen pass reads it: the site's point relative to the
// lattice's origin (column in the low 16 bits, row in the high 16), and its
// colour (red in the low byte) with the cell's count of candidates in the
// top byte. A cell of one candidate holds it; a cell of several holds the
// index of the first in `more` instead of a point.
struct PackedCandidate {
    std::uint32_t place;
    std::uint32_t colourAndCount;
};

// A site whose cell reaches the rim band, its point, colour and the facets
// (bit k: between rim vertices k and k + 1, counter-clockwise from +x)
// through which it does.
struct LatticeRimSite {
    float x;
    float y;
    std::uint32_t colour;
    std::uint32_t facets;
};

// For sites that all stand on integer points: for every unit cell centred on
// an integer point within the cone radius (and a little beyond) of a site,
// the sites that are nearest in 32-gon distance somewhere in it, exactly:
// one where a site stands in the cell, a few elsewhere. Of several sites at
// one point only the copy the full cones leave on top is listed.
struct LatticeCandidates {
    int originX = 0;  // the raster point at the centre of cell (0, 0)
    int originY = 0;
    int columns = 0;
    int rows = 0;
    std::vector<PackedCandidate> cells;  // row by row
    std::vector<PackedCandidate> more;
    std::vector<LatticeRimSite> rimSites;
    std::size_t siteCount = 0;  // the drawn sites, copies of one point counted once

    // The candidates of the cell holding raster point (x, y); none outside.
    std::vector<PackedCandidate> candidatesAt(double x, double y) const;
};

// The candidates on `threads` threads; false, leaving `candidates` in an
// unspecified state, where a site stands off the integer points, there are
// none, the radius is 0 or less, or the lattice would be too large.
bool computeLatticeCandidates(const Site* head, int radius, int threads,
                              LatticeCandidates& candidates);
