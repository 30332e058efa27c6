#include "nearest/candidate_gathering.h"

#include <algorithm>
#include <cmath>

#include "nearest/facet_distance.h"

namespace {

// Gatherings that reach farther than this many buckets test whole buckets
// before their sites.
constexpr double kWholeBucketTestReach = 3.0;

}  // namespace

// Whether every site of the bucket is farther than the near site all over
// the square, by more than the tie tolerance: the bucket's centre bounds its
// sites' distances from below, less the bucket's own reach, and the rest
// follows the reasoning of RivalSelection.
bool CandidateGathering::bucketBehindNear(const Square& square, int column, int row,
                                          const double nearAtCorner[4]) const {
    const double centreX = grid.originX + (column + 0.5) * buckets.size;
    const double centreY = grid.originY + (row + 0.5) * buckets.size;
    const double half = square.size / 2;
    const Facet facet = facetOf(square.x0 + half - centreX, square.y0 + half - centreY);
    const double alongX = half * facet.normalX;
    const double alongY = half * facet.normalY;
    // The half diagonal's 32-gon length, with room for rounding.
    const double reach = buckets.size * 0.7072 / kFacetApothem;
    for (int corner = 0; corner < 4; ++corner) {
        const double below = facet.distance + ((corner & 1) ? alongX : -alongX) +
                             ((corner >> 1) ? alongY : -alongY) - reach;
        if (below - nearAtCorner[corner] <= kCellTieTolerance) {
            return false;
        }
    }
    return true;
}

const std::vector<std::uint32_t>& CandidateGathering::gather(const Square& square,
                                                             const std::uint32_t corners[4],
                                                             std::uint32_t fallbackSite) {
    // A site shows in the square only where it is no farther than the
    // nearest, and than the radius. Every point of the square lies in some
    // corner's quarter, so no farther from the site near that corner than
    // its distance there plus the half diagonal.
    double bound = 0.0;
    for (int corner = 0; corner < 4; ++corner) {
        const SitePoint& site = buckets.sites[corners[corner]];
        bound = std::max(
            bound, facetDistance(square.cornerX(corner) - site.x, square.cornerY(corner) - site.y));
    }
    bound += square.size / 2 * kUnitSquareDiagonal;
    // Any one site bounds it too, by its largest distance over the corners
    // (the distance is convex): where the corners are far from the sites,
    // one near the centre bounds it more tightly.
    std::uint32_t near = corners[0];
    double nearAtCorner[4];
    const auto measureNear = [&] {
        double farthest = 0.0;
        for (int corner = 0; corner < 4; ++corner) {
            nearAtCorner[corner] = facetDistance(square.cornerX(corner) - buckets.sites[near].x,
                                                 square.cornerY(corner) - buckets.sites[near].y);
            farthest = std::max(farthest, nearAtCorner[corner]);
        }
        return farthest;
    };
    const bool corneredTightly = bound <= square.size;
    if (!corneredTightly) {
        near = nearSites.siteNear(square.x0 + square.size / 2, square.y0 + square.size / 2,
                                  fallbackSite);
        bound = std::min(bound, measureNear());
    }
    const double limit = std::min(bound + kCellTieTolerance, radius + kRimReach);
    gathered.clear();
    const int lowColumn = buckets.bucketOf(square.x0 - limit, grid.originX, buckets.columns);
    const int highColumn =
        buckets.bucketOf(square.x0 + square.size + limit, grid.originX, buckets.columns);
    const int lowRow = buckets.bucketOf(square.y0 - limit, grid.originY, buckets.rows);
    const int highRow =
        buckets.bucketOf(square.y0 + square.size + limit, grid.originY, buckets.rows);
    const double middleColumn = (square.x0 + square.size / 2 - grid.originX) / buckets.size;
    const double middleRow = (square.y0 + square.size / 2 - grid.originY) / buckets.size;
    const double halfWidth = square.size / 2 / buckets.size;
    // Far from the sites the gathering reaches over many buckets, most of
    // them behind the near site everywhere in the square.
    const bool farReach = limit > kWholeBucketTestReach * buckets.size;
    if (farReach && corneredTightly) {
        measureNear();
    }
    for (int bucketRow = lowRow; bucketRow <= highRow; ++bucketRow) {
        const double gapY =
            std::max(0.0, std::fabs(bucketRow + 0.5 - middleRow) - halfWidth - 0.5) * buckets.size;
        if (gapY > limit) {
            continue;
        }
        // Only the row's occupied stretch, within the limit's chord.
        const double chord = std::sqrt(limit * limit - gapY * gapY) / buckets.size + halfWidth;
        const int first = std::max({lowColumn, static_cast<int>(middleColumn - chord) - 1,
                                    buckets.firstOccupied[bucketRow]});
        const int last = std::min({highColumn, static_cast<int>(middleColumn + chord) + 1,
                                   buckets.lastOccupied[bucketRow]});
        for (int bucketColumn = first; bucketColumn <= last; ++bucketColumn) {
            const int bucket = bucketRow * buckets.columns + bucketColumn;
            if (buckets.start[bucket] == buckets.start[bucket + 1] ||
                (farReach && bucketBehindNear(square, bucketColumn, bucketRow, nearAtCorner))) {
                continue;
            }
            for (std::uint32_t index = buckets.start[bucket]; index < buckets.start[bucket + 1];
                 ++index) {
                const SitePoint& site = buckets.sites[index];
                if (squaredDistanceToSquare(site.x, site.y, square) <= limit * limit) {
                    gathered.push_back(index);
                }
            }
        }
    }
    return gathered;
}
