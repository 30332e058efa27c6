#pragma once

#include <cstdint>
#include <vector>

// Along a straight line, a site's 32-gon distance is a function of the
// position on the line: the site stands at `along` on it, `across` from it.
// The function is convex and piecewise linear, and two of them cross at most
// once, the one further along winning beyond the crossing; so their lower
// envelope is a run of pieces in the order of `along`, as for parabolas in a
// Euclidean distance transform.
struct LineSite {
    double along;
    double across;  // >= 0
    // The site's index; kTiedPair where two sites stand at the same `along`,
    // one on each side at the same distance: they tie all along the line.
    std::int32_t site;
};
constexpr std::int32_t kTiedPair = -1;

// Where `right` (further along) starts to be nearer than `left`: +infinity
// if it never is, -infinity if it is everywhere.
double crossingAlong(const LineSite& left, const LineSite& right);

// The lower envelope of the line sites, one per `along`, given in the order
// of `along`: piece k is sites[first[k]]'s from start[k] to start[k + 1];
// start holds one more item, +infinity, where the last piece ends.
struct LineEnvelope {
    std::vector<std::int32_t> first;
    std::vector<double> start;

    void build(const std::vector<LineSite>& sites);
};
