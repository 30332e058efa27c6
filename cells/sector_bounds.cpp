#include "cells/sector_bounds.h"

#include <algorithm>
#include <cmath>

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

constexpr double kUnblocked = std::numeric_limits<double>::infinity();

}  // namespace

SectorBounds::SectorBounds(int radius, double areaPerRay) : radius(radius), areaPerRay(areaPerRay) {
    for (int k = 0; k < kConeSlices; ++k) {
        normalX[k] = std::cos((k + 0.5) * kFacetAngle);
        normalY[k] = std::sin((k + 0.5) * kFacetAngle);
        rimX[k] = std::cos(k * kFacetAngle);
        rimY[k] = std::sin(k * kFacetAngle);
    }
    for (int step = 0; step <= kSteps; ++step) {
        const double offset = step * kFacetAngle / kSteps;
        const double scale = kFacetApothem / std::cos(offset - kFacetAngle / 2.0);
        stepX[step] = scale * std::cos(offset);
        stepY[step] = scale * std::sin(offset);
        stepLength[step] = scale;
    }
    stepX[0] = stepX[kSteps] = 1.0;
    stepY[0] = stepY[kSteps] = 0.0;
    stepLength[0] = stepLength[kSteps] = 1.0;
}

void SectorBounds::bound(const Position& site, const std::vector<Position>& positions,
                         const std::vector<int>& neighbours) {
    const double slack = kFacetApothem * kCellTieTolerance;
    candidateCount = neighbours.size();
    excess.resize(candidateCount * kConeSlices);
    for (std::size_t candidate = 0; candidate < candidateCount; ++candidate) {
        const double offsetX = positions[neighbours[candidate]].x - site.x;
        const double offsetY = positions[neighbours[candidate]].y - site.y;
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
}

// Where each neighbour blocks the ray with unit point (unitX, unitY), which
// lies on the facets firstFacet and lastFacet.
void SectorBounds::evaluate(double unitX, double unitY, int firstFacet, int lastFacet,
                            std::vector<double>& beyond) {
    double inverseGaps[kConeSlices];
    for (int k = 0; k < kConeSlices; ++k) {
        const double gap = kFacetApothem - (unitX * normalX[k] + unitY * normalY[k]);
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

void SectorBounds::evaluateRim(int rimIndex, std::vector<double>& beyond) {
    evaluate(rimX[rimIndex], rimY[rimIndex], (rimIndex + kConeSlices - 1) % kConeSlices, rimIndex,
             beyond);
}

double SectorBounds::leastBlocking(const double* first, const double* last) const {
    double smallest = kUnblocked;
    for (std::size_t candidate = 0; candidate < candidateCount; ++candidate) {
        smallest = std::min(smallest, std::max(first[candidate], last[candidate]));
    }
    return smallest;
}

// What a sub-sector's triangle roughly covers at zoom 1.
double SectorBounds::area(double level, double width) const {
    const double reach = std::min(level, radius) + kCellLevelMargin;
    return 0.5 * reach * reach * width;
}

// Emits the rays inside the facet's sub-sector between the given steps and
// records the bound of each sub-sector in the level of the ray that starts it.
void SectorBounds::refine(int facet, int fromStep, int toStep, const double* first,
                          const double* last) {
    const double whole = leastBlocking(first, last);
    const double width = (toStep - fromStep) * kFacetAngle / kSteps;
    if (toStep - fromStep > 1 && area(whole, width) > 2.0 * areaPerRay) {
        const int middle = (fromStep + toStep) / 2;
        // Each depth of halving has a buffer of its own.
        std::vector<double>& atMiddle = blockedBeyond[kMaxDepth - trailingZeros(middle)];
        const double unitX = rimX[facet] * stepX[middle] - rimY[facet] * stepY[middle];
        const double unitY = rimY[facet] * stepX[middle] + rimX[facet] * stepY[middle];
        evaluate(unitX, unitY, facet, facet, atMiddle);
        const double before = leastBlocking(first, atMiddle.data());
        const double after = leastBlocking(atMiddle.data(), last);
        if (area(whole, width) - area(before, width / 2.0) - area(after, width / 2.0) >
            areaPerRay) {
            refine(facet, fromStep, middle, first, atMiddle.data());
            siteRays.push_back({(facet + static_cast<double>(middle) / kSteps) * kFacetAngle, unitX,
                                unitY, 0.0, false});
            rayLengths.push_back(stepLength[middle]);
            refine(facet, middle, toStep, atMiddle.data(), last);
            return;
        }
    }
    siteRays.back().level = whole;
}

int SectorBounds::trailingZeros(int step) {
    int zeros = 0;
    while ((step & 1) == 0) {
        step >>= 1;
        ++zeros;
    }
    return zeros;
}
