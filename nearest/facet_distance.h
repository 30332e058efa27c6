#pragma once

#include <algorithm>
#include <cmath>

#include "cells/cone_geometry.h"

// The 32-gon distance as the candidate search measures it, folded into the
// first octant so that the hot loops run on comparisons alone.

// The 32-gon length of the diagonal of a unit square, rounded up: at most
// the Euclidean one over cos(pi / 32).
constexpr double kUnitSquareDiagonal = 1.4211;

struct OctantNormals {
    double x[kConeSlices / 8];
    double y[kConeSlices / 8];
    // tangent[k]: the tangent of the edge between facets k and k + 1.
    double tangent[kConeSlices / 8 - 1];
    OctantNormals() {
        for (int facet = 0; facet < kConeSlices / 8; ++facet) {
            const double angle = (facet + 0.5) * 2.0 * kPi / kConeSlices;
            x[facet] = std::cos(angle) / kFacetApothem;
            y[facet] = std::sin(angle) / kFacetApothem;
        }
        for (int edge = 0; edge + 1 < kConeSlices / 8; ++edge) {
            tangent[edge] = std::tan((edge + 1) * 2.0 * kPi / kConeSlices);
        }
    }
};
inline const OctantNormals kOctantNormals;

// The 32-gon distance of an offset and the (pre-divided) normal of the facet
// that measures it: normal . v never exceeds the distance of any offset v,
// so it bounds the distance linearly from below.
struct Facet {
    double distance;
    double normalX;
    double normalY;
};

// The facet is the one whose sector holds the offset, found by comparisons
// alone, which keeps the hot loops free of unpredictable branches.
inline Facet facetOf(double vx, double vy) {
    const double absX = std::fabs(vx);
    const double absY = std::fabs(vy);
    const double ax = std::max(absX, absY);
    const double ay = std::min(absX, absY);
    int best = 0;
    for (int edge = 0; edge + 1 < kConeSlices / 8; ++edge) {
        best += ay > kOctantNormals.tangent[edge] * ax;
    }
    const double distance = kOctantNormals.x[best] * ax + kOctantNormals.y[best] * ay;
    const bool swapped = absY > absX;
    const double nx = swapped ? kOctantNormals.y[best] : kOctantNormals.x[best];
    const double ny = swapped ? kOctantNormals.x[best] : kOctantNormals.y[best];
    return {distance, std::copysign(nx, vx), std::copysign(ny, vy)};
}

// The distance alone is the largest over the first octant's facets: no
// table look-up, no branch.
inline double facetDistance(double vx, double vy) {
    const double absX = std::fabs(vx);
    const double absY = std::fabs(vy);
    const double ax = std::max(absX, absY);
    const double ay = std::min(absX, absY);
    double distance = kOctantNormals.x[0] * ax + kOctantNormals.y[0] * ay;
    for (int facet = 1; facet < kConeSlices / 8; ++facet) {
        distance = std::max(distance, kOctantNormals.x[facet] * ax + kOctantNormals.y[facet] * ay);
    }
    return distance;
}
