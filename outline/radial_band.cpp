#include "outline/radial_band.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "cells/thread_sharing.h"
#include "outline/fragment_key.h"

namespace {

constexpr int kThreads = 2;
constexpr int kTileShift = TilePyramid::kTileShift;
constexpr std::uint32_t kEveryRay = ~std::uint32_t{0};
// A tile's group of at least this many sites, eight to a pixel on average,
// is taken pixel by pixel: with fewer, the pixels' tests cost more than the
// sites' tests they spare.
constexpr std::size_t kPixelByPixel = 512;
// A tile's group of at least this many sites has its rays tested as
// settled for all of them at once, and with at least kQuarterSettledTest
// for those of each quarter of the tile too.
constexpr std::size_t kGroupSettledTest = 8;
constexpr std::size_t kQuarterSettledTest = 16;

}  // namespace

void RadialBand::run(float low, float high, Tails tails) {
    this->tails = tails;
    // Beyond this distance from its apex no fragment of an edge is shallower than `high`.
    const double bandReach =
        std::min(static_cast<double>(high), 0.5) * 2.0 * parts.apexes.rimReach + 3.0;
    const std::size_t groupCount = parts.groups.start.size() - 1;
    // The threads take the groups of sites in small runs, one from the first
    // run on and the other from the last back, each writing to its own layer
    // of the pixels. A group's rays are tested for all its sites at once,
    // which spares most tests of crowded sites.
    constexpr std::size_t kRun = 8;
    static_assert(kThreads == 2, "the runs are taken from both ends");
    static_assert(kThreads <= PixelLayers::kLayers, "a layer for each thread");
    const std::size_t runs = (groupCount + kRun - 1) / kRun;
    std::atomic<std::size_t> taken{0};
    onThreads(kThreads, [&](int thread) {
        ThreadScratch scratch;
        // A band of a million sites takes a second.
        const auto wanted = [this] {
            return !parts.cancel || !parts.cancel->load(std::memory_order_relaxed);
        };
        for (std::size_t own = 0; taken.fetch_add(1, std::memory_order_relaxed) < runs && wanted();
             ++own) {
            const std::size_t start = (thread == 0 ? own : runs - 1 - own) * kRun;
            const std::size_t stop = std::min(groupCount, start + kRun);
            for (std::size_t group = start; group < stop; ++group) {
                bandGroup(group, bandReach, low, high, thread, scratch);
            }
        }
    });
}

void RadialBand::bandGroup(std::size_t group, double bandReach, float low, float high, int layer,
                           ThreadScratch& scratch) {
    const auto first = static_cast<std::size_t>(parts.groups.start[group]);
    const auto end = static_cast<std::size_t>(parts.groups.start[group + 1]);
    const std::size_t outside = parts.groups.outsideFirst;
    const bool grouped = group < outside && end - first > 1;
    const double left = parts.groups.left(group);
    const double top = parts.groups.top(group);
    constexpr double kSide = TilePyramid::kTileSide;
    constexpr double kHalf = kSide / 2.0;
    std::uint32_t groupRays =
        grouped ? raysMatter(left, top, kSide, kEveryRay, bandReach, low, high) : 0;
    // Where many sites share the tile, the strip a ray sweeps from all of
    // them at once is tested before each site's own.
    if (groupRays != 0 && end - first >= kGroupSettledTest) {
        groupRays = unsettledRays(left + kHalf, top + kHalf, kHalf, groupRays, low, high);
    }
    if (grouped && (groupRays == 0 ||
                    covered(first, end, parts.groups.steadyRays[group], groupRays, low, high))) {
        return;
    }
    if (grouped && parts.groups.split[group] != TileGroups::kNotSplit &&
        end - first >= kPixelByPixel) {
        bandPixels(parts.groups.split[group], left, top, groupRays, bandReach, low, high, layer,
                   scratch);
        return;
    }
    // The rays the tile's test left are tested for each quarter of it in
    // turn, when its first site comes. A grouped site's apex lies in its
    // tile: the groups take the apexes' whole pixels.
    std::uint32_t quarterRays[4];
    bool quarterTested[4] = {};
    const bool quartered = grouped && end - first >= kQuarterSettledTest;
    const auto outsideStart = static_cast<std::size_t>(parts.groups.start[outside]);
    for (std::size_t place = first; place < end; ++place) {
        if (group >= outside && parts.groups.outsideBy[place - outsideStart] > bandReach) {
            continue;
        }
        const auto site = static_cast<std::size_t>(parts.groups.sites[place]);
        const std::uint32_t* rays = grouped ? &groupRays : nullptr;
        if (quartered) {
            const int right = parts.apexes.x[site] - left >= kHalf ? 1 : 0;
            const int below = parts.apexes.y[site] - top >= kHalf ? 1 : 0;
            const int quarter = right + 2 * below;
            if (!quarterTested[quarter]) {
                quarterRays[quarter] =
                    unsettledRays(left + kHalf * (right + 0.5), top + kHalf * (below + 0.5),
                                  kHalf / 2.0, groupRays, low, high);
                quarterTested[quarter] = true;
            }
            rays = &quarterRays[quarter];
            if (*rays == 0) {
                continue;
            }
        }
        bandSite(site, place, rays, bandReach, low, high, layer, scratch);
    }
}

