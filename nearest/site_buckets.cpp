#include "nearest/site_buckets.h"

#include "cells/large_arrays.h"
#include "cells/thread_sharing.h"
#include "sitemap/site.h"

namespace {

// The grid's cells hold about this many sites on average over the sites'
// bounding box, the buckets about kSitesPerBucket.
constexpr double kSitesPerCell = 4096.0;
constexpr double kSitesPerBucket = 2.0;

double bucketSize(const SiteCandidates& grid, std::size_t siteCount) {
    const double area = grid.columns * grid.rows * grid.cellSize * grid.cellSize;
    double size = grid.cellSize;
    while (size > 1.0 && (size / 2) * (size / 2) * siteCount / area >= kSitesPerBucket / 4) {
        size /= 2;
    }
    return size;
}

}  // namespace

std::vector<SitePoint> collectSites(const Site* head) {
    // Counted first: growing the array step by step costs more than a
    // second walk down the list.
    std::vector<SitePoint> sites;
    reserveLarge(sites, countSites(head));
    std::uint32_t position = 0;
    for (const Site* site = head; site; site = site->next) {
        // The cones stand at positions rounded to 32-bit floats.
        sites.push_back({static_cast<float>(site->x), static_cast<float>(site->y),
                         site->r | (site->g << 8) | (site->b << 16) | (0xFFu << 24), position++});
    }
    return sites;
}

void placeGrid(SiteCandidates& grid, const std::vector<SitePoint>& sites, int radius) {
    double minX = sites.front().x, maxX = minX, minY = sites.front().y, maxY = minY;
    for (const SitePoint& site : sites) {
        minX = std::min(minX, site.x);
        maxX = std::max(maxX, site.x);
        minY = std::min(minY, site.y);
        maxY = std::max(maxY, site.y);
    }
    const double area = std::max((maxX - minX) * (maxY - minY), 1.0);
    const double wanted = std::sqrt(kSitesPerCell * area / static_cast<double>(sites.size()));
    grid.cellSize = std::exp2(std::clamp(std::floor(std::log2(wanted)), 2.0, 8.0));
    // Beyond the radius of every site no cone reaches.
    const double reach = radius + 1.0;
    grid.originX = std::floor((minX - reach) / grid.cellSize) * grid.cellSize;
    grid.originY = std::floor((minY - reach) / grid.cellSize) * grid.cellSize;
    grid.columns = static_cast<int>(std::ceil((maxX + reach - grid.originX) / grid.cellSize));
    grid.rows = static_cast<int>(std::ceil((maxY + reach - grid.originY) / grid.cellSize));
}

Buckets bucketSites(const SiteCandidates& grid, const std::vector<SitePoint>& sites, int threads) {
    Buckets buckets;
    buckets.size = bucketSize(grid, sites.size());
    const int perCell = static_cast<int>(grid.cellSize / buckets.size);
    buckets.columns = grid.columns * perCell;
    buckets.rows = grid.rows * perCell;
    const std::size_t count = static_cast<std::size_t>(buckets.columns) * buckets.rows;
    std::vector<std::uint32_t> bucketOfSite = largeArray<std::uint32_t>(sites.size());
    std::vector<std::uint32_t> start = largeArray<std::uint32_t>(count + 1, 0);
    for (std::size_t index = 0; index < sites.size(); ++index) {
        const int column = buckets.bucketOf(sites[index].x, grid.originX, buckets.columns);
        const int row = buckets.bucketOf(sites[index].y, grid.originY, buckets.rows);
        bucketOfSite[index] = static_cast<std::uint32_t>(row) * buckets.columns + column;
        ++start[bucketOfSite[index] + 1];
    }
    for (std::size_t bucket = 0; bucket < count; ++bucket) {
        start[bucket + 1] += start[bucket];
    }
    std::vector<SitePoint> sorted = largeArray<SitePoint>(sites.size());
    {
        std::vector<std::uint32_t> fill = largeArray<std::uint32_t>(count);
        std::copy_n(start.begin(), count, fill.begin());
        for (std::size_t index = 0; index < sites.size(); ++index) {
            sorted[fill[bucketOfSite[index]]++] = sites[index];
        }
    }
    // Of the copies of one position the one nearest the list's end stays.
    std::vector<std::uint32_t> keptCount = largeArray<std::uint32_t>(count, 0);
    onThreads(threads, [&](int thread) {
        for (std::size_t bucket = thread; bucket < count; bucket += threads) {
            const auto begin = sorted.begin() + start[bucket];
            const auto end = sorted.begin() + start[bucket + 1];
            if (end - begin < 2) {
                keptCount[bucket] = static_cast<std::uint32_t>(end - begin);
                continue;
            }
            std::sort(begin, end, [](const SitePoint& a, const SitePoint& b) {
                return a.x != b.x   ? a.x < b.x
                       : a.y != b.y ? a.y < b.y
                                    : a.listPosition > b.listPosition;
            });
            const auto last = std::unique(begin, end, [](const SitePoint& a, const SitePoint& b) {
                return a.x == b.x && a.y == b.y;
            });
            keptCount[bucket] = static_cast<std::uint32_t>(last - begin);
        }
    });
    buckets.start = largeArray<std::uint32_t>(count + 1, 0);
    buckets.firstOccupied.assign(buckets.rows, buckets.columns);
    buckets.lastOccupied.assign(buckets.rows, -1);
    for (int row = 0; row < buckets.rows; ++row) {
        for (int column = 0; column < buckets.columns; ++column) {
            const std::size_t bucket = static_cast<std::size_t>(row) * buckets.columns + column;
            buckets.start[bucket + 1] = buckets.start[bucket] + keptCount[bucket];
            if (keptCount[bucket] > 0) {
                buckets.firstOccupied[row] = std::min(buckets.firstOccupied[row], column);
                buckets.lastOccupied[row] = column;
            }
        }
    }
    // Without copies the sorted sites stand where they belong already.
    if (buckets.start[count] == sorted.size()) {
        buckets.sites = std::move(sorted);
        return buckets;
    }
    reserveLarge(buckets.sites, buckets.start[count]);
    buckets.sites.resize(buckets.start[count]);
    for (std::size_t bucket = 0; bucket < count; ++bucket) {
        std::copy_n(sorted.begin() + start[bucket], keptCount[bucket],
                    buckets.sites.begin() + buckets.start[bucket]);
    }
    return buckets;
}

