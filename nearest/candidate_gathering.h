#pragma once

#include <cstdint>
#include <vector>

#include "nearest/candidate_square.h"
#include "nearest/near_site_search.h"

// The sites that may show in a square, taken from the buckets within the
// reach that the sites near its corners (or its centre) leave them. The
// list is loose; RivalSelection narrows it.
class CandidateGathering {
public:
    CandidateGathering(const SiteCandidates& grid, const Buckets& buckets, double radius)
        : grid(grid), buckets(buckets), nearSites(grid, buckets), radius(radius) {}

    // `corners` holds a site near each corner of the square (lower left,
    // lower right, upper left, upper right). The list stays valid until the
    // next gathering.
    const std::vector<std::uint32_t>& gather(const Square& square, const std::uint32_t corners[4],
                                             std::uint32_t fallbackSite);

private:
    bool bucketBehindNear(const Square& square, int column, int row,
                          const double nearAtCorner[4]) const;

    const SiteCandidates& grid;
    const Buckets& buckets;
    NearSiteSearch nearSites;
    double radius;
    std::vector<std::uint32_t> gathered;
};