std::uint32_t RadialBand::raysMatter(double left, double top, double side, std::uint32_t rays,
                                     double bandReach, float low, float high) const {
    const double right = left + side;
    const double bottom = top + side;
    if (!(parts.tiles.blockMaximum(left - bandReach, top - bandReach, right + bandReach,
                                   bottom + bandReach) >= low)) {
        return 0;
    }
    std::uint32_t found = 0;
    for (std::uint32_t rest = rays; rest != 0; rest &= rest - 1) {
        const int ray = __builtin_ctz(rest);
        found |= (rayMatters(left, top, right, bottom, ray, low, high) ? 1u : 0u) << ray;
    }
    return found;
}

bool RadialBand::covered(std::size_t first, std::size_t end, std::uint64_t& steady,
                         std::uint32_t rays, float low, float high) {
    if (!parts.cover.any()) {
        return false;
    }
    // A group is taken by one thread in a band, and the bands follow each other.
    if (steady == TileGroups::kUnknownRays) {
        std::uint32_t everywhere = ~std::uint32_t{0};
        for (std::size_t place = first; place < end && everywhere != 0; ++place) {
            everywhere &=
                parts.cover.steadyRays(static_cast<std::size_t>(parts.groups.sites[place]));
        }
        steady = everywhere;
    }
    return (rays & ~static_cast<std::uint32_t>(steady)) == 0 &&
           parts.cover.steadySummary().openIn(rays, low, high) == 0;
}

void RadialBand::bandPixels(std::int32_t splitGroup, double left, double top,
                            std::uint32_t groupRays, double bandReach, float low, float high,
                            int layer, ThreadScratch& scratch) {
    // At small zooms a tile holds thousands of sites, and only those in the
    // pixels at the crowd's border have rays that can show.
    for (int pixel = 0; pixel < TileGroups::kTilePixels; ++pixel) {
        const std::size_t first = parts.groups.pixelFirst(splitGroup, pixel);
        const std::size_t end = parts.groups.pixelEnd(splitGroup, pixel);
        if (first == end) {
            continue;
        }
        const double pixelLeft = left + pixel % TilePyramid::kTileSide;
        const double pixelTop = top + pixel / TilePyramid::kTileSide;
        std::uint32_t pixelRays =
            raysMatter(pixelLeft, pixelTop, 1.0, groupRays, bandReach, low, high);
        if (pixelRays == 0 || covered(first, end, parts.groups.pixelSteady(splitGroup, pixel),
                                      pixelRays, low, high)) {
            continue;
        }
        // The band's parts of a ray from every apex in the pixel light
        // pixels that the crowd's nearer edges mostly settled already.
        pixelRays = unsettledRays(pixelLeft + 0.5, pixelTop + 0.5, 0.5, pixelRays, low, high);
        if (pixelRays == 0) {
            continue;
        }
        for (std::size_t place = first; place < end; ++place) {
            bandSite(static_cast<std::size_t>(parts.groups.sites[place]), place, &pixelRays,
                     bandReach, low, high, layer, scratch);
        }
    }
}

