#pragma once

#include "nearest/candidate_grid.h"

struct Site;

// Positions and radii beyond this are no raster's: the largest raster has
// edge 32767.
constexpr int kLargestSiteCoordinate = 32768;

// Works the candidates out on `threads` threads. A radius of 0 or less, or
// no sites, gives an empty grid. Throws std::invalid_argument for a radius or
// a site coordinate beyond kLargestSiteCoordinate (or not a number), and
// std::bad_alloc when memory runs out.
SiteCandidates computeSiteCandidates(const Site* head, int radius, int threads = 2);
