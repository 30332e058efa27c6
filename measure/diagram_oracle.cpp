#include "measure/diagram_oracle.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kFacets = 32;

}  // namespace

double facetFactor() {
    return 1.0 / std::cos(kPi / kFacets);
}

double polygonDistance(double dx, double dy) {
    // The facet facing (dx, dy) is the one whose mid-direction is nearest to
    // it; its plane gives the distance.
    const double sector = 2.0 * kPi / kFacets;
    double angle = std::atan2(dy, dx);
    if (angle < 0) {
        angle += 2.0 * kPi;
    }
    const double facet = std::floor(angle / sector);
    double best = 0.0;
    // Neighbouring facets too, so rounding at a sector boundary cannot pick
    // the wrong plane.
    for (int offset = -1; offset <= 1; ++offset) {
        const double mid = (facet + offset + 0.5) * sector;
        best = std::max(best, dx * std::cos(mid) + dy * std::sin(mid));
    }
    return best * facetFactor();
}

DiagramOracle::DiagramOracle(std::vector<OracleSite> sites) : allSites(std::move(sites)) {
    if (allSites.empty()) {
        return;
    }
    double maxX = allSites[0].x, maxY = allSites[0].y;
    minX = maxX;
    minY = maxY;
    for (const OracleSite& site : allSites) {
        minX = std::min(minX, site.x);
        minY = std::min(minY, site.y);
        maxX = std::max(maxX, site.x);
        maxY = std::max(maxY, site.y);
    }
    // About two sites per bucket on average.
    const double area = std::max(1.0, (maxX - minX + 1) * (maxY - minY + 1));
    bucketSize = std::max(1.0, std::sqrt(2.0 * area / allSites.size()));
    columns = static_cast<int>((maxX - minX) / bucketSize) + 1;
    rows = static_cast<int>((maxY - minY) / bucketSize) + 1;
    buckets.resize(static_cast<std::size_t>(columns) * rows);
    for (int index = 0; index < static_cast<int>(allSites.size()); ++index) {
        const int column = static_cast<int>((allSites[index].x - minX) / bucketSize);
        const int row = static_cast<int>((allSites[index].y - minY) / bucketSize);
        buckets[static_cast<std::size_t>(row) * columns + column].push_back(index);
    }
}

template <typename Visit>
void DiagramOracle::searchOutward(double x, double y, Visit visit) const {
    if (allSites.empty()) {
        return;
    }
    const auto clampIndex = [](double value, int count) {
        return static_cast<int>(std::clamp(std::floor(value), 0.0, count - 1.0));
    };
    const int centreColumn = clampIndex((x - minX) / bucketSize, columns);
    const int centreRow = clampIndex((y - minY) / bucketSize, rows);
    // Distance from the query point to the grid's box: rings nearer than
    // this hold nothing.
    const double outsideX = std::max({minX - x, x - (minX + columns * bucketSize), 0.0});
    const double outsideY = std::max({minY - y, y - (minY + rows * bucketSize), 0.0});
    const double offGrid = std::hypot(outsideX, outsideY);
    double searchRadius = std::numeric_limits<double>::infinity();
    const int maxRing = std::max(columns, rows);
    for (int ring = 0; ring <= maxRing; ++ring) {
        // Every site outside the rings visited so far is at least this far.
        const double ringDistance = std::max(offGrid, (ring - 1) * bucketSize);
        if (ring > 0 && ringDistance > searchRadius) {
            break;
        }
        for (int row = centreRow - ring; row <= centreRow + ring; ++row) {
            if (row < 0 || row >= rows) {
                continue;
            }
            const bool edgeRow = row == centreRow - ring || row == centreRow + ring;
            const int step = edgeRow ? 1 : 2 * ring;
            for (int column = centreColumn - ring; column <= centreColumn + ring;
                 column += std::max(step, 1)) {
                if (column < 0 || column >= columns) {
                    continue;
                }
                for (int index : buckets[static_cast<std::size_t>(row) * columns + column]) {
                    searchRadius = visit(index);
                }
            }
        }
    }
}

double DiagramOracle::withinFactor(double x, double y, double factor,
                                   std::vector<int>& found) const {
    // Collect candidates up to factor times the best distance seen, then
    // keep those within factor of the true nearest.
    std::vector<std::pair<double, int>> candidates;
    double nearest = std::numeric_limits<double>::infinity();
    searchOutward(x, y, [&](int index) {
        const double distance = std::hypot(allSites[index].x - x, allSites[index].y - y);
        nearest = std::min(nearest, distance);
        if (distance <= nearest * factor) {
            candidates.emplace_back(distance, index);
        }
        return nearest * factor;
    });
    found.clear();
    for (const auto& [distance, index] : candidates) {
        if (distance <= nearest * factor) {
            found.push_back(index);
        }
    }
    return nearest;
}

double DiagramOracle::polygonNearest(double x, double y, double tolerance,
                                     std::vector<int>& found) const {
    std::vector<std::pair<double, int>> candidates;
    double nearest = std::numeric_limits<double>::infinity();
    searchOutward(x, y, [&](int index) {
        const double distance = polygonDistance(allSites[index].x - x, allSites[index].y - y);
        nearest = std::min(nearest, distance);
        if (distance <= nearest + tolerance) {
            candidates.emplace_back(distance, index);
        }
        // The 32-gon distance is never below the Euclidean one.
        return nearest + tolerance;
    });
    found.clear();
    for (const auto& [distance, index] : candidates) {
        if (distance <= nearest + tolerance) {
            found.push_back(index);
        }
    }
    return nearest;
}

RasterPoint windowPixelToRaster(int column, int row, double zoom, double panX, double panY) {
    return {(column + 0.5) / zoom - panX, (row + 0.5) / zoom - panY};
}
