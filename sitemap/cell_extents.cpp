#include "sitemap/cell_extents.h"

#include <boost/polygon/voronoi.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <unordered_map>

#include "sitemap/site.h"

// The 32-gon distance of v is d32(v) = max_k (v . n_k) / c, with n_k the unit
// normal of facet k and c = cos(pi / 32). Along the ray s + e * g (g the point
// of the unit 32-gon in the ray's direction, so that e is the 32-gon
// distance from s) another site t = s + w is nearer by more than the tie
// tolerance tau exactly where, for every facet k,
//     e * (c - g . n_k) > c * tau - w . n_k.
// For the facets that contain g the left side is 0, so t blocks the ray only
// if w . n_k > c * tau there; then the ray is blocked beyond
//     e*(g, t) = max over the other facets of (c * tau - w . n_k) / (c - g . n_k).
// Inside one facet's sector, c - g . n_k is linear in the tangent of the angle
// from the facet's normal, so each term is monotone over a sub-sector and
// its largest value lies at one of the sub-sector's two rays. Hence
//     bound(sub-sector) = min over t of max(e*(first ray, t), e*(last ray, t))
// covers the sector's part of the cell, whatever set of sites t is tried;
// the Euclidean Voronoi neighbours give bounds close to the true cell.
// A sub-sector is halved while that saves more area than a triangle costs.

namespace {

using Grid = boost::polygon::point_data<std::int32_t>;

constexpr double kPi = 3.14159265358979323846;
constexpr double kFacetAngle = 2.0 * kPi / kConeSlices;
constexpr double kUnblocked = std::numeric_limits<double>::infinity();
// Sub-sectors are never narrower than a facet's 2^-kMaxDepth.
constexpr int kMaxDepth = 9;
constexpr int kSteps = 1 << kMaxDepth;

struct Position {
    double x;
    double y;
};

// The cones are drawn at float positions: sites that round to one float
// position draw identical cones, of which the one drawn last shows.
Position drawnPosition(const Site& site) {
    // Adding 0 turns -0 into +0, so both compare and hash alike.
    return {static_cast<float>(site.x) + 0.0f, static_cast<float>(site.y) + 0.0f};
}

std::uint64_t positionKey(const Position& position) {
    const float x = static_cast<float>(position.x);
    const float y = static_cast<float>(position.y);
    std::uint32_t xBits = 0;
    std::uint32_t yBits = 0;
    std::memcpy(&xBits, &x, sizeof xBits);
    std::memcpy(&yBits, &y, sizeof yBits);
    return (static_cast<std::uint64_t>(xBits) << 32) | yBits;
}

// Keeps, of every position, the copy that the full cones leave on top.
void selectDrawnSites(const Site* head, std::vector<const Site*>& drawn,
                      std::vector<Position>& positions) {
    std::vector<const Site*> listed;
    for (const Site* site = head; site; site = site->next) {
        const Position position = drawnPosition(*site);
        if (std::isfinite(position.x) && std::isfinite(position.y)) {
            listed.push_back(site);
        }
    }
    std::unordered_map<std::uint64_t, std::size_t> lastCopy;
    lastCopy.reserve(listed.size());
    for (std::size_t index = 0; index < listed.size(); ++index) {
        lastCopy[positionKey(drawnPosition(*listed[index]))] = index;
    }
    for (std::size_t index = 0; index < listed.size(); ++index) {
        const Position position = drawnPosition(*listed[index]);
        if (lastCopy[positionKey(position)] == index) {
            drawn.push_back(listed[index]);
            positions.push_back(position);
        }
    }
}

// The sites that can bound each site's cell: those whose rounded positions
// are Euclidean Voronoi neighbours of its own, and the others that round to
// its own grid point.
std::vector<std::vector<int>> candidateSites(const std::vector<Position>& positions) {
    double largest = 1.0;
    for (const Position& position : positions) {
        largest = std::max({largest, std::fabs(position.x), std::fabs(position.y)});
    }
    // A fine grid keeps fractional positions apart; integer ones are exact.
    double scale = 1024.0;
    while (largest * scale > 536870912.0) {
        scale /= 2.0;
    }
    std::vector<Grid> gridPoints;
    std::vector<int> groupOf(positions.size());
    std::unordered_map<std::uint64_t, int> groupAt;
    for (std::size_t index = 0; index < positions.size(); ++index) {
        const auto gridX = static_cast<std::int32_t>(std::llround(positions[index].x * scale));
        const auto gridY = static_cast<std::int32_t>(std::llround(positions[index].y * scale));
        const std::uint64_t key =
            (static_cast<std::uint64_t>(static_cast<std::uint32_t>(gridX)) << 32) |
            static_cast<std::uint32_t>(gridY);
        const auto inserted = groupAt.emplace(key, static_cast<int>(gridPoints.size()));
        if (inserted.second) {
            gridPoints.emplace_back(gridX, gridY);
        }
        groupOf[index] = inserted.first->second;
    }

    std::vector<std::vector<int>> members(gridPoints.size());
    for (std::size_t index = 0; index < positions.size(); ++index) {
        members[groupOf[index]].push_back(static_cast<int>(index));
    }
    std::vector<std::vector<int>> neighbourGroups(gridPoints.size());
    if (gridPoints.size() > 1) {
        boost::polygon::voronoi_diagram<double> diagram;
        boost::polygon::construct_voronoi(gridPoints.begin(), gridPoints.end(), &diagram);
        for (const auto& edge : diagram.edges()) {
            neighbourGroups[edge.cell()->source_index()].push_back(
                static_cast<int>(edge.twin()->cell()->source_index()));
        }
    }

    std::vector<std::vector<int>> candidates(positions.size());
    for (std::size_t index = 0; index < positions.size(); ++index) {
        std::vector<int>& own = candidates[index];
        for (int other : members[groupOf[index]]) {
            if (other != static_cast<int>(index)) {
                own.push_back(other);
            }
        }
        for (int group : neighbourGroups[groupOf[index]]) {
            own.insert(own.end(), members[group].begin(), members[group].end());
        }
    }
    return candidates;
}

// The bounds of one site's cell, sub-sector by sub-sector.
class SiteBounder {
public:
    SiteBounder(int radius, double areaPerRay) : radius(radius), areaPerRay(areaPerRay) {
        for (int k = 0; k < kConeSlices; ++k) {
            normalX[k] = std::cos((k + 0.5) * kFacetAngle);
            normalY[k] = std::sin((k + 0.5) * kFacetAngle);
            rimX[k] = std::cos(k * kFacetAngle);
            rimY[k] = std::sin(k * kFacetAngle);
        }
        for (int step = 0; step <= kSteps; ++step) {
            const double offset = step * kFacetAngle / kSteps;
            const double scale = kApothem / std::cos(offset - kFacetAngle / 2.0);
            stepX[step] = scale * std::cos(offset);
            stepY[step] = scale * std::sin(offset);
            stepLength[step] = scale;
        }
        stepX[0] = stepX[kSteps] = 1.0;
        stepY[0] = stepY[kSteps] = 0.0;
        stepLength[0] = stepLength[kSteps] = 1.0;
    }

