#include "outline/ray_cover.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "cells/large_arrays.h"
#include "outline/fragment_key.h"

namespace {

// How far inside the window the sites ahead must stand.
constexpr double kSide = 1.5;
// Room along a ray for the snapping of its ends and the clipper's floats.
constexpr double kMargin = 0.5;
// The columns a ray keeps where it and the edges ahead end at their rims.
constexpr double kRimLastColumns = 3.0;
// Where the edges far ahead do not run on past a ray's end: they cover
// nothing of it.
constexpr double kNoFarCover = std::numeric_limits<double>::infinity();

}  // namespace

void RayCover::prepare(const std::vector<OutlineSite>& sites, const ConeOutlines& outlines,
                       const ApexLayout& apexes, const OutlineView& view, int width, int height) {
    this->apexes = &apexes;
    this->width = width;
    this->height = height;
    const double* rayX = apexes.rayX;
    const double* rayY = apexes.rayY;
    // The cover assumes the edges are clipped at the window's own border.
    const int* viewport = view.viewport;
    const bool wholeWindow = viewport[0] == 0 && viewport[1] == 0 && viewport[2] == width &&
                             viewport[3] == height && view.bufferHeight == height;
    if (sites.empty() || !wholeWindow || !(apexes.rimReach > 0.0)) {
        covered.prepare({}, CoveredRays::Geometry{});
        return;
    }
    CoveredRays::Geometry geometry{};
    const auto apexOf = [&outlines](float x, float y) {
        ConeOutlines::Cone cone;
        outlines.cone(x, y, cone);
        return outlines.window(cone, 0);
    };
    const float x = sites[0].x;
    const float y = sites[0].y;
    const OutlinePoint apex = apexOf(x, y);
    const OutlinePoint besideX = apexOf(x + 1.0f, y);
    const OutlinePoint besideY = apexOf(x, y + 1.0f);
    geometry.stepX[0] = static_cast<double>(besideX.x) - apex.x;
    geometry.stepX[1] = static_cast<double>(besideX.y) - apex.y;
    geometry.stepY[0] = static_cast<double>(besideY.x) - apex.x;
    geometry.stepY[1] = static_cast<double>(besideY.y) - apex.y;
    std::copy(rayX, rayX + kConeSlices, geometry.rayX);
    std::copy(rayY, rayY + kConeSlices, geometry.rayY);
    std::copy(apexes.rayLength, apexes.rayLength + kConeSlices, geometry.rayLength);
    covered.prepare(sites, geometry);
    for (int ray = 0; ray < kConeSlices; ++ray) {
        RayExits& ends = rayExits[ray];
        const double alongX = std::fabs(rayX[ray]);
        const double alongY = std::fabs(rayY[ray]);
        ends.xMajor = alongX >= alongY;
        ends.major = ends.xMajor ? alongX : alongY;
        const double minor = ends.xMajor ? alongY : alongX;
        ends.lastColumns = (minor > 1e-9 ? std::ceil(ends.major / minor) : 0.0) + 4.0;
        ends.clear = (ends.lastColumns + 1.0) / ends.major;
        ends.sideSlack = (minor > 1e-9 ? 1.0 / minor : 0.0) + 1.0 / ends.major;
        ends.perX = 1.0 / rayX[ray];
        ends.perY = 1.0 / rayY[ray];
    }
    prepareSteady();
}

