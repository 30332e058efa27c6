#pragma once

#include <vector>

struct Site;

// Every cone is a pyramid of this many facets; its rim vertices lie in the
// directions k * 2 * pi / kConeSlices, so facet j faces the direction
// (j + 0.5) * 2 * pi / kConeSlices.
constexpr int kConeSlices = 32;

// How far each site's cell can reach, measured along rays from the site in
// the distance that the cone's depth stands for (the 32-gon distance: the
// full cone's rim lies at `radius`). Rays run counter-clockwise from +x,
// raysPerFacet of them per facet, the first of each facet on the facet's
// starting rim direction. A fan through the site and the points at these
// levels covers every point that the site can win by more than
// kCellTieTolerance, at any zoom and pan.
struct CellExtents {
    int raysPerFacet = 1;
    // The sites that can win a pixel, in list order: of several sites at one
    // position only the copy nearest the list's end, the one the full cones
    // would leave on top.
    std::vector<const Site*> drawnSites;
    // raysPerSite() levels per drawn site, each within [0, radius].
    std::vector<double> rayLevels;

    int raysPerSite() const { return kConeSlices * raysPerFacet; }
    const double* levelsOf(int drawnIndex) const {
        return rayLevels.data() + static_cast<std::size_t>(drawnIndex) * raysPerSite();
    }
};

// Differences in 32-gon distance up to this are ties: which of the two sites
// the full cones show there depends on rounding, so either is right.
constexpr double kCellTieTolerance = 1e-3;

// Slack added to every level, so that the rounding of the fan's vertices to
// 32-bit floats never uncovers a pixel of the cell.
constexpr double kCellLevelMargin = 0.5;

// The levels for the sites of the list starting at `head`. A radius of 0 or
// less draws no cones and yields no drawn sites.
CellExtents computeCellExtents(const Site* head, int radius, int raysPerFacet);
