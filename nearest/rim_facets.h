#pragma once

#include <cstdint>
#include <vector>

#include "nearest/candidate_square.h"
#include "nearest/site_buckets.h"

// Where the nearest distance can reach the rim strips somewhere in a leaf,
// every site listed there may show at its rim, through the facets that face
// the leaf: those sites and facets are added to `rimSites`.
void markRimFacets(const Square& square, const std::vector<std::uint32_t>& listed,
                   const Buckets& buckets, double radius, std::vector<RimSite>& rimSites);
