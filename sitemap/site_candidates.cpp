#include "sitemap/site_candidates.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>

#include "sitemap/cell_extents.h"
#include "sitemap/large_arrays.h"
#include "sitemap/site.h"
#include "sitemap/site_buckets.h"

namespace {

// A leaf with more candidates than this is cut into four, down to
// kSmallestCell: the screen pass's cost grows with the candidates per pixel.
constexpr std::size_t kMostCandidates = 8;
constexpr double kSmallestCell = 0.25;
constexpr std::size_t kDeepest = 16;
constexpr std::size_t kMostRivals = 9;
// Where a grid cell holds many sites, it is cut into squares of about this
// many from the start, each gathering its sites from the buckets.
constexpr double kSitesPerSquare = 1.0;
// Gatherings that reach farther than this many buckets test whole buckets
// before their sites.
constexpr double kWholeBucketTestReach = 3.0;
// The 32-gon length of the diagonal of a unit square, rounded up: at most
// the Euclidean one over cos(pi / 32).
constexpr double kDiagonal = 1.4211;

struct Normals {
    double x[kConeSlices / 8];
    double y[kConeSlices / 8];
    // tangent[k]: the tangent of the edge between facets k and k + 1.
    double tangent[kConeSlices / 8 - 1];
    Normals() {
        const double kPi = 3.14159265358979323846;
        for (int facet = 0; facet < kConeSlices / 8; ++facet) {
            const double angle = (facet + 0.5) * 2.0 * kPi / kConeSlices;
            x[facet] = std::cos(angle) / std::cos(kPi / kConeSlices);
            y[facet] = std::sin(angle) / std::cos(kPi / kConeSlices);
        }
        for (int edge = 0; edge + 1 < kConeSlices / 8; ++edge) {
            tangent[edge] = std::tan((edge + 1) * 2.0 * kPi / kConeSlices);
        }
    }
};
const Normals kNormals;

// The 32-gon distance of an offset and the (pre-divided) normal of the facet
// that measures it: normal . v never exceeds the distance of any offset v,
// so it bounds the distance linearly from below.
struct Facet {
    double distance;
    double normalX;
    double normalY;
};

// The facet is the one whose sector holds the offset: folded into the first
// octant, it is found by comparisons alone, which keeps this hot loop free
// of unpredictable branches.
Facet facetOf(double vx, double vy) {
    const double absX = std::fabs(vx);
    const double absY = std::fabs(vy);
    const double ax = std::max(absX, absY);
    const double ay = std::min(absX, absY);
    int best = 0;
    for (int edge = 0; edge + 1 < kConeSlices / 8; ++edge) {
        best += ay > kNormals.tangent[edge] * ax;
    }
    const double distance = kNormals.x[best] * ax + kNormals.y[best] * ay;
    const bool swapped = absY > absX;
    const double nx = swapped ? kNormals.y[best] : kNormals.x[best];
    const double ny = swapped ? kNormals.x[best] : kNormals.y[best];
    return {distance, std::copysign(nx, vx), std::copysign(ny, vy)};
}

// The distance alone is the largest over the first octant's facets: no
// table look-up, no branch.
double facetDistance(double vx, double vy) {
    const double absX = std::fabs(vx);
    const double absY = std::fabs(vy);
    const double ax = std::max(absX, absY);
    const double ay = std::min(absX, absY);
    double distance = kNormals.x[0] * ax + kNormals.y[0] * ay;
    for (int facet = 1; facet < kConeSlices / 8; ++facet) {
        distance = std::max(distance, kNormals.x[facet] * ax + kNormals.y[facet] * ay);
    }
    return distance;
}

struct Square {
    double x0;
    double y0;
    double size;
    double cornerX(int corner) const { return x0 + (corner & 1) * size; }
    double cornerY(int corner) const { return y0 + (corner >> 1) * size; }
    Square quarter(int which) const {
        const double half = size / 2;
        return {x0 + (which & 1) * half, y0 + (which >> 1) * half, half};
    }
};

// The square of the Euclidean distance from a point to a square; that
// distance bounds the 32-gon one from below.
double squaredDistanceToSquare(double x, double y, const Square& square) {
    const double dx = std::max({square.x0 - x, 0.0, x - square.x0 - square.size});
    const double dy = std::max({square.y0 - y, 0.0, y - square.y0 - square.size});
    return dx * dx + dy * dy;
}

// Works the cells of one thread out, keeping its nodes and candidates apart
// until all threads are done.
class CellWorker {
public:
    CellWorker(const SiteCandidates& grid, const Buckets& buckets, double radius)
        : grid(grid), buckets(buckets), radius(radius), kept(kDeepest) {}