    // Appends the site's rays with their levels.
    void addRays(const Position& site, const std::vector<Position>& positions,
                 const std::vector<int>& candidates, std::vector<FanRay>& rays) {
        const double slack = kApothem * kCellTieTolerance;
        candidateCount = candidates.size();
        excess.resize(candidateCount * kConeSlices);
        for (std::size_t candidate = 0; candidate < candidateCount; ++candidate) {
            const double offsetX = positions[candidates[candidate]].x - site.x;
            const double offsetY = positions[candidates[candidate]].y - site.y;
            for (int k = 0; k < kConeSlices; ++k) {
                excess[candidate * kConeSlices + k] =
                    slack - (offsetX * normalX[k] + offsetY * normalY[k]);
            }
        }
        for (std::vector<double>& pool : blockedBeyond) {
            pool.resize(candidateCount);
        }

        siteRays.clear();
        rayLengths.clear();
        std::vector<double>& firstRim = blockedBeyond[kMaxDepth + 1];
        std::vector<double>& rim = blockedBeyond[kMaxDepth + 2];
        std::vector<double>& nextRim = blockedBeyond[kMaxDepth + 3];
        evaluateRim(0, firstRim);
        rim = firstRim;
        for (int facet = 0; facet < kConeSlices; ++facet) {
            siteRays.push_back({facet * kFacetAngle, rimX[facet], rimY[facet], 0.0, true});
            rayLengths.push_back(1.0);
            if (facet + 1 < kConeSlices) {
                evaluateRim(facet + 1, nextRim);
            } else {
                nextRim = firstRim;
            }
            refine(facet, 0, kSteps, rim.data(), nextRim.data());
            rim.swap(nextRim);
        }
        joinSubSectors();
        for (std::size_t sector = 0; sector < sectors.size(); ++sector) {
            FanRay fanRay = sectors[sector].start;
            fanRay.level = levelAt(sector);
            rays.push_back(fanRay);
        }
    }

private:
    static inline const double kApothem = std::cos(kFacetAngle / 2.0);