void RayCover::prepareSteady() {
    if (!covered.usable()) {
        return;
    }
    // A steady ray leaves the window past its rim, and the edges ahead run on
    // past their rims: what depthsAlong works out then depends only on the
    // sets that cover, and about a surrounded site every set does. A ray
    // runs at least as far to a border as its apex lies from it, across the
    // ray's part of that axis; every apex must lie inside the window by the
    // sites ahead and a little more.
    steady = emptySummary();
    const int most = std::max(width, height) + 1;
    for (std::vector<std::uint32_t>& rays : steadyFrom) {
        rays.assign(static_cast<std::size_t>(most) + 1, 0);
    }
    for (int ray = 0; ray < kConeSlices; ++ray) {
        const RayExits& ends = rayExits[ray];
        const double rim = apexes->rayLength[ray];
        const double runs =
            rim + ends.clear + CoveredRays::kFarAheadColumns / ends.major + ends.sideSlack + 1.0;
        const double along[2] = {apexes->rayX[ray], apexes->rayY[ray]};
        const std::uint32_t bit = std::uint32_t{1} << ray;
        for (int axis = 0; axis < 2; ++axis) {
            const double part = std::fabs(along[axis]);
            const double ahead =
                std::max(runs * part, kSide + CoveredRays::kMostAhead * part) + 1.0;
            const bool towardsHigh = (axis == 0 ? ends.perX : ends.perY) > 0.0;
            for (int high = 0; high < 2; ++high) {
                const double need = (high == 1) == towardsHigh ? ahead : kSide + 1.0;
                if (!(need < most)) {
                    continue;
                }
                std::vector<std::uint32_t>& rays = steadyFrom[2 * axis + high];
                for (int distance = static_cast<int>(std::ceil(need)); distance <= most;
                     ++distance) {
                    rays[static_cast<std::size_t>(distance)] |= bit;
                }
            }
        }
        float coverLow = kNothingDrawn;
        float coverHigh = kNothingDrawn;
        coverFrom(
            ray, covered.fromAllAbout(ray), RayEnd::Elsewhere, rim,
            [&] { return covered.fromFarAheadAllAbout(ray); }, coverLow, coverHigh);
        steadyDepths[ray][0] = coverLow;
        steadyDepths[ray][1] = coverHigh;
        addRay(steady, ray, coverLow, coverHigh);
    }
}

void RayCover::depthsAlong(std::size_t site, int ray, Lookup& lookup, float& coverLow,
                           float& coverHigh) const {
    coverLow = kNothingDrawn;
    coverHigh = kNothingDrawn;
    const double apexX = apexes->x[site];
    const double apexY = apexes->y[site];
    // The sites ahead must stand inside the window too: an edge that enters
    // the window may leave out its first pixel there. They lie up to
    // kMostAhead along the ray and less than a pixel across it.
    const double aheadX = CoveredRays::kMostAhead * apexes->rayX[ray];
    const double aheadY = CoveredRays::kMostAhead * apexes->rayY[ray];
    if (!(apexX + std::min(aheadX, 0.0) > kSide && apexX + std::max(aheadX, 0.0) < width - kSide &&
          apexY + std::min(aheadY, 0.0) > kSide &&
          apexY + std::max(aheadY, 0.0) < height - kSide)) {
        return;
    }
    const double from =
        lookup.surrounded ? covered.fromAllAbout(ray) : covered.from(lookup.points, ray);
    const RayExits& ends = rayExits[ray];
    // How far the ray runs to the window's border across each axis.
    const double exitX = (ends.perX > 0.0 ? width - apexX : -apexX) * ends.perX;
    const double exitY = (ends.perY > 0.0 ? height - apexY : -apexY) * ends.perY;
    const double majorExit = ends.xMajor ? exitX : exitY;
    const double minorExit = ends.xMajor ? exitY : exitX;
    // The edges ahead end in the same column where the ray leaves the
    // window across the major axis well away from the other border, and
    // after it where they end at their rims a few columns ahead well inside
    // the window.
    const double rim = apexes->rayLength[ray];
    const bool leavesAcrossMajor = majorExit + ends.clear < std::min(minorExit, rim);
    // The sites ahead lie up to kMostAhead along the ray and a pixel across
    // it, and so do their rims from the ray's.
    const bool endsAtRims = rim + CoveredRays::kMostAhead + ends.clear <
                            std::min(majorExit, minorExit - ends.sideSlack);
    // The edges far ahead lie less than a pixel across, so they leave across
    // the minor axis at most ends.sideSlack before the ray's line does. Short
    // of that they run on past the rim to their own rims, or to the border
    // that the line leaves across the major axis, where they light every
    // pixel an edge along it lights in the columns it ends in.
    const bool farEdgesRunOn =
        minorExit - ends.sideSlack >
        std::min(rim + CoveredRays::kFarAheadColumns / ends.major, majorExit);
    coverFrom(
        ray, from,
        leavesAcrossMajor ? RayEnd::AcrossMajor
        : endsAtRims      ? RayEnd::AtRims
                          : RayEnd::Elsewhere,
        std::min({majorExit, minorExit, rim}),
        [&] {
            if (!farEdgesRunOn) {
                return kNoFarCover;
            }
            return lookup.surrounded ? covered.fromFarAheadAllAbout(ray)
                                     : covered.fromFarAhead(lookup.points, ray);
        },
        coverLow, coverHigh);
}

