#include "cells/cut_cone_mesh.h"

#include <algorithm>

#include "sitemap/site.h"

namespace {

// A ray inside a facet whose level equals both neighbours' has its vertex on
// the straight segment between theirs and adds nothing to the fan.
bool addsToFan(const FanRay* first, const FanRay* ray, const FanRay* end) {
    if (ray->onRim) {
        return true;
    }
    const FanRay& previous = ray == first ? *(end - 1) : *(ray - 1);
    const FanRay& next = ray + 1 == end ? *first : *(ray + 1);
    return previous.level != ray->level || ray->level != next.level;
}

}  // namespace

CutConeMesh buildCutConeMesh(const CellExtents& extents, int radius) {
    CutConeMesh mesh;
    if (radius <= 0) {
        return mesh;
    }
    const double inverseRadius = 1.0 / radius;
    mesh.vertices.reserve(extents.drawnSites.size() + extents.rays.size());
    mesh.indices.reserve(extents.rays.size() * 3);
    for (std::size_t index = 0; index < extents.drawnSites.size(); ++index) {
        const Site& site = *extents.drawnSites[index];
        // The apex where the full cone has it: at the site's float position.
        const double apexX = static_cast<float>(site.x);
        const double apexY = static_cast<float>(site.y);
        const auto apex = static_cast<unsigned int>(mesh.vertices.size());
        const auto siteX = static_cast<float>(apexX);
        const auto siteY = static_cast<float>(apexY);
        mesh.vertices.push_back({siteX, siteY, 1.0f, siteX, siteY, site.r, site.g, site.b, 255});
        const FanRay* first = extents.raysBegin(index);
        const FanRay* end = extents.raysEnd(index);
        for (const FanRay* ray = first; ray != end; ++ray) {
            if (!addsToFan(first, ray, end)) {
                continue;
            }
            mesh.vertices.push_back(
                {static_cast<float>(apexX + ray->level * ray->unitX),
                 static_cast<float>(apexY + ray->level * ray->unitY),
                 static_cast<float>(1.0 - std::min(ray->level, static_cast<double>(radius)) *
                                              inverseRadius),
                 siteX, siteY, site.r, site.g, site.b, 255});
        }
        const auto rimEnd = static_cast<unsigned int>(mesh.vertices.size());
        for (unsigned int rim = apex + 1; rim < rimEnd; ++rim) {
            mesh.indices.push_back(apex);
            mesh.indices.push_back(rim);
            mesh.indices.push_back(rim + 1 == rimEnd ? apex + 1 : rim + 1);
        }
    }
    return mesh;
}
