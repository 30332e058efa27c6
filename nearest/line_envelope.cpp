#include "nearest/line_envelope.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "cells/cone_geometry.h"

// On one side of the line the directions from a site to the line's points
// turn through half a turn, across the 16 facets of that half. In facet k
// (directions k to k + 1 sixteenths of a half turn from the line's forward
// direction) the distance is slope[k] * (x - along) + rise[k] * across.
// Two sites' difference is piecewise linear; from a first guess the root is
// walked to piece by piece, each step past one facet edge.

namespace {

constexpr int kHalfTurnFacets = kConeSlices / 2;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

struct HalfTurn {
    double slope[kHalfTurnFacets];
    double rise[kHalfTurnFacets];
    // cot(k * pi / 16) for the edges between facets k - 1 and k.
    double edgeCotangent[kHalfTurnFacets];
    double octantTangent[3];
    // The slope of the distance across the line far away: tan(pi / 32).
    double farRise;
    HalfTurn() {
        for (int k = 0; k < kHalfTurnFacets; ++k) {
            slope[k] = std::cos((k + 0.5) * kFacetAngle) / kFacetApothem;
            rise[k] = std::sin((k + 0.5) * kFacetAngle) / kFacetApothem;
        }
        for (int k = 1; k < kHalfTurnFacets; ++k) {
            edgeCotangent[k] = 1.0 / std::tan(k * kFacetAngle);
        }
        for (int k = 0; k < 3; ++k) {
            octantTangent[k] = std::tan((k + 1) * kFacetAngle);
        }
        farRise = std::tan(kFacetAngle / 2);
    }
};
const HalfTurn kHalfTurn;

// The facet that measures offset `ahead` along the line and `across` it,
// found without branches: they would be mispredicted half the time.
int facetOf(double ahead, double across) {
    const double forward = std::fabs(ahead);
    const double low = std::min(forward, across);
    const double high = std::max(forward, across);
    int inOctant = 0;
    for (const double tangent : kHalfTurn.octantTangent) {
        inOctant += low > tangent * high;
    }
    const int inQuadrant = across > forward ? 7 - inOctant : inOctant;
    return ahead < 0 ? kHalfTurnFacets - 1 - inQuadrant : inQuadrant;
}

// Where facet k begins going forward (its edge with facet k - 1): facet 0
// never ends, facet 15 never begins.
double edgeAlong(const LineSite& site, int facet) {
    return facet == 0                 ? kInfinity
           : facet == kHalfTurnFacets ? -kInfinity
                                      : site.along + site.across * kHalfTurn.edgeCotangent[facet];
}

double walkedCrossing(const LineSite& left, const LineSite& right) {
    // The difference left - right far back and far ahead.
    const double farBack =
        (left.along - right.along) + (left.across - right.across) * kHalfTurn.farRise;
    const double farAhead =
        (right.along - left.along) + (left.across - right.across) * kHalfTurn.farRise;
    if (farAhead <= 0.0) {
        return kInfinity;
    }
    if (farBack >= 0.0) {
        return -kInfinity;
    }
    if (left.across == right.across) {
        return 0.5 * (left.along + right.along);
    }
    // Beyond these both distances are in their outermost facets, where the
    // difference is constant.
    const double low =
        std::min(edgeAlong(left, kHalfTurnFacets - 1), edgeAlong(right, kHalfTurnFacets - 1));
    const double high = std::max(edgeAlong(left, 1), edgeAlong(right, 1));
    // The Euclidean crossing is a close guess.
    double x = ((right.along - left.along) * (right.along + left.along) +
                (right.across - left.across) * (right.across + left.across)) /
               (2.0 * (right.along - left.along));
    x = std::clamp(x, low, high);
    int leftFacet = facetOf(x - left.along, left.across);
    int rightFacet = facetOf(x - right.along, right.across);
    int heading = 0;
    for (int step = 0; step < 2 * kHalfTurnFacets + 2; ++step) {
        const double difference = (x - left.along) * kHalfTurn.slope[leftFacet] +
                                  left.across * kHalfTurn.rise[leftFacet] -
                                  (x - right.along) * kHalfTurn.slope[rightFacet] -
                                  right.across * kHalfTurn.rise[rightFacet];
        const double slope = kHalfTurn.slope[leftFacet] - kHalfTurn.slope[rightFacet];
        if (difference == 0.0) {
            return x;
        }
        if (difference < 0.0) {
            // The root lies ahead; a turn back means rounding put it here.
            if (heading < 0) {
                return x;
            }
            heading = 1;
            const double leftEnd = edgeAlong(left, leftFacet);
            const double rightEnd = edgeAlong(right, rightFacet);
            const double end = std::min(leftEnd, rightEnd);
            if (slope > 0.0 && x - difference / slope <= end) {
                return x - difference / slope;
            }
            x = end;
            leftFacet -= leftEnd == end;
            rightFacet -= rightEnd == end;
        } else {
            if (heading > 0) {
                return x;
            }
            heading = -1;
            const double leftStart = edgeAlong(left, leftFacet + 1);
            const double rightStart = edgeAlong(right, rightFacet + 1);
            const double start = std::max(leftStart, rightStart);
            if (slope > 0.0 && x - difference / slope >= start) {
                return x - difference / slope;
            }
            x = start;
            leftFacet += leftStart == start;
            rightFacet += rightStart == start;
        }
    }
    return x;
}

// Lattice lines' sites stand at whole places along and half-odd distances
// across, and most pairs whose crossings an envelope needs are close: their
// crossings, relative to the left one, are looked up.
constexpr int kTabledAlong = 16;
constexpr int kTabledAcross = 32;

struct CrossingTable {
    double offset[kTabledAlong][kTabledAcross][kTabledAcross];
    CrossingTable() {
        for (int along = 1; along < kTabledAlong; ++along) {
            for (int left = 0; left < kTabledAcross; ++left) {
                for (int right = 0; right < kTabledAcross; ++right) {
                    offset[along][left][right] = walkedCrossing(
                        {0.0, left + 0.5, 0}, {static_cast<double>(along), right + 0.5, 0});
                }
            }
        }
    }
};
const CrossingTable kCrossingTable;

// Where the sites are sparser, most walked pairs are a place or two apart
// along and far across, where setting out on the walk costs most: those are
// looked up by the left one's place across and the difference across.
// Differences beyond `widest` leave one of the two nearer all along, which
// the walk finds at once.
constexpr int kFarTabledAlong = 5;
constexpr int kFarTabledAcross = 512;

struct FarCrossingTable {
    int widest[kFarTabledAlong] = {};
    std::size_t first[kFarTabledAlong] = {};
    std::vector<double> offset;

