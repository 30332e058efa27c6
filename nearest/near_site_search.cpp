#include "nearest/near_site_search.h"

#include <algorithm>

std::uint32_t NearSiteSearch::siteNear(double x, double y, std::uint32_t fallbackSite) const {
    const int column = buckets.bucketOf(x, grid.originX, buckets.columns);
    const int row = buckets.bucketOf(y, grid.originY, buckets.rows);
    const auto squaredDistance = [&](std::uint32_t index) {
        const double dx = x - buckets.sites[index].x;
        const double dy = y - buckets.sites[index].y;
        return dx * dx + dy * dy;
    };
    std::uint32_t best = fallbackSite;
    double bestDistance = squaredDistance(best);
    const auto scan = [&](int bucket) {
        for (std::uint32_t index = buckets.start[bucket]; index < buckets.start[bucket + 1];
             ++index) {
            const double distance = squaredDistance(index);
            if (distance < bestDistance) {
                bestDistance = distance;
                best = index;
            }
        }
    };
    // The point's own bucket first: no site beyond it is nearer than its
    // edges.
    scan(row * buckets.columns + column);
    const double left = x - grid.originX - column * buckets.size;
    const double below = y - grid.originY - row * buckets.size;
    const double margin = std::min({left, buckets.size - left, below, buckets.size - below});
    if (margin >= 0.0 && bestDistance <= margin * margin) {
        return best;
    }
    for (int bucketRow = std::max(row - 1, 0); bucketRow <= std::min(row + 1, buckets.rows - 1);
         ++bucketRow) {
        for (int bucketColumn = std::max(column - 1, 0);
             bucketColumn <= std::min(column + 1, buckets.columns - 1); ++bucketColumn) {
            if (bucketRow != row || bucketColumn != column) {
                scan(bucketRow * buckets.columns + bucketColumn);
            }
        }
    }
    return best;
}
