#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "outline/apex_layout.h"

// Cheap bounds on a cone's rays, the same for every apex: whether the two
// edges along a ray can light a pixel centre at some offset from the apex,
// and how shallow they can be there. They let a pixel pass over most rays
// without working their edges out.
class RayBounds {
public:
    // A pixel centre that an edge lights lies less than this far past the
    // edge's end along its ray: the diamond rule moves the end by up to half
    // a pixel, and the centre lies up to about half a pixel across.
    static constexpr double kPastEnd = 2.0;

    void set(const ApexLayout& apexes);

    // The rays whose edges can light a pixel centre `distance` from the
    // apex at offset (offsetX, offsetY): far from the apex only those of
    // nearby directions.
    std::uint32_t raysToward(double offsetX, double offsetY, double distance) const {
        return distance >= kNarrowFrom ? raysBySector[directionSector(offsetX, offsetY)]
                                       : ~std::uint32_t{0};
    }
    // Whether ray `ray`'s edges can light the pixel centre at that offset.
    bool mayLight(int ray, double offsetX, double offsetY) const {
        const double along = offsetX * rayX[ray] + offsetY * rayY[ray];
        const double across = std::fabs(offsetX * rayY[ray] - offsetY * rayX[ray]);
        return along >= -kAcrossApex && along <= rayLength[ray] + kPastEnd &&
               across <= (along < 1.0 ? kAcrossApex : kAcrossRay) &&
               nearEnds(ray, offsetX, offsetY, offsetX, offsetY);
    }
    // The least depth that ray `ray`'s edges can have at a pixel centre
    // (offsetX, offsetY) from the apex.
    double leastDepth(int ray, double offsetX, double offsetY) const {
        const double perX = alongPerX[ray];
        const double perY = alongPerY[ray];
        double along = std::numeric_limits<double>::infinity();
        if (perX != 0.0) {
            along = offsetX * perX - kAlongSlack * std::fabs(perX);
        }
        if (perY != 0.0) {
            along = std::min(along, offsetY * perY - kAlongSlack * std::fabs(perY));
        }
        return std::max(along, 0.0) * depthPerAlong[ray] - kDepthSlack;
    }
    // Of `rays`, those along which some apex whose offsets from the pixel
    // centre lie from (lowX, lowY) to (highX, highY) may have an edge at the
    // pixel shallower than `best`; `least` the least depth of any of their
    // edges there.
    std::uint32_t raysInBox(std::uint32_t rays, double lowX, double lowY, double highX,
                            double highY, float best, double& least) const;

private:
    // A pixel that a radial edge draws lies within this much of the edge's
    // ray across it (half a pixel, and the snapping); near the apex, within
    // the apex's pixel.
    static constexpr double kAcrossRay = 0.55;
    static constexpr double kAcrossApex = 0.75;
    // How far an axis may fall short of the other along a ray and still be
    // its lines' major one, as their ends are clipped in floats; and how far
    // a fragment's depth may come before where the pixel centre's offset
    // along that axis puts it: in pixels, for the floats of the ends,
    // relatively, and in depth, for the floats of theirs. Ten times what the
    // floats come to.
    static constexpr double kEitherAxis = 0.01;
    static constexpr double kAlongSlack = 0.01;
    static constexpr double kRelativeSlack = 1e-4;
    static constexpr double kDepthSlack = 1e-6;
    // On an axis that can be a ray's lines' major one, a pixel centre that
    // an edge lights lies at most this far past either end of the edge: the
    // diamond rule moves an end to the border of its pixel, and the floats
    // of the ends and the snapping come to a few hundredths.
    static constexpr double kPastMajorEnd = 0.55;
    // From this far from an apex, a pixel centre within kAcrossRay of a ray
    // lies within 11 degrees of its direction.
    static constexpr double kNarrowFrom = 3.0;
    // By the direction of a pixel centre from the apex, in kDirections
    // sectors, the rays that can pass near it there.
    static constexpr int kDirections = 512;

    // The sector of direction (x, y), not both 0: its angle as a number from
    // 0 to 4, a quarter turn each, without a trigonometric call.
    static int directionSector(double x, double y) {
        double turns = 0.0;
        if (y >= 0.0) {
            turns = x >= 0.0 ? y / (x + y) : 1.0 - x / (y - x);
        } else {
            turns = x < 0.0 ? 2.0 - y / (-x - y) : 3.0 + x / (x - y);
        }
        return static_cast<int>(turns * (kDirections / 4.0)) & (kDirections - 1);
    }
    void sortByDirection();

    // Whether a pixel centre offset from an apex by (lowX, lowY) to (highX,
    // highY) can lie near enough the ends of ray `ray`'s edges, along an
    // axis that can be their major one, to be lit by them.
    bool nearEnds(int ray, double lowX, double lowY, double highX, double highY) const {
        const auto overlaps = [](double low, double high, double rim) {
            return high >= std::min(rim, 0.0) - kPastMajorEnd &&
                   low <= std::max(rim, 0.0) + kPastMajorEnd;
        };
        return (alongPerX[ray] != 0.0 && overlaps(lowX, highX, rimX[ray])) ||
               (alongPerY[ray] != 0.0 && overlaps(lowY, highY, rimY[ray]));
    }

    double rayX[kConeSlices] = {};
    double rayY[kConeSlices] = {};
    double rayLength[kConeSlices] = {};
    // Where each ray's rim vertex lies from the apex.
    double rimX[kConeSlices] = {};
    double rimY[kConeSlices] = {};
    // A fragment's depth follows its line's major axis: how far along the
    // ray a pixel centre lies by each axis that may be a ray's major one,
    // per pixel of offset (0 for the other), and the depth per pixel along.
    double alongPerX[kConeSlices] = {};
    double alongPerY[kConeSlices] = {};
    double depthPerAlong[kConeSlices] = {};
    std::uint32_t raysBySector[kDirections] = {};
};
