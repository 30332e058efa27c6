#include "cells/marker_points.h"

#include <algorithm>
#include <cstddef>

#include "cells/large_arrays.h"
#include "sitemap/site.h"

namespace {

// Merging costs a pass per run; more runs than this are sorted instead.
constexpr std::size_t kMostMergedRuns = 16;

bool before(const MarkerPoint& a, const MarkerPoint& b) {
    return a.x != b.x ? a.x < b.x : a.y < b.y;
}

// Each extraction puts a run sorted one way or the other at the head, so a
// list is a few runs to merge.
void sortPoints(std::vector<MarkerPoint>& points) {
    if (std::is_sorted(points.begin(), points.end(), before)) {
        return;
    }
    std::reverse(points.begin(), points.end());
    std::vector<std::size_t> runEnds;
    for (std::size_t index = 1; index < points.size() && runEnds.size() <= kMostMergedRuns;
         ++index) {
        if (before(points[index], points[index - 1])) {
            runEnds.push_back(index);
        }
    }
    if (runEnds.size() > kMostMergedRuns) {
        std::sort(points.begin(), points.end(), before);
        return;
    }
    runEnds.push_back(points.size());
    for (std::size_t run = 1; run < runEnds.size(); ++run) {
        std::inplace_merge(points.begin(), points.begin() + runEnds[run - 1],
                           points.begin() + runEnds[run], before);
    }
}

}  // namespace

std::vector<MarkerPoint> sortedMarkerPoints(const Site* head) {
    std::vector<MarkerPoint> points;
    reserveLarge(points, countSites(head));
    for (const Site* site = head; site; site = site->next) {
        points.push_back({static_cast<float>(site->x), static_cast<float>(site->y)});
    }
    sortPoints(points);
    // Copies of a point draw the same pixels.
    points.erase(std::unique(points.begin(), points.end(),
                             [](const MarkerPoint& a, const MarkerPoint& b) {
                                 return a.x == b.x && a.y == b.y;
                             }),
                 points.end());
    return points;
}