    // Where each candidate blocks the ray with unit point (unitX, unitY),
    // which lies on the facets firstFacet and lastFacet.
    void evaluate(double unitX, double unitY, int firstFacet, int lastFacet,
                  std::vector<double>& beyond) {
        double inverseGaps[kConeSlices];
        for (int k = 0; k < kConeSlices; ++k) {
            const double gap = kApothem - (unitX * normalX[k] + unitY * normalY[k]);
            inverseGaps[k] = k == firstFacet || k == lastFacet ? 0.0 : 1.0 / gap;
        }
        for (std::size_t candidate = 0; candidate < candidateCount; ++candidate) {
            const double* candidateExcess = &excess[candidate * kConeSlices];
            if (candidateExcess[firstFacet] >= 0.0 || candidateExcess[lastFacet] >= 0.0) {
                beyond[candidate] = kUnblocked;
                continue;
            }
            double level = 0.0;
            for (int k = 0; k < kConeSlices; ++k) {
                level = std::max(level, candidateExcess[k] * inverseGaps[k]);
            }
            beyond[candidate] = level;
        }
    }

    void evaluateRim(int rimIndex, std::vector<double>& beyond) {
        evaluate(rimX[rimIndex], rimY[rimIndex], (rimIndex + kConeSlices - 1) % kConeSlices,
                 rimIndex, beyond);
    }

    double bound(const double* first, const double* last) const {
        double smallest = kUnblocked;
        for (std::size_t candidate = 0; candidate < candidateCount; ++candidate) {
            smallest = std::min(smallest, std::max(first[candidate], last[candidate]));
        }
        return smallest;
    }

    // What a sub-sector's triangle roughly covers at zoom 1.
    double area(double level, double width) const {
        const double reach = std::min(level, radius) + kCellLevelMargin;
        return 0.5 * reach * reach * width;
    }

    // Emits the rays inside the facet's sub-sector between the given steps
    // and records the bound of each sub-sector in the level of the ray that
    // starts it.
    void refine(int facet, int fromStep, int toStep, const double* first, const double* last) {
        const double whole = bound(first, last);
        const double width = (toStep - fromStep) * kFacetAngle / kSteps;
        if (toStep - fromStep > 1 && area(whole, width) > 2.0 * areaPerRay) {
            const int middle = (fromStep + toStep) / 2;
            // Each depth of halving has a buffer of its own.
            std::vector<double>& atMiddle = blockedBeyond[kMaxDepth - trailingZeros(middle)];
            const double unitX = rimX[facet] * stepX[middle] - rimY[facet] * stepY[middle];
            const double unitY = rimY[facet] * stepX[middle] + rimX[facet] * stepY[middle];
            evaluate(unitX, unitY, facet, facet, atMiddle);
            const double before = bound(first, atMiddle.data());
            const double after = bound(atMiddle.data(), last);
            if (area(whole, width) - area(before, width / 2.0) - area(after, width / 2.0) >
                areaPerRay) {
                refine(facet, fromStep, middle, first, atMiddle.data());
                siteRays.push_back({(facet + static_cast<double>(middle) / kSteps) * kFacetAngle,
                                    unitX, unitY, 0.0, false});
                rayLengths.push_back(stepLength[middle]);
                refine(facet, middle, toStep, atMiddle.data(), last);
                return;
            }
        }
        siteRays.back().level = whole;
    }

    static int trailingZeros(int step) {
        int zeros = 0;
        while ((step & 1) == 0) {
            step >>= 1;
            ++zeros;
        }
        return zeros;
    }

    // A run of sub-sectors that one fan triangle covers.
    struct Sector {
        FanRay start;
        double startLength;  // of the start ray's unit 32-gon point
        double bound;        // the largest bound of its sub-sectors
        double width;
        bool withinFacet;
        double cosHalfWidth;
        double sinWidth;
    };

    static Sector makeSector(const FanRay& start, double startLength, double bound, double width,
                             bool withinFacet) {
        return {start,       startLength,           bound,          width,
                withinFacet, std::cos(width / 2.0), std::sin(width)};
    }