template <typename FarFrom>
void RayCover::coverFrom(int ray, double from, RayEnd rayEnd, double end, FarFrom farFrom,
                         float& coverLow, float& coverHigh) const {
    if (!std::isfinite(from)) {
        return;
    }
    // Where the ray leaves the window across the minor axis, an edge ahead
    // may leave first, up to a pixel across, so the ray's last columns stay:
    // as many as it takes to move a pixel across, and a few. Where all end
    // at their rims, the edges ahead end in the ray's last column or after
    // it, their apexes and rims a twentieth of a column ahead at least, and an
    // edge's last column is one of the two before its end: the ray's last
    // two stay, and one more for the snapping.
    const RayExits& ends = rayExits[ray];
    from += kMargin;
    double to = std::numeric_limits<double>::infinity();
    if (rayEnd != RayEnd::AcrossMajor) {
        const double lastColumns = rayEnd == RayEnd::AtRims ? kRimLastColumns : ends.lastColumns;
        to = end - lastColumns / ends.major - kMargin;
        const double farSets = farFrom();
        const double farStart = farSets + kMargin;
        if (farStart < to) {
            to = std::numeric_limits<double>::infinity();
        } else if (!(from < to) && std::isfinite(farStart)) {
            // A ray shorter than its last columns: the far sets alone cover
            // it, from where they start.
            from = farStart;
            to = std::numeric_limits<double>::infinity();
        }
    }
    if (!(from < to)) {
        return;
    }
    // A fragment's depth, times twice the ray's length, is its distance
    // along the ray from the apex, to well within the margins.
    coverLow = static_cast<float>(apexes->depthAlong(ray, from));
    coverHigh = std::isfinite(to) ? static_cast<float>(apexes->depthAlong(ray, to)) : kNothingDrawn;
}

RayCover::Summary RayCover::emptySummary() {
    return {0.0f, kNothingDrawn, 0, 0, kNoTailSlot};
}

void RayCover::addRay(Summary& summary, int ray, float coverLow, float coverHigh) {
    const std::uint32_t bit = std::uint32_t{1} << ray;
    if (coverLow == kNothingDrawn) {
        summary.uncovered |= bit;
        return;
    }
    summary.nearEnd = std::max(summary.nearEnd, coverLow);
    if (coverHigh < kNothingDrawn) {
        summary.tails |= bit;
        summary.tailStart = std::min(summary.tailStart, coverHigh);
    }
}

void RayCover::keepTailStart(Summary& summary, int ray, float start) {
    if (summary.tailSlot == kNoTailSlot) {
        if (tailSlotsTaken.load(std::memory_order_relaxed) >= kMostTailSlots) {
            return;
        }
        const std::uint32_t slot = tailSlotsTaken.fetch_add(1, std::memory_order_relaxed);
        if (slot >= kMostTailSlots) {
            return;
        }
        summary.tailSlot = slot;
    }
    // Depths of a ray's fragments lie below 0.5: the steps fit 16 bits.
    tailStarts[static_cast<std::size_t>(summary.tailSlot) * kConeSlices +
               static_cast<std::size_t>(ray)] =
        static_cast<std::uint16_t>(std::min(start * kTailSteps, 65535.0f));
}

