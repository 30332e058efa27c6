#pragma once

#include <cstddef>
#include <vector>

#include "cells/cone_geometry.h"

struct Site;

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
