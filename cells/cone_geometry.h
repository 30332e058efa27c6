#pragma once

#include <cmath>

// Every cone is a pyramid of this many facets; its rim vertices lie in the
// directions k * 2 * pi / kConeSlices, so facet j faces the direction
// (j + 0.5) * 2 * pi / kConeSlices.
constexpr int kConeSlices = 32;

// Differences in 32-gon distance up to this are ties: which of the two sites
// the full cones show there depends on rounding, so either is right.
constexpr double kCellTieTolerance = 1e-3;

// Slack added to every level, so that the rounding of the fan's vertices to
// 32-bit floats never uncovers a pixel of the cell.
constexpr double kCellLevelMargin = 0.5;

// A ray from a site, and how far along it the site's fan reaches, in the
// distance that the cone's depth stands for (the 32-gon distance: the full
// cone's rim lies at `radius`).
struct FanRay {
    double angle;  // counter-clockwise from +x, in [0, 2 * pi)
    double unitX;  // the ray's point at 32-gon distance 1 from the site
    double unitY;
    double level;  // where the fan's vertex lies, within the rim
    bool onRim;    // in a rim direction, between two facets
};

// The angles of the cones' facets, shared by the cell extents' steps.
constexpr double kPi = 3.14159265358979323846;
constexpr double kFacetAngle = 2.0 * kPi / kConeSlices;
// The distance of a facet from the site where the rim is at 1: cos(pi / 32).
inline const double kFacetApothem = std::cos(kFacetAngle / 2.0);

// The full cone's rim vertices, as GL's cone generates its base circle: in
// its order, clockwise from +x, vertex k at the angle k times the step
// -2 * pi / kConeSlices, both in 32-bit floats; the angle's sine and cosine
// in 64 bits, rounded to 32, times the radius. Which way the angle steps
// shows in the last bits of 31 of the 32 vertices.
struct ConeRim {
    float x[kConeSlices];
    float y[kConeSlices];

    // GL's vertex at the counter-clockwise place `place` from +x.
    static int drawnAt(int place) { return (kConeSlices - place) % kConeSlices; }
};

inline ConeRim coneRim(float radius) {
    ConeRim rim{};
    const float step = 2.0f * static_cast<float>(kPi) / static_cast<float>(-kConeSlices);
    for (int vertex = 0; vertex < kConeSlices; ++vertex) {
        const float angle = step * static_cast<float>(vertex);
        rim.x[vertex] = static_cast<float>(std::cos(angle)) * radius;
        rim.y[vertex] = static_cast<float>(std::sin(angle)) * radius;
    }
    return rim;
}
