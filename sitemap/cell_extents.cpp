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

namespace {

using Grid = boost::polygon::point_data<std::int32_t>;

constexpr double kPi = 3.14159265358979323846;
constexpr double kUnblocked = std::numeric_limits<double>::infinity();

// The rays' unit-32-gon points and the reciprocal gaps c - g . n_k (0 where
// the ray lies on facet k).
struct RayTable {
    int rayCount;
    std::vector<int> firstFacet;      // the facets containing each ray: one, or
    std::vector<int> lastFacet;       // two for a ray on a rim direction
    std::vector<double> inverseGaps;  // rayCount * kConeSlices

    explicit RayTable(int raysPerFacet) : rayCount(kConeSlices * raysPerFacet) {
        const double facetAngle = 2.0 * kPi / kConeSlices;
        const double apothem = std::cos(facetAngle / 2.0);
        for (int ray = 0; ray < rayCount; ++ray) {
            const int facet = ray / raysPerFacet;
            const bool onRim = ray % raysPerFacet == 0;
            firstFacet.push_back(onRim ? (facet + kConeSlices - 1) % kConeSlices : facet);
            lastFacet.push_back(facet);
            const double rayAngle = 2.0 * kPi * ray / rayCount;
            const double normalAngle = (facet + 0.5) * facetAngle;
            const double scale = apothem / std::cos(rayAngle - normalAngle);
            for (int k = 0; k < kConeSlices; ++k) {
                const double gap = apothem - scale * std::cos(rayAngle - (k + 0.5) * facetAngle);
                const bool ownFacet = k == firstFacet.back() || k == lastFacet.back();
                inverseGaps.push_back(ownFacet ? 0.0 : 1.0 / gap);
            }
        }
    }
};

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

// Fills `bounds` (one per sub-sector, the one after each ray) for the site
// at `site`, from the candidate sites that may block its rays.
void boundSubSectors(const RayTable& rays, const Position& site,
                     const std::vector<Position>& positions, const std::vector<int>& candidates,
                     std::vector<double>& blockedBeyond, std::vector<double>& bounds) {
    const double facetAngle = 2.0 * kPi / kConeSlices;
    const double apothem = std::cos(facetAngle / 2.0);
    const double slack = apothem * kCellTieTolerance;
    std::fill(bounds.begin(), bounds.end(), kUnblocked);
    double normalX[kConeSlices];
    double normalY[kConeSlices];
    for (int k = 0; k < kConeSlices; ++k) {
        normalX[k] = std::cos((k + 0.5) * facetAngle);
        normalY[k] = std::sin((k + 0.5) * facetAngle);
    }
    for (int candidate : candidates) {
        const double offsetX = positions[candidate].x - site.x;
        const double offsetY = positions[candidate].y - site.y;
        double excess[kConeSlices];  // c * tau - w . n_k
        for (int k = 0; k < kConeSlices; ++k) {
            excess[k] = slack - (offsetX * normalX[k] + offsetY * normalY[k]);
        }
        for (int ray = 0; ray < rays.rayCount; ++ray) {
            if (excess[rays.firstFacet[ray]] >= 0.0 || excess[rays.lastFacet[ray]] >= 0.0) {
                blockedBeyond[ray] = kUnblocked;
                continue;
            }
            const double* inverseGaps =
                &rays.inverseGaps[static_cast<std::size_t>(ray) * kConeSlices];
            double level = 0.0;
            for (int k = 0; k < kConeSlices; ++k) {
                level = std::max(level, excess[k] * inverseGaps[k]);
            }
            blockedBeyond[ray] = level;
        }
        for (int ray = 0; ray < rays.rayCount; ++ray) {
            const int nextRay = ray + 1 == rays.rayCount ? 0 : ray + 1;
            bounds[ray] =
                std::min(bounds[ray], std::max(blockedBeyond[ray], blockedBeyond[nextRay]));
        }
    }
}

}  // namespace

CellExtents computeCellExtents(const Site* head, int radius, int raysPerFacet) {
    CellExtents extents;
    extents.raysPerFacet = std::max(1, raysPerFacet);
    if (radius <= 0) {
        return extents;
    }
    std::vector<Position> positions;
    selectDrawnSites(head, extents.drawnSites, positions);
    const std::vector<std::vector<int>> candidates = candidateSites(positions);

    const RayTable rays(extents.raysPerFacet);
    std::vector<double> blockedBeyond(rays.rayCount);
    std::vector<double> bounds(rays.rayCount);
    extents.rayLevels.reserve(positions.size() * rays.rayCount);
    for (std::size_t index = 0; index < positions.size(); ++index) {
        boundSubSectors(rays, positions[index], positions, candidates[index], blockedBeyond,
                        bounds);
        // A ray's vertex bounds the sub-sectors on both sides of it.
        for (int ray = 0; ray < rays.rayCount; ++ray) {
            const int previous = ray == 0 ? rays.rayCount - 1 : ray - 1;
            const double level = std::max(bounds[previous], bounds[ray]) + kCellLevelMargin;
            extents.rayLevels.push_back(std::min(level, static_cast<double>(radius)));
        }
    }
    return extents;
}
