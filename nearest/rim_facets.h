#pragma once

#include <cstdint>
#include <vector>

#include "nearest/candidate_square.h"
#include "nearest/site_buckets.h"

// The largest 32-gon distance from (siteX, siteY) to the square's corners:
// the distance is convex, so that is its largest over the square.
double farthestCorner(double siteX, double siteY, const Square& square);

// The facets of the cone at (siteX, siteY) that face a square seen from it
// under less than a half turn (bit k: between rim vertices k and k + 1): those
// between the directions of its corners, and one more on either side.
std::uint32_t facetsTowards(double siteX, double siteY, const Square& square);

// Where the nearest distance can reach the rim strips somewhere in a leaf,
// every site listed there may show at its rim, through the facets that face
// the leaf: those sites and facets are added to `rimSites`.
void markRimFacets(const Square& square, const std::vector<std::uint32_t>& listed,
                   const Buckets& buckets, double radius, std::vector<RimSite>& rimSites);
