#include "sitemap/cut_cone_mesh.h"

#include <cmath>

#include "sitemap/site.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// The point of each ray at 32-gon distance 1 from the apex.
struct UnitRays {
    std::vector<double> x;
    std::vector<double> y;

    explicit UnitRays(int raysPerFacet) {
        const int rayCount = kConeSlices * raysPerFacet;
        const double facetAngle = 2.0 * kPi / kConeSlices;
        for (int ray = 0; ray < rayCount; ++ray) {
            const double rayAngle = 2.0 * kPi * ray / rayCount;
            const double normalAngle = (ray / raysPerFacet + 0.5) * facetAngle;
            const double scale = std::cos(facetAngle / 2.0) / std::cos(rayAngle - normalAngle);
            x.push_back(scale * std::cos(rayAngle));
            y.push_back(scale * std::sin(rayAngle));
        }
    }
};

// A ray inside a facet whose level equals both neighbours' has its vertex on
// the straight segment between theirs and adds nothing to the fan.
bool addsToFan(const double* levels, int ray, int raysPerFacet, int rayCount) {
    if (ray % raysPerFacet == 0) {
        return true;
    }
    return levels[ray - 1] != levels[ray] || levels[ray] != levels[(ray + 1) % rayCount];
}

}  // namespace

CutConeMesh buildCutConeMesh(const CellExtents& extents, int radius) {
    CutConeMesh mesh;
    if (radius <= 0) {
        return mesh;
    }
    const int rayCount = extents.raysPerSite();
    const UnitRays rays(extents.raysPerFacet);
    const double inverseRadius = 1.0 / radius;
    mesh.vertices.reserve(extents.drawnSites.size() * (rayCount + 1));
    mesh.indices.reserve(extents.drawnSites.size() * rayCount * 3);
    for (std::size_t index = 0; index < extents.drawnSites.size(); ++index) {
        const Site& site = *extents.drawnSites[index];
        const double* levels = extents.levelsOf(static_cast<int>(index));
        // The apex where the full cone has it: at the site's float position.
        const double apexX = static_cast<float>(site.x);
        const double apexY = static_cast<float>(site.y);
        const auto apex = static_cast<unsigned int>(mesh.vertices.size());
        mesh.vertices.push_back({static_cast<float>(apexX), static_cast<float>(apexY), 1.0f, site.r,
                                 site.g, site.b, 255});
        for (int ray = 0; ray < rayCount; ++ray) {
            if (!addsToFan(levels, ray, extents.raysPerFacet, rayCount)) {
                continue;
            }
            const double level = levels[ray];
            mesh.vertices.push_back({static_cast<float>(apexX + level * rays.x[ray]),
                                     static_cast<float>(apexY + level * rays.y[ray]),
                                     static_cast<float>(1.0 - level * inverseRadius), site.r,
                                     site.g, site.b, 255});
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