    CandidateNode cell(int column, int row) {
        const Square square{grid.originX + column * grid.cellSize,
                            grid.originY + row * grid.cellSize, grid.cellSize};
        const int cell = row * grid.columns + column;
        int levels = 0;
        if (buckets.cellSiteCount[cell] > 0) {
            const double density = buckets.cellSiteCount[cell] / (square.size * square.size);
            const double wanted = std::sqrt(kSitesPerSquare / density);
            while (levels < 8 && square.size / (1 << (levels + 1)) >= wanted) {
                ++levels;
            }
        }
        // A site near every corner of the squares, each corner shared by up
        // to four of them.
        const int span = 1 << levels;
        const double step = square.size / span;
        cornerSites.resize(static_cast<std::size_t>(span + 1) * (span + 1));
        for (int cornerRow = 0; cornerRow <= span; ++cornerRow) {
            for (int cornerColumn = 0; cornerColumn <= span; ++cornerColumn) {
                cornerSites[cornerRow * (span + 1) + cornerColumn] =
                    siteNear(square.x0 + cornerColumn * step, square.y0 + cornerRow * step,
                             buckets.nearCentre[cell]);
            }
        }
        cornerColumns = span + 1;
        return cutInto(square, levels, 0, 0, buckets.nearCentre[cell]);
    }

    std::vector<CandidateNode> nodes;
    std::vector<std::uint32_t> candidates;
    std::vector<RimSite> rimFacets;

private:
    // The square's lower left corner is corner (column, row) of the cell's
    // corner table.
    CandidateNode cutInto(const Square& square, int levels, int column, int row,
                          std::uint32_t fallbackSite) {
        if (levels == 0) {
            const std::uint32_t corners[4] = {cornerSites[row * cornerColumns + column],
                                              cornerSites[row * cornerColumns + column + 1],
                                              cornerSites[(row + 1) * cornerColumns + column],
                                              cornerSites[(row + 1) * cornerColumns + column + 1]};
            return gatherInto(square, corners, fallbackSite);
        }
        growLarge(nodes, 4);
        const auto first = static_cast<std::uint32_t>(nodes.size());
        nodes.resize(nodes.size() + 4);
        const int half = 1 << (levels - 1);
        for (int which = 0; which < 4; ++which) {
            const CandidateNode quarter =
                cutInto(square.quarter(which), levels - 1, column + (which & 1) * half,
                        row + (which >> 1) * half, fallbackSite);
            nodes[first + which] = quarter;
        }
        return {first, kSplitNode};
    }

