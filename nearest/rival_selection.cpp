#include "nearest/rival_selection.h"

#include <algorithm>
#include <cmath>
#include <limits>

// The rivals: the site nearest the centre, those nearest the corners and the
// first few sites in the square, each of which owns a stretch of it.
void RivalSelection::chooseRivals(const Square& square, const std::vector<std::uint32_t>& from,
                                  std::size_t nearest) {
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
}

// Site s can show at a point p of the square only if d_s(p) is within the
// tolerance of d_t(p) for every other site t, and d_s(p) within the radius.
// Below d_s lies the plane of its facet at the centre; d_t is convex, so on
// each half of the square it lies below the plane through its corner values.
// The difference of the two planes is least at a corner, which gives a lower
// bound of d_s - d_t, exact where both are planar, far from the sites.
void RivalSelection::select(const Square& square, const std::vector<std::uint32_t>& from,
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
    chooseRivals(square, from, nearest);
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
