#pragma once

#include <cstddef>
#include <cstdint>
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
    // The cover of site `site` at `place` summed up over `rays` (a bit each)
    // at least, one thread at a time for a place. Its bits of other rays
    // are clear, and its depths are those of the rays summed up so far.
    const Summary& summary(std::size_t place, std::size_t site, std::uint32_t rays) {
        const std::uint32_t missing = rays & ~summedRays[place];
        if (missing != 0) {
            summariseRays(place, site, missing);
        }
        return summaries[place];
    }

    // What a site's rays' depths are read from, read once for all its rays.
    struct Lookup {
        CoveredRays::Around points;
        bool read = false;
    };
    // The depths [low, high) at which sites ahead cover the edges along ray
    // `ray` of site `site` at `place`; both kNothingDrawn where they do not.
    void coveredDepths(std::size_t place, std::size_t site, int ray, Lookup& lookup, float& low,
                       float& high) const;

private:
    void summariseRays(std::size_t place, std::size_t site, std::uint32_t rays);
    void depthsAlong(std::size_t site, int ray, CoveredRays::Around& points, float& low,
                     float& high) const;

    CoveredRays covered;
    const ApexLayout* apexes = nullptr;
    int width = 0;
    int height = 0;
    std::vector<Summary> summaries;
    std::vector<std::uint32_t> summedRays;
    std::vector<float> rayDepths;
    bool perRay = false;
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
