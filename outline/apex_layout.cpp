#include "outline/apex_layout.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "cells/thread_sharing.h"

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
    // A matrix product per site, as the transform makes one per cone.
    constexpr int kThreads = 2;
    float boxes[kThreads][4];
    onThreads(kThreads, [&](int thread) {
        const std::size_t end = sites.size() * (thread + 1) / kThreads;
        ConeOutlines::Cone cone;
        float* box = boxes[thread];
        box[0] = box[1] = std::numeric_limits<float>::infinity();
        box[2] = box[3] = -std::numeric_limits<float>::infinity();
        for (std::size_t site = sites.size() * thread / kThreads; site < end; ++site) {
            outlines.cone(sites[site].x, sites[site].y, cone);
            const OutlinePoint apex = outlines.window(cone, 0);
            x[site] = apex.x;
            y[site] = apex.y;
            // Comparisons with a value that is not a number fail.
            box[0] = apex.x < box[0] ? apex.x : box[0];
            box[1] = apex.y < box[1] ? apex.y : box[1];
            box[2] = apex.x > box[2] ? apex.x : box[2];
            box[3] = apex.y > box[3] ? apex.y : box[3];
        }
    });
    left = std::min(boxes[0][0], boxes[1][0]);
    top = std::min(boxes[0][1], boxes[1][1]);
    right = std::max(boxes[0][2], boxes[1][2]);
    bottom = std::max(boxes[0][3], boxes[1][3]);
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