// For every grid cell a site near its centre: the one in the cell nearest
// its centre, else one passed on from neighbour to neighbour in two sweeps,
// close to the nearest, which is all it needs to be.
void findSitesNearCentres(const SiteCandidates& grid, Buckets& buckets) {
    const int columns = grid.columns;
    const std::size_t cells = static_cast<std::size_t>(columns) * grid.rows;
    const std::uint32_t kNone = 0xFFFFFFFFu;
    buckets.cellSiteCount.assign(cells, 0);
    buckets.nearCentre.assign(cells, kNone);
    const auto squaredDistance = [&](std::size_t cell, std::uint32_t site) {
        const double dx =
            grid.originX + (cell % columns + 0.5) * grid.cellSize - buckets.sites[site].x;
        const double dy =
            grid.originY + (cell / columns + 0.5) * grid.cellSize - buckets.sites[site].y;
        return dx * dx + dy * dy;
    };
    const auto offer = [&](std::size_t cell, std::uint32_t site) {
        if (site != kNone &&
            (buckets.nearCentre[cell] == kNone ||
             squaredDistance(cell, site) < squaredDistance(cell, buckets.nearCentre[cell]))) {
            buckets.nearCentre[cell] = site;
        }
    };
    for (std::uint32_t site = 0; site < buckets.sites.size(); ++site) {
        const int column =
            std::clamp(static_cast<int>((buckets.sites[site].x - grid.originX) / grid.cellSize), 0,
                       columns - 1);
        const int row =
            std::clamp(static_cast<int>((buckets.sites[site].y - grid.originY) / grid.cellSize), 0,
                       grid.rows - 1);
        const std::size_t cell = static_cast<std::size_t>(row) * columns + column;
        ++buckets.cellSiteCount[cell];
        offer(cell, site);
    }
    static const int kBefore[4][2] = {{-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
    static const int kAfter[4][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}};
    const auto sweep = [&](int row, int column, const int(*steps)[2]) {
        for (int step = 0; step < 4; ++step) {
            const int otherColumn = column + steps[step][0];
            const int otherRow = row + steps[step][1];
            if (otherColumn >= 0 && otherColumn < columns && otherRow >= 0 &&
                otherRow < grid.rows) {
                offer(
                    static_cast<std::size_t>(row) * columns + column,
                    buckets.nearCentre[static_cast<std::size_t>(otherRow) * columns + otherColumn]);
            }
        }
    };
    for (int row = 0; row < grid.rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            sweep(row, column, kBefore);
        }
    }
    for (int row = grid.rows - 1; row >= 0; --row) {
        for (int column = columns - 1; column >= 0; --column) {
            sweep(row, column, kAfter);
        }
    }
}