void RayCover::startSummaries(std::size_t places, bool perRay) {
    this->perRay = perRay;
    tailSlotsTaken.store(0, std::memory_order_relaxed);
    if (!perRay && !tailStarts) {
        // Not touched until used: most pictures take few slots.
        tailStarts.reset(new std::uint16_t[static_cast<std::size_t>(kMostTailSlots) * kConeSlices]);
    }
    if (!covered.usable()) {
        summaries.clear();
        summedRays.clear();
        return;
    }
    reserveLarge(summaries, places);
    summaries.resize(places);
    reserveLarge(summedRays, places);
    summedRays.assign(places, 0);
    if (perRay) {
        reserveLarge(rayDepths, places * 2 * kConeSlices);
        rayDepths.resize(places * 2 * kConeSlices);
    }
}

void RayCover::summariseRays(std::size_t place, std::size_t site, std::uint32_t rays,
                             Lookup& lookup) {
    if (!lookup.read) {
        covered.around(site, lookup.points);
        lookup.read = true;
    }
    Summary& summary = summaries[place];
    if (summedRays[place] == 0) {
        summary = emptySummary();
    }
    for (std::uint32_t rest = rays; rest != 0; rest &= rest - 1) {
        const int ray = __builtin_ctz(rest);
        float coverLow = steadyDepths[ray][0];
        float coverHigh = steadyDepths[ray][1];
        if (!((lookup.steadyRays >> ray) & 1u)) {
            depthsAlong(site, ray, lookup, coverLow, coverHigh);
        }
        lookup.depths[ray][0] = coverLow;
        lookup.depths[ray][1] = coverHigh;
        lookup.known |= std::uint32_t{1} << ray;
        if (perRay) {
            rayDepths[(place * kConeSlices + ray) * 2] = coverLow;
            rayDepths[(place * kConeSlices + ray) * 2 + 1] = coverHigh;
        } else if (coverLow < kNothingDrawn && coverHigh < kNothingDrawn) {
            keepTailStart(summary, ray, coverHigh);
        }
        addRay(summary, ray, coverLow, coverHigh);
    }
    summedRays[place] |= rays;
}

void RayCover::noteSteady(std::size_t place, std::uint32_t steadyRays) {
    if (summedRays[place] != 0) {
        return;
    }
    // Only these rays: the summary of every steady ray would mark others as
    // this site's too, and their tails as kept where they are not.
    Summary& summary = summaries[place];
    summary = emptySummary();
    for (std::uint32_t rest = steadyRays; rest != 0; rest &= rest - 1) {
        const int ray = __builtin_ctz(rest);
        addRay(summary, ray, steadyDepths[ray][0], steadyDepths[ray][1]);
    }
    summedRays[place] = steadyRays;
}

void RayCover::coveredDepths(std::size_t place, std::size_t site, int ray, Lookup& lookup,
                             float& low, float& high) const {
    if ((lookup.steadyRays >> ray) & 1u) {
        low = steadyDepths[ray][0];
        high = steadyDepths[ray][1];
        return;
    }
    if (perRay) {
        low = rayDepths[(place * kConeSlices + ray) * 2];
        high = rayDepths[(place * kConeSlices + ray) * 2 + 1];
        return;
    }
    if ((lookup.known >> ray) & 1u) {
        low = lookup.depths[ray][0];
        high = lookup.depths[ray][1];
        return;
    }
    const Summary& summary = summaries[place];
    if (summary.tailSlot != kNoTailSlot && ((summary.tails >> ray) & 1u)) {
        low = summary.nearEnd;
        high = tailStarts[static_cast<std::size_t>(summary.tailSlot) * kConeSlices +
                          static_cast<std::size_t>(ray)] /
               kTailSteps;
        return;
    }
    if (!lookup.read) {
        covered.around(site, lookup.points);
        lookup.read = true;
    }
    depthsAlong(site, ray, lookup, low, high);
}
