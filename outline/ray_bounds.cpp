#include "outline/ray_bounds.h"

#include <vector>

void RayBounds::set(const ApexLayout& apexes) {
    for (int ray = 0; ray < kConeSlices; ++ray) {
        rayX[ray] = apexes.rayX[ray];
        rayY[ray] = apexes.rayY[ray];
        rayLength[ray] = apexes.rayLength[ray];
        rimX[ray] = apexes.rimX(ray);
        rimY[ray] = apexes.rimY(ray);
        const double partX = std::fabs(rayX[ray]);
        const double partY = std::fabs(rayY[ray]);
        alongPerX[ray] = partX >= partY - kEitherAxis ? 1.0 / rayX[ray] : 0.0;
        alongPerY[ray] = partY >= partX - kEitherAxis ? 1.0 / rayY[ray] : 0.0;
        depthPerAlong[ray] = apexes.depthAlong(ray, 1.0) * (1.0 - kRelativeSlack);
    }
    sortByDirection();
}

void RayBounds::sortByDirection() {
    constexpr double kPi = 3.14159265358979323846;
    // The sectors' bounds as angles, the last the first a turn on.
    static const std::vector<double> bounds = [] {
        std::vector<double> angles;
        for (int sector = 0; sector <= kDirections; ++sector) {
            const double t = 4.0 * sector / kDirections;
            const int quarter = std::min(static_cast<int>(t), 3);
            const double part = t - quarter;
            const double x[4] = {1.0 - part, -part, part - 1.0, part};
            const double y[4] = {part, 1.0 - part, -part, part - 1.0};
            const double angle = std::atan2(y[quarter], x[quarter]);
            angles.push_back(sector > 0 && angle <= angles.back() ? angle + 2.0 * kPi : angle);
        }
        return angles;
    }();
    // A little more than the angle of kAcrossRay at kNarrowFrom, for the
    // floats.
    const double tolerance = std::asin(kAcrossRay / kNarrowFrom) + 1e-3;
    for (int sector = 0; sector < kDirections; ++sector) {
        raysBySector[sector] = 0;
    }
    for (int ray = 0; ray < kConeSlices; ++ray) {
        const double x = rayX[ray];
        const double y = rayY[ray];
        const std::uint32_t bit = std::uint32_t{1} << ray;
        // A ray of no length or direction is looked at from every side.
        const bool directed = std::fabs(std::hypot(x, y) - 1.0) < 1e-6;
        const double angle = std::atan2(y, x);
        for (int sector = 0; sector < kDirections; ++sector) {
            const double low = bounds[sector];
            const double high = bounds[sector + 1];
            // The ray's angle brought to within a turn above the sector's start.
            double from = std::fmod(angle - low, 2.0 * kPi);
            if (from < 0.0) {
                from += 2.0 * kPi;
            }
            const double beyond = std::min(std::max(from - (high - low), 0.0), 2.0 * kPi - from);
            if (!directed || beyond <= tolerance) {
                raysBySector[sector] |= bit;
            }
        }
    }
}

std::uint32_t RayBounds::raysInBox(std::uint32_t rays, double lowX, double lowY, double highX,
                                   double highY, float best, double& least) const {
    // The bounds below hold for every offset in the box, as each is least or
    // most at a corner; the margin covers their rounding.
    constexpr double kRounding = 1e-9;
    std::uint32_t found = 0;
    least = std::numeric_limits<double>::infinity();
    for (std::uint32_t rest = rays; rest != 0; rest &= rest - 1) {
        const int ray = __builtin_ctz(rest);
        const double x = rayX[ray];
        const double y = rayY[ray];
        const double acrossLow =
            (y >= 0.0 ? lowX * y : highX * y) - (x >= 0.0 ? highY * x : lowY * x);
        const double acrossHigh =
            (y >= 0.0 ? highX * y : lowX * y) - (x >= 0.0 ? lowY * x : highY * x);
        const double alongHigh =
            (x >= 0.0 ? highX * x : lowX * x) + (y >= 0.0 ? highY * y : lowY * y);
        if (acrossLow > kAcrossApex + kRounding || acrossHigh < -kAcrossApex - kRounding ||
            alongHigh < -kAcrossApex - kRounding ||
            !nearEnds(ray, lowX - kRounding, lowY - kRounding, highX + kRounding,
                      highY + kRounding)) {
            continue;
        }
        const double rayLeast =
            std::min(std::min(leastDepth(ray, lowX, lowY), leastDepth(ray, highX, lowY)),
                     std::min(leastDepth(ray, lowX, highY), leastDepth(ray, highX, highY)));
        least = std::min(least, rayLeast);
        if (rayLeast <= static_cast<double>(best) + kRounding) {
            found |= std::uint32_t{1} << ray;
        }
    }
    return found;
}
