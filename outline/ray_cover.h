#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "cells/cone_geometry.h"
#include "outline/apex_layout.h"
#include "outline/cone_outline.h"
#include "outline/covered_rays.h"
#include "outline/outline_edge.h"

// The depths at which sites just ahead cover each site's radial edges
// (CoveredRays), summed up per site for the bands: a band past a site's
// covered depths walks only the rays that stay uncovered there.
class RayCover {
public:
    // How sites ahead cover a site's rays: all those they cover at all from
    // depth `nearEnd` on, up to `tailStart` for the rays in `tails`; the rays
    // in `uncovered` nowhere.
    struct Summary {
        float nearEnd;
        float tailStart;
        std::uint32_t uncovered;
        std::uint32_t tails;
        // Where its tails' starts are kept, or kNoTailSlot.
        std::uint32_t tailSlot;

        // Of `rays`, those that keep a part in the band of depths from
        // `low` to `high` beyond their near parts.
        std::uint32_t openIn(std::uint32_t rays, float low, float high) const {
            return low >= nearEnd ? rays & (uncovered | (high > tailStart ? tails : 0)) : rays;
        }
    };

    // Nothing is covered unless the sites stand on whole raster points and
    // the edges are clipped at the window's own border.
    void prepare(const std::vector<OutlineSite>& sites, const ConeOutlines& outlines,
                 const ApexLayout& apexes, const OutlineView& view, int width, int height);
    // Room for the sums of `places` sites, each ray's part worked out when
    // first asked for: most sites of a crowd lie where the bands soon have
    // nothing left to draw, and most of their rays point where nothing is.
    // With `perRay`, each ray's depths are kept too.
    void startSummaries(std::size_t places, bool perRay);

    bool any() const { return !summaries.empty(); }

    // What a site's rays' depths are read from, read once for all its rays.
    // Where every point about a site holds a site, a ray that ends at its
    // rim well inside the window is steady: its cover is that of any other
    // site's steady ray alike, worked out once.
    struct Lookup {
        CoveredRays::Around points;
        bool read = false;
        // Every point about the site holds a site: the first of every list
        // of sets covers, whatever the rows.
        bool surrounded = false;
        std::uint32_t steadyRays = 0;
        // The rays whose depths were worked out through this lookup, and
        // those depths, low and high.
        std::uint32_t known = 0;
        float depths[kConeSlices][2];
    };
    // Sets a fresh lookup up for a site, its rows yet to be read.
    void startLookup(std::size_t site, Lookup& lookup) const {
        // No site is surrounded where the cover is not usable.
        lookup.surrounded = covered.surrounded(site);
        if (lookup.surrounded) {
            lookup.steadyRays = steadyRaysAt(site);
        }
    }
    // The rays of a site that are steady: none where it is not surrounded.
    std::uint32_t steadyRays(std::size_t site) const {
        return covered.surrounded(site) ? steadyRaysAt(site) : 0;
    }
    // The summary of every steady ray.
    const Summary& steadySummary() const { return steady; }

    // The cover of site `site` at `place` summed up over `rays` (a bit each)
    // at least, one thread at a time for a place. Its bits of other rays
    // are clear, and its depths are those of the rays summed up so far. Where
    // all of `rays` are steady, the summary of every steady ray: the bands
    // take it as they would the site's own.
    const Summary& summary(std::size_t place, std::size_t site, std::uint32_t rays,
                           Lookup& lookup) {
        if (lookup.steadyRays != 0 && (rays & ~lookup.steadyRays) == 0) {
            return steady;
        }
        const std::uint32_t missing = rays & ~summedRays[place];
        if (missing != 0) {
            summariseRays(place, site, missing, lookup);
        }
        return summaries[place];
    }

    // Whether a band from `low` to `high` has nothing of `rays` to draw at
    // `place` by what is summed up there already: told from the place's own
    // records, without the site's, which lie in no order in memory.
    bool quietIn(std::size_t place, std::uint32_t rays, float low, float high) const {
        return (rays & ~summedRays[place]) == 0 && summaries[place].openIn(rays, low, high) == 0;
    }
    // Sums the site's `steadyRays` up at `place` as they are steady, where
    // nothing is summed up there yet: a band that finds them all it asks
    // for can then tell without the site's records.
    void noteSteady(std::size_t place, std::uint32_t steadyRays);