std::uint32_t RadialBand::unsettledRays(double centreX, double centreY, double spread,
                                        std::uint32_t rays, float low, float high) const {
    std::uint32_t unsettled = rays;
    for (std::uint32_t rest = rays; rest != 0; rest &= rest - 1) {
        const int ray = __builtin_ctz(rest);
        std::size_t columnsPassed = 0;
        if (parts.settled.along(centreX, centreY, spread, parts.apexes.rayX[ray],
                                parts.apexes.rayY[ray], parts.apexes.distanceAlong(ray, low),
                                parts.apexes.distanceAlong(ray, high), parts.apexes.rayLength[ray],
                                low, SettledPixels::Markers::Settled, parts.longestTested,
                                columnsPassed)) {
            unsettled &= ~(std::uint32_t{1} << ray);
        }
    }
    return unsettled;
}

bool RadialBand::rayMatters(double left, double top, double right, double bottom, int ray,
                            float low, float high) const {
    // The fragments of depth d lie about 2 d L from the apex along a ray of
    // length L, within a pixel of it; the walk takes a pixel more at either
    // end of the band.
    const double nearest =
        std::max(0.0, parts.apexes.distanceAlong(ray, static_cast<double>(low)) - 3.0);
    // No radial fragment lies deeper than the rim's 0.5.
    const double farthest =
        parts.apexes.distanceAlong(ray, std::min(static_cast<double>(high), 0.5)) + 3.0;
    const double x0 = parts.apexes.rayX[ray] * nearest;
    const double y0 = parts.apexes.rayY[ray] * nearest;
    const double x1 = parts.apexes.rayX[ray] * farthest;
    const double y1 = parts.apexes.rayY[ray] * farthest;
    constexpr double kAround = 2.0;
    return parts.tiles.blockMaximum(
               left + std::min(x0, x1) - kAround, top + std::min(y0, y1) - kAround,
               right + std::max(x0, x1) + kAround, bottom + std::max(y0, y1) + kAround) >= low;
}

