#include "nearest/rim_facets.h"

#include <cmath>
#include <limits>

#include "nearest/facet_distance.h"

double farthestCorner(double siteX, double siteY, const Square& square) {
    double farthest = 0.0;
    for (int corner = 0; corner < 4; ++corner) {
        farthest = std::max(farthest, facetDistance(square.cornerX(corner) - siteX,
                                                    square.cornerY(corner) - siteY));
    }
    return farthest;
}

std::uint32_t facetsTowards(double siteX, double siteY, const Square& square) {
    const double middle =
        std::atan2(square.y0 + square.size / 2 - siteY, square.x0 + square.size / 2 - siteX);
    double low = 0.0;
    double high = 0.0;
    for (int corner = 0; corner < 4; ++corner) {
        double turn =
            std::atan2(square.cornerY(corner) - siteY, square.cornerX(corner) - siteX) - middle;
        turn -= 2.0 * kPi * std::round(turn / (2.0 * kPi));
        low = std::min(low, turn);
        high = std::max(high, turn);
    }
    std::uint32_t facets = 0;
    const int first = static_cast<int>(std::floor((middle + low) / kFacetAngle)) - 1;
    const int last = static_cast<int>(std::floor((middle + high) / kFacetAngle)) + 1;
    for (int facet = first; facet <= last; ++facet) {
        facets |= 1u << (((facet % kConeSlices) + kConeSlices) % kConeSlices);
    }
    return facets;
}

void markRimFacets(const Square& square, const std::vector<std::uint32_t>& listed,
                   const Buckets& buckets, double radius, std::vector<RimSite>& rimSites) {
    // Most leaves lie well inside the radius of their first site.
    if (!listed.empty()) {
        const SitePoint& site = buckets.sites[listed.front()];
        const double dx = std::max(site.x - square.x0, square.x0 + square.size - site.x);
        const double dy = std::max(site.y - square.y0, square.y0 + square.size - site.y);
        if (std::sqrt(dx * dx + dy * dy) * kUnitSquareDiagonal / std::sqrt(2.0) <
            radius - kRimStrip) {
            return;
        }
    }
    // The nearest distance is at most any listed site's largest over the
    // corners.
    double nearestAtMost = std::numeric_limits<double>::infinity();
    for (std::uint32_t index : listed) {
        const SitePoint& site = buckets.sites[index];
        nearestAtMost = std::min(nearestAtMost, farthestCorner(site.x, site.y, square));
    }
    if (listed.empty() || nearestAtMost < radius - kRimStrip) {
        return;
    }
    for (std::uint32_t index : listed) {
        const SitePoint& site = buckets.sites[index];
        if (squaredDistanceToSquare(site.x, site.y, square) < square.size * square.size) {
            rimSites.push_back({index, 0xFFFFFFFFu});
            continue;
        }
        rimSites.push_back({index, facetsTowards(site.x, site.y, square)});
    }
}