    // The depths [low, high) at which sites ahead cover the edges along ray
    // `ray` of site `site` at `place`; both kNothingDrawn where they do not.
    // A tail summed up in an earlier band is read back from where it was
    // kept, as a little less than the ray's own: from the site's nearEnd to
    // the tail's start rounded down.
    void coveredDepths(std::size_t place, std::size_t site, int ray, Lookup& lookup, float& low,
                       float& high) const;

private:
    void summariseRays(std::size_t place, std::size_t site, std::uint32_t rays, Lookup& lookup);
    // A summary of no ray yet, and a ray's covered depths added to one.
    static Summary emptySummary();
    static void addRay(Summary& summary, int ray, float coverLow, float coverHigh);
    void depthsAlong(std::size_t site, int ray, Lookup& lookup, float& low, float& high) const;
    // How a ray's edges and those of the sites just ahead end: where the
    // ray leaves the window across its major axis, in the same column; at
    // their rims well inside the window, the edges ahead in the ray's last
    // column or after it; elsewhere up to a pixel across apart.
    enum class RayEnd { AcrossMajor, AtRims, Elsewhere };
    // The depths covered along the ray from distance `from` (of the near
    // sets) on, where the ray runs to distance `end` in the window, the far
    // sets taken from `farFrom` (or kNoFarCover where their edges do not run
    // on past the ray's end).
    template <typename FarFrom>
    void coverFrom(int ray, double from, RayEnd rayEnd, double end, FarFrom farFrom, float& low,
                   float& high) const;

    CoveredRays covered;
    const ApexLayout* apexes = nullptr;
    int width = 0;
    int height = 0;
    std::vector<Summary> summaries;
    std::vector<std::uint32_t> summedRays;
    std::vector<float> rayDepths;
    bool perRay = false;
    // Where each ray's depths are not kept, the bands after the one that
    // sums a ray up ask for its tail's start again, band after band: the
    // starts are kept for up to kMostTailSlots sites, in steps of
    // 1 / kTailSteps rounded down, 32 to a site.
    static constexpr std::uint32_t kNoTailSlot = ~std::uint32_t{0};
    static constexpr std::uint32_t kMostTailSlots = 1u << 18;
    static constexpr float kTailSteps = 131072.0f;
    void keepTailStart(Summary& summary, int ray, float start);
    std::unique_ptr<std::uint16_t[]> tailStarts;
    std::atomic<std::uint32_t> tailSlotsTaken{0};
    // The cover of each ray where it is steady, and their summary. By whole
    // pixels an apex lies from the window's left, right, lower and upper
    // border, the rays steady that far from it.
    void prepareSteady();
    std::uint32_t steadyRaysAt(std::size_t site) const {
        return steadyAt(0, apexes->x[site]) &
               steadyAt(1, width - static_cast<double>(apexes->x[site])) &
               steadyAt(2, apexes->y[site]) &
               steadyAt(3, height - static_cast<double>(apexes->y[site]));
    }
    std::uint32_t steadyAt(int side, double distance) const {
        const std::vector<std::uint32_t>& rays = steadyFrom[side];
        const auto last = static_cast<double>(rays.size() - 1);
        return distance >= 0.0 ? rays[static_cast<std::size_t>(std::min(distance, last))] : 0;
    }
    Summary steady = {};
    float steadyDepths[kConeSlices][2] = {};
    std::vector<std::uint32_t> steadyFrom[4];
    // What the cover of each ray's edges depends on but the site, worked
    // out once: the ray's axes, the columns that stay near its ends, and the
    // reciprocals of its direction (infinite along an axis it does not move).
    struct RayExits {
        bool xMajor;
        double major;
        double lastColumns;
        double clear;
        double sideSlack;
        double perX;
        double perY;
    };
    RayExits rayExits[kConeSlices] = {};
};
