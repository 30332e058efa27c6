#pragma once

#include <vector>

#include "cells/cone_geometry.h"
#include "outline/cone_outline.h"
#include "outline/outline_edge.h"

// Where each site's apex lands in the window, and the cones' rays: every
// cone has the same shape under the view, so the directions of its rim
// vertices from the apex and their distances are worked out once.
struct ApexLayout {
    std::vector<float> x;
    std::vector<float> y;
    // Unit directions from the apex to rim vertex j, and how far it lies.
    double rayX[kConeSlices] = {};
    double rayY[kConeSlices] = {};
    double rayLength[kConeSlices] = {};
    // How far the farthest rim vertex lies from the apex, in window pixels.
    double rimReach = 0.0;
    // The box the apexes lie in (apexes that are not numbers left out).
    float left = 0.0f;
    float top = 0.0f;
    float right = 0.0f;
    float bottom = 0.0f;

    void locate(const std::vector<OutlineSite>& sites, const ConeOutlines& outlines);
    // Where rim vertex j lies from the apex.
    double rimX(int vertex) const { return rayX[vertex] * rayLength[vertex]; }
    double rimY(int vertex) const { return rayY[vertex] * rayLength[vertex]; }
    // No more than the depth of a radial fragment `distance` window pixels
    // from its apex along any ray.
    double depthAt(double distance) const { return distance / (2.0 * rimReach); }
    // The depth `distance` window pixels from the apex along ray `ray`, and
    // back: a stretched window gives the rays lengths of their own.
    double depthAlong(int ray, double distance) const { return distance / (2.0 * rayLength[ray]); }
    double distanceAlong(int ray, double depth) const { return depth * 2.0 * rayLength[ray]; }
};