    // A site near point (x, y) from the buckets around it, or the fallback
    // where they are empty.
    std::uint32_t siteNear(double x, double y, std::uint32_t fallbackSite) const {
        const int column = buckets.bucketOf(x, grid.originX, buckets.columns);
        const int row = buckets.bucketOf(y, grid.originY, buckets.rows);
        // Euclidean: any site close by bounds the gathering well enough.
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
        // The point's own bucket first: no site beyond it is nearer than
        // its edges.
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

    // Whether every site of the bucket is farther than the near site all
    // over the square, by more than the tie tolerance: the bucket's centre
    // bounds its sites' distances from below, less the bucket's own reach,
    // and the rest follows the reasoning of select.
    bool bucketBehindNear(const Square& square, int column, int row,
                          const double nearAtCorner[4]) const {
        const double centreX = grid.originX + (column + 0.5) * buckets.size;
        const double centreY = grid.originY + (row + 0.5) * buckets.size;
        const double half = square.size / 2;
        const Facet facet = facetOf(square.x0 + half - centreX, square.y0 + half - centreY);
        const double alongX = half * facet.normalX;
        const double alongY = half * facet.normalY;
        // The half diagonal's 32-gon length, with room for rounding.
        const double reach = buckets.size * 0.7072 / std::cos(3.14159265358979323846 / kConeSlices);
        for (int corner = 0; corner < 4; ++corner) {
            const double below = facet.distance + ((corner & 1) ? alongX : -alongX) +
                                 ((corner >> 1) ? alongY : -alongY) - reach;
            if (below - nearAtCorner[corner] <= kCellTieTolerance) {
                return false;
            }
        }
        return true;
    }

    CandidateNode gatherInto(const Square& square, const std::uint32_t corners[4],
                             std::uint32_t fallbackSite) {
        // A site shows in the square only where it is no farther than the
        // nearest, and than the radius. Every point of the square lies in
        // some corner's quarter, so no farther from the site near that corner
        // than its distance there plus the half diagonal.
        double bound = 0.0;
        for (int corner = 0; corner < 4; ++corner) {
            const SitePoint& site = buckets.sites[corners[corner]];
            bound = std::max(bound, facetDistance(square.cornerX(corner) - site.x,
                                                  square.cornerY(corner) - site.y));
        }
        bound += square.size / 2 * kDiagonal;
        // Any one site bounds it too, by its largest distance over the
        // corners (the distance is convex): where the corners are far from
        // the sites, one near the centre bounds it more tightly.
        std::uint32_t near = corners[0];
        double nearAtCorner[4];
        const auto measureNear = [&] {
            double farthest = 0.0;
            for (int corner = 0; corner < 4; ++corner) {
                nearAtCorner[corner] =
                    facetDistance(square.cornerX(corner) - buckets.sites[near].x,
                                  square.cornerY(corner) - buckets.sites[near].y);
                farthest = std::max(farthest, nearAtCorner[corner]);
            }
            return farthest;
        };
        const bool corneredTightly = bound <= square.size;
        if (!corneredTightly) {
            near = siteNear(square.x0 + square.size / 2, square.y0 + square.size / 2, fallbackSite);
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
                std::max(0.0, std::fabs(bucketRow + 0.5 - middleRow) - halfWidth - 0.5) *
                buckets.size;
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
        return refine(square, gathered, 0);
    }

    // Where the nearest distance can reach the rim strips somewhere in the
    // leaf (it is at most any listed site's largest over the corners), every
    // listed site may show there, through the facets that face the leaf.
    void markRimFacets(const Square& square, const std::vector<std::uint32_t>& listed) {
        // Most leaves lie well inside the radius of their first site.
        if (!listed.empty()) {
            const SitePoint& site = buckets.sites[listed.front()];
            const double dx = std::max(site.x - square.x0, square.x0 + square.size - site.x);
            const double dy = std::max(site.y - square.y0, square.y0 + square.size - site.y);
            if (std::sqrt(dx * dx + dy * dy) * kDiagonal / std::sqrt(2.0) < radius - kRimStrip) {
                return;
            }
        }
        double nearestAtMost = std::numeric_limits<double>::infinity();
        for (std::uint32_t index : listed) {
            const SitePoint& site = buckets.sites[index];
            double farthest = 0.0;
            for (int corner = 0; corner < 4; ++corner) {
                farthest = std::max(farthest, facetDistance(square.cornerX(corner) - site.x,
                                                            square.cornerY(corner) - site.y));
            }
            nearestAtMost = std::min(nearestAtMost, farthest);
        }
        if (listed.empty() || nearestAtMost < radius - kRimStrip) {
            return;
        }
        const double kPi = 3.14159265358979323846;
        const double facetAngle = 2.0 * kPi / kConeSlices;
        for (std::uint32_t index : listed) {
            const SitePoint& site = buckets.sites[index];
            if (squaredDistanceToSquare(site.x, site.y, square) < square.size * square.size) {
                rimFacets.push_back({index, 0xFFFFFFFFu});
                continue;
            }
            // The square is seen from the site under less than a half turn.
            const double middle = std::atan2(square.y0 + square.size / 2 - site.y,
                                             square.x0 + square.size / 2 - site.x);
            double low = 0.0;
            double high = 0.0;
            for (int corner = 0; corner < 4; ++corner) {
                double turn =
                    std::atan2(square.cornerY(corner) - site.y, square.cornerX(corner) - site.x) -
                    middle;
                turn -= 2.0 * kPi * std::round(turn / (2.0 * kPi));
                low = std::min(low, turn);
                high = std::max(high, turn);
            }
            std::uint32_t facets = 0;
            const int first = static_cast<int>(std::floor((middle + low) / facetAngle)) - 1;
            const int last = static_cast<int>(std::floor((middle + high) / facetAngle)) + 1;
            for (int facet = first; facet <= last; ++facet) {
                facets |= 1u << (((facet % kConeSlices) + kConeSlices) % kConeSlices);
            }
            rimFacets.push_back({index, facets});
        }
    }

    // Keeps the sites of `from` that can show in the square, then cuts the
    // square into quarters while they are many.
    CandidateNode refine(const Square& square, const std::vector<std::uint32_t>& from,
                         std::size_t depth) {
        std::vector<std::uint32_t>& keep = kept[depth];
        select(square, from, keep);
        if (keep.size() > kMostCandidates && square.size > kSmallestCell && depth + 1 < kDeepest) {
            growLarge(nodes, 4);
            const auto first = static_cast<std::uint32_t>(nodes.size());
            nodes.resize(nodes.size() + 4);
            for (int which = 0; which < 4; ++which) {
                const CandidateNode quarter = refine(square.quarter(which), kept[depth], depth + 1);
                nodes[first + which] = quarter;
            }
            return {first, kSplitNode};
        }
        markRimFacets(square, keep);
        growLarge(candidates, keep.size());
        const auto first = static_cast<std::uint32_t>(candidates.size());
        candidates.insert(candidates.end(), keep.begin(), keep.end());
        return {first, static_cast<std::uint32_t>(keep.size())};
    }

    // Site s can show at a point p of the square only if d_s(p) is within
    // the tolerance of d_t(p) for every other site t, and d_s(p) within the
    // radius. Below d_s lies the plane of its facet at the centre;
    // d_t is convex, so on each half of the square it lies below the plane
    // through its corner values. The difference of the two planes is least
    // at a corner, which gives a lower bound of d_s - d_t, exact where both
    // are planar, far from the sites.
    void select(const Square& square, const std::vector<std::uint32_t>& from,
                std::vector<std::uint32_t>& keep) {
        keep.clear();
        if (from.empty()) {
            return;
        }
        const double half = square.size / 2;
        const double centreX = square.x0 + half;
        const double centreY = square.y0 + half;
        facets.resize(from.size());
        std::size_t nearest = 0;
        for (std::size_t position = 0; position < from.size(); ++position) {
            const SitePoint& site = buckets.sites[from[position]];
            facets[position] = facetOf(centreX - site.x, centreY - site.y);
            if (facets[position].distance < facets[nearest].distance) {
                nearest = position;
            }
        }
        // The rivals: the site nearest the centre, those nearest the corners
        // and the first few sites in the square, each of which owns a
        // stretch of it; any one that is nearer everywhere rules a site out.
        std::uint32_t nearestToCorner[4];
        double cornerDistance[4];
        std::fill(cornerDistance, cornerDistance + 4, std::numeric_limits<double>::infinity());
        for (std::uint32_t index : from) {
            const SitePoint& site = buckets.sites[index];
            for (int corner = 0; corner < 4; ++corner) {
                const double dx = square.cornerX(corner) - site.x;
                const double dy = square.cornerY(corner) - site.y;
                if (dx * dx + dy * dy < cornerDistance[corner]) {
                    cornerDistance[corner] = dx * dx + dy * dy;
                    nearestToCorner[corner] = index;
                }
            }
        }
        rivals.assign(1, from[nearest]);
        const auto addRival = [&](std::uint32_t index) {
            if (rivals.size() < kMostRivals &&
                std::find(rivals.begin(), rivals.end(), index) == rivals.end()) {
                rivals.push_back(index);
            }
        };
        for (std::uint32_t index : nearestToCorner) {
            addRival(index);
        }
        for (std::uint32_t index : from) {
            const SitePoint& site = buckets.sites[index];
            if (site.x >= square.x0 && site.x <= square.x0 + square.size && site.y >= square.y0 &&
                site.y <= square.y0 + square.size) {
                addRival(index);
            }
            if (rivals.size() == kMostRivals) {
                break;
            }
        }
        double rivalAtCorner[kMostRivals][4];
        for (std::size_t rival = 0; rival < rivals.size(); ++rival) {
            const SitePoint& site = buckets.sites[rivals[rival]];
            for (int corner = 0; corner < 4; ++corner) {
                rivalAtCorner[rival][corner] =
                    facetDistance(square.cornerX(corner) - site.x, square.cornerY(corner) - site.y);
            }
        }
        for (std::size_t position = 0; position < from.size(); ++position) {
            // The facet's plane at a corner: the centre's distance plus the
            // normal's share of the step from the centre to the corner.
            const Facet& facet = facets[position];
            const double alongX = half * facet.normalX;
            const double alongY = half * facet.normalY;
            const double least = facet.distance - std::fabs(alongX) - std::fabs(alongY);
            double below[4];
            for (int corner = 0; corner < 4; ++corner) {
                below[corner] = facet.distance + ((corner & 1) ? alongX : -alongX) +
                                ((corner >> 1) ? alongY : -alongY);
            }
            bool ruledOut = false;
            for (std::size_t rival = 0; rival < rivals.size() && !ruledOut; ++rival) {
                double leastOverRival = std::numeric_limits<double>::infinity();
                for (int corner = 0; corner < 4; ++corner) {
                    leastOverRival =
                        std::min(leastOverRival, below[corner] - rivalAtCorner[rival][corner]);
                }
                ruledOut = leastOverRival > kCellTieTolerance;
            }
            if (least <= radius + kRimReach && !ruledOut) {
                keep.push_back(from[position]);
            }
        }
    }

    const SiteCandidates& grid;
    const Buckets& buckets;
    double radius;
    std::vector<std::uint32_t> gathered;
    std::vector<std::vector<std::uint32_t>> kept;
    std::vector<std::uint32_t> cornerSites;
    int cornerColumns = 0;
    std::vector<Facet> facets;
    std::vector<std::uint32_t> rivals;
};

}  // namespace

const CandidateNode* SiteCandidates::leafAt(double x, double y) const {
    double column = (x - originX) / cellSize;
    double row = (y - originY) / cellSize;
    if (!(column >= 0 && row >= 0 && column < columns && row < rows)) {
        return nullptr;
    }
    const CandidateNode* node = &nodes[static_cast<int>(row) * columns + static_cast<int>(column)];
    column -= std::floor(column);
    row -= std::floor(row);
    while (node->count == kSplitNode) {
        column *= 2;
        row *= 2;
        const int right = column >= 1.0;
        const int upper = row >= 1.0;
        column -= right;
        row -= upper;
        node = &nodes[node->first + right + 2 * upper];
    }
    return node;
}

namespace {

// Beyond these the grid's cell count overflows its int, and NaNs or
// infinities place no grid at all.
void refuseUnplaceableInput(const Site* head, int radius) {
    if (radius > kLargestSiteCoordinate) {
        throw std::invalid_argument("site candidates: radius " + std::to_string(radius) +
                                    " is beyond " + std::to_string(kLargestSiteCoordinate));
    }
    for (const Site* site = head; site; site = site->next) {
        if (!(std::fabs(site->x) <= kLargestSiteCoordinate &&
              std::fabs(site->y) <= kLargestSiteCoordinate)) {
            throw std::invalid_argument("site candidates: site at (" + std::to_string(site->x) +
                                        ", " + std::to_string(site->y) + ") is beyond +-" +
                                        std::to_string(kLargestSiteCoordinate));
        }
    }
}

}  // namespace

SiteCandidates computeSiteCandidates(const Site* head, int radius, int threads) {
    SiteCandidates grid;
    if (!head || radius <= 0) {
        return grid;
    }
    refuseUnplaceableInput(head, radius);
    threads = std::max(threads, 1);
    const std::vector<SitePoint> points = collectSites(head);
    placeGrid(grid, points, radius);
    Buckets buckets = bucketSites(grid, points, threads);
    findSitesNearCentres(grid, buckets);

    const int cells = grid.columns * grid.rows;
    std::vector<CandidateNode> roots(cells);
    std::vector<unsigned char> rootThread(cells);
    std::vector<CellWorker> workers(threads, CellWorker(grid, buckets, radius));
    // Room for what dense rasters need, so that the arrays seldom grow.
    for (CellWorker& worker : workers) {
        reserveLarge(worker.nodes, 2 * buckets.sites.size() / threads);
        reserveLarge(worker.candidates, 8 * buckets.sites.size() / threads);
    }
    // Cell by cell: on an edge raster a few cells hold most of the work.
    std::atomic<int> nextCell{0};
    onThreads(threads, [&](int thread) {
        for (int cell = nextCell++; cell < cells; cell = nextCell++) {
            roots[cell] = workers[thread].cell(cell % grid.columns, cell / grid.columns);
            rootThread[cell] = static_cast<unsigned char>(thread);
        }
    });

    // One node array: the cells first, then each thread's quarters.
    std::vector<std::uint32_t> nodeBase(threads), candidateBase(threads);
    std::size_t nodeCount = cells, candidateCount = 0;
    for (int thread = 0; thread < threads; ++thread) {
        nodeBase[thread] = static_cast<std::uint32_t>(nodeCount);
        candidateBase[thread] = static_cast<std::uint32_t>(candidateCount);
        nodeCount += workers[thread].nodes.size();
        candidateCount += workers[thread].candidates.size();
    }
    const auto rebased = [&](CandidateNode node, int thread) {
        node.first += node.count == kSplitNode ? nodeBase[thread] : candidateBase[thread];
        return node;
    };
    // Every thread moves its own share.
    reserveLarge(grid.nodes, nodeCount);
    grid.nodes.resize(nodeCount);
    reserveLarge(grid.candidates, candidateCount);
    grid.candidates.resize(candidateCount);
    reserveLarge(grid.sites, buckets.sites.size());
    grid.sites.resize(buckets.sites.size());
    onThreads(threads, [&](int thread) {
        for (int cell = thread; cell < cells; cell += threads) {
            grid.nodes[cell] = rebased(roots[cell], rootThread[cell]);
        }
        const CellWorker& worker = workers[thread];
        std::transform(worker.nodes.begin(), worker.nodes.end(),
                       grid.nodes.begin() + nodeBase[thread],
                       [&](CandidateNode node) { return rebased(node, thread); });
        std::copy(worker.candidates.begin(), worker.candidates.end(),
                  grid.candidates.begin() + candidateBase[thread]);
        const std::size_t first = buckets.sites.size() * thread / threads;
        const std::size_t last = buckets.sites.size() * (thread + 1) / threads;
        for (std::size_t index = first; index < last; ++index) {
            const SitePoint& site = buckets.sites[index];
            grid.sites[index] = {static_cast<float>(site.x), static_cast<float>(site.y),
                                 site.colour, 0};
        }
    });
    // Few sites reach the rim: their facets are gathered by sorting.
    for (const CellWorker& worker : workers) {
        grid.rimSites.insert(grid.rimSites.end(), worker.rimFacets.begin(), worker.rimFacets.end());
    }
    std::sort(grid.rimSites.begin(), grid.rimSites.end(),
              [](const RimSite& a, const RimSite& b) { return a.site < b.site; });
    std::size_t kept = 0;
    for (const RimSite& rim : grid.rimSites) {
        if (kept > 0 && grid.rimSites[kept - 1].site == rim.site) {
            grid.rimSites[kept - 1].facets |= rim.facets;
        } else {
            grid.rimSites[kept++] = rim;
        }
    }
    grid.rimSites.resize(kept);
    return grid;
}
