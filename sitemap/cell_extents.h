#pragma once

#include <cstddef>
#include <vector>

struct Site;

// Every cone is a pyramid of this many facets; its rim vertices lie in the
// directions k * 2 * pi / kConeSlices, so facet j faces the direction
// (j + 0.5) * 2 * pi / kConeSlices.
constexpr int kConeSlices = 32;

// Differences in 32-gon distance up to this are ties: which of the two sites
// the full cones show there depends on rounding, so either is right.
constexpr double kCellTieTolerance = 1e-3;

// Slack added to every level, so that the rounding of the fan's vertices to
// 32-bit floats never uncovers a pixel of the cell.
constexpr double kCellLevelMargin = 0.5;

// A ray from a site, and how far along it the site's fan reaches, in the
// distance that the cone's depth stands for (the 32-gon distance: the full
// cone's rim lies at `radius`).
struct FanRay {
    double angle;  // counter-clockwise from +x, in [0, 2 * pi)
    double unitX;  // the ray's point at 32-gon distance 1 from the site
    double unitY;
    double level;  // where the fan's vertex lies, within the rim
    bool onRim;    // in a rim direction, between two facets
};

// How far each site's cell can reach. The rays are dense where the cell is
// long and thin, and sparse, one triangle spanning several facets, where it
// is short. The fan through the site and the rays' points at their levels
// covers every point within the cone's rim that the site can win by more
// than kCellTieTolerance, at any zoom and pan, and nothing beyond the rim.
struct CellExtents {
    // The sites that can win a pixel, in list order: of several sites at one
    // position only the copy nearest the list's end, the one the full cones
    // would leave on top.
    std::vector<const Site*> drawnSites;
    // The rays of drawn site i are rays[firstRay[i]] to rays[firstRay[i + 1] - 1].
    std::vector<std::size_t> firstRay;
    std::vector<FanRay> rays;

    const FanRay* raysBegin(std::size_t drawnIndex) const { return &rays[firstRay[drawnIndex]]; }
    const FanRay* raysEnd(std::size_t drawnIndex) const {
        return rays.data() + firstRay[drawnIndex + 1];
    }
};

// The extents for the sites of the list starting at `head`. A radius of 0
// or less draws no cones and yields no drawn sites. `areaPerRay` (square
// raster pixels) is the overdraw that one more ray must save to be added.
CellExtents computeCellExtents(const Site* head, int radius, double areaPerRay = 32.0);