    FarCrossingTable() {
        std::size_t size = 0;
        for (int along = 1; along < kFarTabledAlong; ++along) {
            widest[along] = static_cast<int>(along / kHalfTurn.farRise) + 1;
            first[along] = size;
            size += static_cast<std::size_t>(2 * widest[along] + 1) * kFarTabledAcross;
        }
        offset.resize(size);
        for (int along = 1; along < kFarTabledAlong; ++along) {
            for (int left = 0; left < kFarTabledAcross; ++left) {
                for (int difference = -widest[along]; difference <= widest[along]; ++difference) {
                    offset[index(along, left, difference)] =
                        walkedCrossing({0.0, left + 0.5, 0},
                                       {static_cast<double>(along), left + difference + 0.5, 0});
                }
            }
        }
    }

    std::size_t index(int along, int left, int difference) const {
        return first[along] + static_cast<std::size_t>(left) * (2 * widest[along] + 1) +
               difference + widest[along];
    }
};
const FarCrossingTable kFarCrossingTable;

// Whether the value is a whole number, and small enough to cast to an int.
bool whole(double value) {
    return std::fabs(value) < kFarTabledAcross * 4.0 &&
           static_cast<double>(static_cast<int>(value)) == value;
}

}  // namespace

double crossingAlong(const LineSite& left, const LineSite& right) {
    // Dense lines' sites are mostly alike across.
    if (left.across == right.across) {
        return 0.5 * (left.along + right.along);
    }
    const double along = right.along - left.along;
    const double leftAcross = left.across - 0.5;
    const double rightAcross = right.across - 0.5;
    if (along < 1.0 || along >= kTabledAlong || leftAcross < 0.0 || rightAcross < 0.0 ||
        !whole(along) || !whole(leftAcross) || !whole(rightAcross)) {
        return walkedCrossing(left, right);
    }
    const int alongRow = static_cast<int>(along);
    const int leftRow = static_cast<int>(leftAcross);
    const int rightRow = static_cast<int>(rightAcross);
    if (leftRow < kTabledAcross && rightRow < kTabledAcross) {
        return left.along + kCrossingTable.offset[alongRow][leftRow][rightRow];
    }
    const int difference = rightRow - leftRow;
    if (alongRow < kFarTabledAlong && leftRow < kFarTabledAcross &&
        std::abs(difference) <= kFarCrossingTable.widest[alongRow]) {
        return left.along +
               kFarCrossingTable.offset[kFarCrossingTable.index(alongRow, leftRow, difference)];
    }
    return walkedCrossing(left, right);
}

void LineEnvelope::build(const std::vector<LineSite>& sites) {
    // Sized for every site up front: the stack is then kept without pushes.
    const std::size_t count = sites.size();
    first.resize(count);
    start.resize(count + 1);
    std::size_t kept = 0;
    for (std::int32_t next = 0; next < static_cast<std::int32_t>(count); ++next) {
        double from = -kInfinity;
        while (kept > 0) {
            from = crossingAlong(sites[first[kept - 1]], sites[next]);
            if (from > start[kept - 1]) {
                break;
            }
            --kept;
            from = -kInfinity;
        }
        if (from == kInfinity) {
            continue;
        }
        first[kept] = next;
        start[kept] = from;
        ++kept;
    }
    first.resize(kept);
    start.resize(kept + 1);
    start[kept] = kInfinity;
}