void RadialBand::bandSite(std::size_t site, std::size_t place, const std::uint32_t* groupRays,
                          double bandReach, float low, float high, int layer,
                          ThreadScratch& scratch) {
    const std::uint32_t asked = groupRays == nullptr ? ~std::uint32_t{0} : *groupRays;
    if (parts.cover.any() && parts.cover.quietIn(place, asked, low, high)) {
        return;
    }
    const double x = parts.apexes.x[site];
    const double y = parts.apexes.y[site];
    // A site of its own is first tested as its group would be.
    if (groupRays == nullptr && !(parts.tiles.blockMaximum(x - bandReach, y - bandReach,
                                                           x + bandReach, y + bandReach) >= low)) {
        return;
    }
    // Of the rays its group's test left, beyond their near parts, only those
    // that sites ahead do not cover, and those whose last columns they
    // leave, may show. Only those rays' cover is summed up.
    std::uint32_t candidates = asked;
    RayCover::Lookup lookup;
    if (parts.cover.any()) {
        parts.cover.startLookup(site, lookup);
        const RayCover::Summary& summary = parts.cover.summary(place, site, asked, lookup);
        candidates =
            summary.openIn(asked, low, high) & (tails == Tails::Only ? summary.tails : ~0u);
        if (candidates == 0) {
            if (lookup.steadyRays != 0 && (asked & ~lookup.steadyRays) == 0) {
                parts.cover.noteSteady(place, lookup.steadyRays);
            }
            return;
        }
    }
    // The band's parts of each ray outside the depths that sites ahead
    // cover. A kept edge costs little to look at again, so its group's test
    // does for its whole band; an edge to be worked out is worth a test of
    // its own, unless every site's edges are kept, and so is a part the
    // cover leaves, which often lies where every pixel is settled.
    std::uint32_t walked = candidates;
    const std::uint32_t alreadyKept = parts.keptEdges.keptRays(place);
    const std::uint32_t ownTests = groupRays == nullptr         ? walked
                                   : parts.keptEdges.keepsAll() ? 0
                                                                : walked & ~alreadyKept;
    RayParts rayParts[kConeSlices];
    for (std::uint32_t rest = walked; rest != 0; rest &= rest - 1) {
        const int ray = __builtin_ctz(rest);
        float coverLow = kNothingDrawn;
        float coverHigh = kNothingDrawn;
        if (parts.cover.any() &&
            !((parts.cover.summary(place, site, asked, lookup).uncovered >> ray) & 1u)) {
            parts.cover.coveredDepths(place, site, ray, lookup, coverLow, coverHigh);
        }
        const bool wholeBand = !(coverLow < high);
        const bool tested = !wholeBand || ((ownTests >> ray) & 1u);
        float bounds[4] = {low, std::min(high, coverLow), std::max(low, coverHigh), high};
        if (tails == Tails::Left && coverHigh < kNothingDrawn) {
            bounds[2] = high;
        }
        if (tails == Tails::Only) {
            bounds[1] = low;
        }
        RayParts& spans = rayParts[ray];
        spans.count = 0;
        for (int part = 0; part < 2; ++part) {
            const float partLow = bounds[2 * part];
            const float partHigh = bounds[2 * part + 1];
            if (partLow < partHigh && (!tested || rayMatters(x, y, x, y, ray, partLow, partHigh))) {
                spans.bounds[2 * spans.count] = partLow;
                spans.bounds[2 * spans.count + 1] = partHigh;
                ++spans.count;
            }
        }
        // An edge yet to be worked out is left where every pixel its parts
        // can light is settled already, which the tiles' deepest values,
        // from before the band, do not tell.
        if (spans.count > 0 && !((alreadyKept >> ray) & 1u) && scratch.settledWorthTesting()) {
            bool settled = true;
            const std::size_t before = scratch.columnsPassed;
            for (int part = 0; part < spans.count && settled; ++part) {
                settled = parts.settled.along(
                    x, y, 0.0, parts.apexes.rayX[ray], parts.apexes.rayY[ray],
                    parts.apexes.distanceAlong(ray, spans.bounds[2 * part]),
                    parts.apexes.distanceAlong(ray, spans.bounds[2 * part + 1]),
                    parts.apexes.rayLength[ray], spans.bounds[2 * part],
                    SettledPixels::Markers::Unsettled, parts.longestTested, scratch.columnsPassed);
            }
            if (settled) {
                scratch.columnsSpared += scratch.columnsPassed - before;
                spans.count = 0;
            }
        }
        if (spans.count == 0) {
            walked &= ~(std::uint32_t{1} << ray);
        }
    }
    if (walked == 0) {
        return;
    }
    parts.keptEdges.prefetch(place, walked & alreadyKept);
    std::uint32_t kept = walked & alreadyKept;
    if ((walked & ~alreadyKept) != 0) {
        kept |= parts.keptEdges.keepRays(parts.outlines, parts.sites[site], site, place,
                                         walked & ~alreadyKept);
    }
    bool coneReady = false;
    for (std::uint32_t rest = walked; rest != 0; rest &= rest - 1) {
        const int ray = __builtin_ctz(rest);
        const RayParts& spans = rayParts[ray];
        if ((kept >> ray) & 1u) {
            for (int part = 0; part < spans.count; ++part) {
                parts.keptEdges.walkRay(parts.walker, place, ray, spans.bounds[2 * part],
                                        spans.bounds[2 * part + 1], layer);
            }
            continue;
        }
        if (!coneReady) {
            parts.outlines.cone(parts.sites[site].x, parts.sites[site].y, scratch.cone);
            coneReady = true;
        }
        rayEdges(parts.outlines, scratch.cone, site, ray, scratch.inward, scratch.outward);
        const bool twin = twinned(scratch.inward, scratch.outward);
        for (int part = 0; part < spans.count; ++part) {
            parts.walker.walkRay(scratch.inward, scratch.outward, twin, spans.bounds[2 * part],
                                 spans.bounds[2 * part + 1], layer, nullptr, nullptr);
        }
    }
}