    // How far (Euclidean) the sector's triangle must reach along one of its
    // two rays. Within one facet the 32-gon of the bound has a straight side,
    // on which the triangle's far side lies; across facets the far side is
    // the tangent of the bound's circle, which contains that 32-gon.
    double reachOn(const Sector& sector, double rayLength) const {
        const double bound = std::min(sector.bound + kCellLevelMargin, radius);
        return sector.withinFacet ? bound * rayLength : bound / sector.cosHalfWidth;
    }

    // Where the fan reaches the rim it keeps the full cone's facets, so that
    // its outline there is the full cone's.
    bool withinRim(const Sector& sector) const {
        const double bound = std::min(sector.bound + kCellLevelMargin, radius);
        return sector.withinFacet || bound / sector.cosHalfWidth <= radius * kApothem;
    }

    // A triangle's cost and area, its vertices as far out as it and its
    // neighbours need.
    double cost(const Sector& before, const Sector& sector, const Sector& after) const {
        const double from =
            std::max(reachOn(before, sector.startLength), reachOn(sector, sector.startLength));
        const double to =
            std::max(reachOn(sector, after.startLength), reachOn(after, after.startLength));
        return areaPerRay + 0.5 * from * to * sector.sinWidth;
    }

    // Joins neighbouring sub-sectors, from the first on, where one triangle
    // costs less than two. The depth of every pixel is worked out from its
    // distance to the site, not from the triangle's plane, so a triangle may
    // span facets.
    void joinSubSectors() {
        subSectors.clear();
        for (std::size_t ray = 0; ray < siteRays.size(); ++ray) {
            const double end = ray + 1 == siteRays.size() ? 2.0 * kPi : siteRays[ray + 1].angle;
            subSectors.push_back(makeSector(siteRays[ray], rayLengths[ray], siteRays[ray].level,
                                            end - siteRays[ray].angle, true));
        }
        const std::size_t count = subSectors.size();
        sectors.assign(1, subSectors[0]);
        for (std::size_t index = 1; index < count; ++index) {
            Sector& last = sectors.back();
            const Sector& before =
                sectors.size() > 1 ? sectors[sectors.size() - 2] : subSectors.back();
            const Sector& next = subSectors[index];
            const Sector& after = subSectors[(index + 1) % count];
            const Sector joined =
                makeSector(last.start, last.startLength, std::max(last.bound, next.bound),
                           last.width + next.width, last.withinFacet && !next.start.onRim);
            if (joined.width <= kPi / 2.0 && withinRim(joined) &&
                cost(before, joined, after) <= cost(before, last, next) + cost(last, next, after)) {
                last = joined;
            } else {
                sectors.push_back(next);
            }
        }
    }

    // The level of a sector's starting ray: far enough for the sectors on
    // both sides of it.
    double levelAt(std::size_t sector) const {
        const Sector& before = sectors[sector == 0 ? sectors.size() - 1 : sector - 1];
        const Sector& after = sectors[sector];
        return std::max(reachOn(before, after.startLength), reachOn(after, after.startLength)) /
               after.startLength;
    }

    double radius;
    double areaPerRay;
    double normalX[kConeSlices];
    double normalY[kConeSlices];
    double rimX[kConeSlices];  // unit vectors of the rim directions
    double rimY[kConeSlices];
    // The unit 32-gon points of the rays a facet may be cut at, step k of
    // kSteps from its start, in the frame where the facet starts on +x.
    double stepX[kSteps + 1];
    double stepY[kSteps + 1];
    double stepLength[kSteps + 1];
    std::size_t candidateCount = 0;
    std::vector<double> excess;  // c * tau - w . n_k, per candidate and facet
    // Per candidate: the midpoints of each depth, then three rim rays.
    std::vector<double> blockedBeyond[kMaxDepth + 4];
    // The rays of the site in hand; each level holds the bound of the
    // sub-sector after the ray.
    std::vector<FanRay> siteRays;
    std::vector<double> rayLengths;  // of their unit 32-gon points
    std::vector<Sector> subSectors;
    std::vector<Sector> sectors;
};

}  // namespace

CellExtents computeCellExtents(const Site* head, int radius, double areaPerRay) {
    CellExtents extents;
    extents.firstRay.push_back(0);
    if (radius <= 0) {
        return extents;
    }
    std::vector<Position> positions;
    selectDrawnSites(head, extents.drawnSites, positions);
    const std::vector<std::vector<int>> candidates = candidateSites(positions);

    SiteBounder bounder(radius, areaPerRay);
    for (std::size_t index = 0; index < positions.size(); ++index) {
        bounder.addRays(positions[index], positions, candidates[index], extents.rays);
        extents.firstRay.push_back(extents.rays.size());
    }
    return extents;
}
