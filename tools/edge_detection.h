#pragma once

#include "tools/grey_raster.h"

// How many pixels the edge map may light: every pixel becomes a site, and the
// demo's frame time grows with the site count.
constexpr int kMostStrongEdgePixels = 6000;
constexpr int kMostEdgePixels = 12000;

// A line drawing of the picture's edges, one pixel thin: the strongest edges
// (at most kMostStrongEdgePixels pixels) are 255, weaker ones 231..254 by
// strength (at most kMostEdgePixels pixels in all), everything else 0.
// Contrast too faint to be an edge (flat areas, noise) stays 0 whatever the caps
// leave room for.
GreyRaster detectEdges(const GreyRaster& grey);
