#pragma once

#include <cstdint>

#include "nearest/site_buckets.h"

// A site close to a point, from the buckets around it. Euclidean and not
// always the nearest: any site close by bounds a gathering well enough.
class NearSiteSearch {
public:
    NearSiteSearch(const SiteCandidates& grid, const Buckets& buckets)
        : grid(grid), buckets(buckets) {}

    // The fallback where the buckets around (x, y) are empty.
    std::uint32_t siteNear(double x, double y, std::uint32_t fallbackSite) const;

private:
    const SiteCandidates& grid;
    const Buckets& buckets;
};
