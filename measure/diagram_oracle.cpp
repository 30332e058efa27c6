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
    order.resize(allSites.size());
    for (std::size_t index = 0; index < order.size(); ++index) {
        order[index] = static_cast<int>(index);
    }
    if (!allSites.empty()) {
        buildTree(0, static_cast<int>(allSites.size()));
    }
}

int DiagramOracle::buildTree(int first, int last) {
    TreeNode node{HUGE_VAL, HUGE_VAL, -HUGE_VAL, -HUGE_VAL, first, last, -1, -1};
    for (int position = first; position < last; ++position) {
        const OracleSite& site = allSites[order[position]];
        node.minX = std::min(node.minX, site.x);
        node.minY = std::min(node.minY, site.y);
        node.maxX = std::max(node.maxX, site.x);
        node.maxY = std::max(node.maxY, site.y);
    }
    const int index = static_cast<int>(tree.size());
    tree.push_back(node);
    constexpr int kLeafSites = 8;
    if (last - first > kLeafSites) {
        // Halve along the longer side.
        const bool alongX = node.maxX - node.minX >= node.maxY - node.minY;
        const int middle = first + (last - first) / 2;
        std::nth_element(
            order.begin() + first, order.begin() + middle, order.begin() + last, [&](int a, int b) {
                return alongX ? allSites[a].x < allSites[b].x : allSites[a].y < allSites[b].y;
            });
        const int below = buildTree(first, middle);
        const int above = buildTree(middle, last);
        tree[index].below = below;
        tree[index].above = above;
    }
    return index;
}

template <typename Visit>
void DiagramOracle::searchOutward(double x, double y, Visit visit) const {
    if (tree.empty()) {
        return;
    }
    const auto boxDistance = [&](const TreeNode& node) {
        return std::hypot(std::max({node.minX - x, x - node.maxX, 0.0}),
                          std::max({node.minY - y, y - node.maxY, 0.0}));
    };
    double searchRadius = std::numeric_limits<double>::infinity();
    std::vector<int> pending = {0};
    while (!pending.empty()) {
        const TreeNode& node = tree[pending.back()];
        pending.pop_back();
        if (boxDistance(node) > searchRadius) {
            continue;
        }
        if (node.below < 0) {
            for (int position = node.first; position < node.last; ++position) {
                searchRadius = visit(order[position]);
            }
            continue;
        }
        // The nearer half is searched first, on top of the stack.
        const bool belowNearer = boxDistance(tree[node.below]) <= boxDistance(tree[node.above]);
        pending.push_back(belowNearer ? node.above : node.below);
        pending.push_back(belowNearer ? node.below : node.above);
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
    std::sort(found.begin(), found.end());
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
    std::sort(found.begin(), found.end());
    return nearest;
}

RasterPoint windowPixelToRaster(int column, int row, double zoom, double panX, double panY) {
    return {(column + 0.5) / zoom - panX, (row + 0.5) / zoom - panY};
}
