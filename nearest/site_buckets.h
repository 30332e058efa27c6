#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "nearest/candidate_grid.h"

struct Site;

// A site as the candidate search sees it: at its position rounded to 32-bit
// floats (where its cone stands), with its place in the list.
struct SitePoint {
    double x;
    double y;
    std::uint32_t colour;
    std::uint32_t listPosition;
};

// The sites in square buckets that tile the grid, copies of one position
// dropped.
struct Buckets {
    double size = 1.0;  // the grid's cell size divided by a power of two
    int columns = 0;
    int rows = 0;
    std::vector<SitePoint> sites;
    std::vector<std::uint32_t> start;  // bucket b holds sites[start[b]] to sites[start[b + 1] - 1]
    // Each bucket row's first and last bucket with sites (first > last when none).
    std::vector<int> firstOccupied;
    std::vector<int> lastOccupied;
    // For each grid cell: the sites in it, and a site near its centre.
    std::vector<std::uint32_t> cellSiteCount;
    std::vector<std::uint32_t> nearCentre;

    int bucketOf(double at, double origin, int count) const {
        return std::clamp(static_cast<int>(std::floor((at - origin) / size)), 0, count - 1);
    }
};

// The list's sites, in list order.
std::vector<SitePoint> collectSites(const Site* head);
// Places the grid's cells over the sites, reaching the radius beyond them,
// about 4,096 sites to a cell on average.
void placeGrid(SiteCandidates& grid, const std::vector<SitePoint>& sites, int radius);
// Buckets of about two sites on average that tile the grid's cells.
Buckets bucketSites(const SiteCandidates& grid, const std::vector<SitePoint>& sites, int threads);
// Fills in the buckets' per-cell counts and sites near the cells' centres.
void findSitesNearCentres(const SiteCandidates& grid, Buckets& buckets);
