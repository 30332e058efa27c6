#pragma once

#include "tools/grey_raster.h"

// How many pixels the edge map may light: every pixel becomes a site, and the
// demo's frame time grows with the site count.
constexpr int kMostStrongEdgePixels = 6000;
constexpr int kMostEdgePixels = 12000;

// A line drawing of the picture's edges, one pixel thin, ranked by strength:
// the strongest kMostStrongEdgePixels pixels are 255, the next ones 231..254
// from the stronger down (at most kMostEdgePixels pixels in all), everything
// else 0. Contrast too faint to be an edge (flat areas, noise) stays 0 whatever
// the caps leave room for, so a picture without edges comes out all 0.
GreyRaster detectEdges(const GreyRaster& grey);
