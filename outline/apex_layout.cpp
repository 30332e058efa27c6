#include "outline/apex_layout.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "cells/thread_sharing.h"

namespace {

constexpr int kThreads = 2;
// The most whole coordinates along an axis that a table holds.
constexpr double kMostTabled = 1 << 16;

// The window coordinates of the apexes of sites on whole coordinates from
// `first` on, along one axis, where the view is separable.
struct AxisTable {
    float first = 0.0f;
    std::vector<float> window;

    // Where `value` lands, if it is a whole coordinate the table holds.
    bool find(float value, float& found) const {
        const float offset = value - first;  // exact for whole coordinates
        if (!(offset >= 0.0f && offset < static_cast<float>(window.size()))) {
            return false;
        }
        const auto index = static_cast<std::size_t>(offset);
        found = window[index];
        return static_cast<float>(index) == offset;
    }

    // For the whole coordinates from `low` to `high`, by `apexAt`; empty
    // where there are too many or one lands on no number.
    template <typename ApexAt>
    void fill(float low, float high, ApexAt apexAt) {
        window.clear();
        const double limit = ConeOutlines::kMostSeparableCoordinate;
        if (!(low >= -limit && low <= high && high <= limit && high - low < kMostTabled)) {
            return;
        }
        first = std::floor(low);
        window.resize(static_cast<std::size_t>(std::floor(high) - first) + 1);
        for (std::size_t index = 0; index < window.size(); ++index) {
            window[index] = apexAt(first + static_cast<float>(index));
            if (!std::isfinite(window[index])) {
                window.clear();
                return;
            }
        }
    }
};

// The box of the points `pointOf` gives for sites 0 to count - 1, worked
// out on the threads: left, top, right, bottom. Comparisons with a value that
// is not a number fail, so those are left out.
template <typename PointOf>
std::array<float, 4> boxOnThreads(std::size_t count, PointOf pointOf) {
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    std::array<float, 4> boxes[kThreads];
    onRuns(kThreads, count, [&](int thread, std::size_t first, std::size_t end) {
        std::array<float, 4> box = {kInfinity, kInfinity, -kInfinity, -kInfinity};
        for (std::size_t site = first; site < end; ++site) {
            const OutlinePoint point = pointOf(site);
            box[0] = point.x < box[0] ? point.x : box[0];
            box[1] = point.y < box[1] ? point.y : box[1];
            box[2] = point.x > box[2] ? point.x : box[2];
            box[3] = point.y > box[3] ? point.y : box[3];
        }
        boxes[thread] = box;
    });
    std::array<float, 4> box = boxes[0];
    for (int thread = 1; thread < kThreads; ++thread) {
        box = {std::min(box[0], boxes[thread][0]), std::min(box[1], boxes[thread][1]),
               std::max(box[2], boxes[thread][2]), std::max(box[3], boxes[thread][3])};
    }
    return box;
}

}  // namespace

void ApexLayout::locate(const std::vector<OutlineSite>& sites, const ConeOutlines& outlines) {
    x.resize(sites.size());
    y.resize(sites.size());
    rimReach = 0.0;
    left = top = right = bottom = 0.0f;
    std::fill(rayX, rayX + kConeSlices, 0.0);
    std::fill(rayY, rayY + kConeSlices, 0.0);
    std::fill(rayLength, rayLength + kConeSlices, 0.0);
    if (sites.empty()) {
        return;
    }
    const auto apexOf = [&outlines](float siteX, float siteY) {
        ConeOutlines::Cone cone;
        outlines.cone(siteX, siteY, cone);
        return outlines.window(cone, 0);
    };
    // Under a separable view, the apexes of a raster's sites, which stand on
    // whole coordinates, come from a table per axis: a matrix product per
    // whole coordinate, not per site.
    AxisTable tableX;
    AxisTable tableY;
    if (outlines.separableApexes()) {
        const std::array<float, 4> box = boxOnThreads(sites.size(), [&sites](std::size_t site) {
            return OutlinePoint{sites[site].x, sites[site].y, 0.0f};
        });
        tableX.fill(box[0], box[2], [&](float value) { return apexOf(value, 0.0f).x; });
        tableY.fill(box[1], box[3], [&](float value) { return apexOf(0.0f, value).y; });
    }
    const std::array<float, 4> box = boxOnThreads(sites.size(), [&](std::size_t site) {
        OutlinePoint apex{};
        if (!(tableX.find(sites[site].x, apex.x) && tableY.find(sites[site].y, apex.y))) {
            apex = apexOf(sites[site].x, sites[site].y);
        }
        x[site] = apex.x;
        y[site] = apex.y;
        return apex;
    });
    left = box[0];
    top = box[1];
    right = box[2];
    bottom = box[3];
    // The rays, from the first site's cone.
    ConeOutlines::Cone cone;
    outlines.cone(sites[0].x, sites[0].y, cone);
    const OutlinePoint apex = outlines.window(cone, 0);
    for (int vertex = 0; vertex < kConeSlices; ++vertex) {
        const OutlinePoint rim = outlines.window(cone, vertex + 1);
        const double dx = static_cast<double>(rim.x) - apex.x;
        const double dy = static_cast<double>(rim.y) - apex.y;
        const double length = std::hypot(dx, dy);
        rimReach = std::max(rimReach, length);
        rayLength[vertex] = length;
        rayX[vertex] = length > 0.0 ? dx / length : 0.0;
        rayY[vertex] = length > 0.0 ? dy / length : 0.0;
    }
}
