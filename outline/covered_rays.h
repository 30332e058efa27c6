#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "cells/cone_geometry.h"
#include "outline/outline_edge.h"
#include "outline/whole_points.h"

// Where a site's radial edges can no longer show because sites just ahead
// of it light the same pixels at less depth. All radial edges along a ray
// are parallel, so two sites a little ahead along it, one a little to each
// side across it (less than a pixel apart across), light between them every
// pixel its edge lights beyond them, nearer their apexes; where their edges
// lie half a pixel to each side, a third one straight ahead closes the gap.
// Only sites on whole raster points are looked at: there the sites that can
// do this lie at fixed raster offsets, worked out once per ray.
class CoveredRays {
public:
    // How far ahead along the ray, in window pixels, the covering sites lie
    // at most.
    static constexpr double kMostAhead = 6.0;
    // How far past the end of a site's edge, in columns, the edges of the
    // sites that cover it at its rim run on at least. The diamond rule puts
    // an edge's last column in one of the two before its end, so edges that
    // end a column further light the site's last column too; the half
    // column more is room for the snapping.
    static constexpr double kFarAheadColumns = 1.5;
    // How many raster steps each way the sites looked at lie at most.
    static constexpr int kMostSteps = 16;

    // The window offsets that one raster step along x and along y make, and
    // each ray's direction in the window, as unit vectors, and its length.
    struct Geometry {
        double stepX[2];
        double stepY[2];
        double rayX[kConeSlices];
        double rayY[kConeSlices];
        double rayLength[kConeSlices];
    };

    // Looks at `sites` under `geometry`; nothing is covered where they do not
    // all stand on whole raster points.
    void prepare(const std::vector<OutlineSite>& sites, const Geometry& geometry);

    // Which points about a site hold sites, each row read when a ray's sets
    // first look at it: a row of bits per raster row, the site's own point
    // in the middle; and the same for every farStride-th point. A bit of
    // `rowsRead` and `farRowsRead` for each row read.
    struct Around {
        std::uint64_t rows[2 * kMostSteps + 1];
        std::uint64_t farRows[2 * kMostSteps + 1];
        std::size_t site;
        std::uint64_t rowsRead;
        std::uint64_t farRowsRead;
    };
    void around(std::size_t site, Around& points) const;

    // The distance along ray `ray` from the apex of the site that `points`
    // are about beyond which sites ahead cover its edges; infinity where
    // none do.
    double from(Around& points, int ray) const;
    // The same by sites whose edges run on at least kFarAheadColumns past
    // the end of its own, where it ends at its rim.
    double fromFarAhead(Around& points, int ray) const;
    // The same for a site every point about which holds a site.
    double fromAllAbout(int ray) const { return firstOf(sets[ray]); }
    double fromFarAheadAllAbout(int ray) const { return firstOf(farAheadSets[ray]); }
    // Whether any site can be covered.
    bool usable() const { return ready; }
    // Whether every point that any set looks at about the site holds a
    // site: then every set covers.
    bool surrounded(std::size_t site) const {
        return ready && allAbout.holds(static_cast<std::int64_t>((*sites)[site].x),
                                       static_cast<std::int64_t>((*sites)[site].y));
    }

private:
    // A site ahead: its offset in raster steps (in strides, for the far
    // sets), how far ahead along the ray and how far across the ray's line
    // its edge lies, in window pixels, and how far along the ray the covered
    // edge has passed both its apex and its apex's column.
    struct Ahead {
        int x;
        int y;
        double along;
        double across;
        double passedAt;
    };
    // Two or three sites ahead that cover, by offset, and the distance along
    // the ray from which they do.
    struct Set {
        int offsets[3][2];
        int members;
        double from;
    };
    static void coveringSets(const std::vector<Ahead>& ahead, double afterApex,
                             std::vector<Set>& found);
    // Reads the rows among `wanted` (a bit each) that `points` do not hold
    // yet, of every point or of the far sets' points.
    void readRows(Around& points, std::uint64_t wanted) const;
    void readFarRows(Around& points, std::uint64_t wanted) const;
    // The rows of every point, or of the far sets' points, that `points`
    // hold, those among `wanted` read first.
    const std::uint64_t* rowsWith(Around& points, std::uint64_t wanted, bool farSets) const;
    // The rows that a list's sets look at, a bit each.
    static std::uint64_t rowsOf(const std::vector<Set>& list, int steps);
    // Where the first of the sets whose members `rows` (reaching `steps`
    // each way) all hold covers from.
    static double firstCovering(const std::vector<Set>& list, const std::uint64_t* rows, int steps);
    // Where the first set of the list covers from: the list is in that order.
    double firstOf(const std::vector<Set>& list) const {
        return ready && !list.empty() ? list.front().from : std::numeric_limits<double>::infinity();
    }
    // The candidates ahead along the ray, every stride-th point up to
    // `steps` of them each way, by their offsets in strides.
    static void aheadOf(const Geometry& geometry, int ray, int stride, int steps, double nearest,
                        std::vector<Ahead>& ahead);

    const std::vector<OutlineSite>* sites = nullptr;
    bool ready = false;
    // How many raster steps each way the sets reach. The far sets look at
    // every farStride-th point, farReach of them each way, so that at small
    // zooms they reach the few columns ahead they need though a raster step
    // is a small part of a pixel; their points are held by the class of
    // their coordinates modulo farStride, so that they are read as rows.
    int reach = 0;
    int farStride = 1;
    int farReach = 0;
    // Whether the near sets too look at the far sets' points: where a raster
    // step is so small a part of a pixel that kMostSteps of them reach no
    // site far enough ahead.
    bool nearStrided = false;
    std::vector<WholePoints> farPoints;
    std::vector<Set> sets[kConeSlices];
    std::vector<Set> farAheadSets[kConeSlices];
    // The rows each ray's sets look at, a bit each.
    std::uint64_t nearRows[kConeSlices] = {};
    std::uint64_t farAheadRows[kConeSlices] = {};
    WholePoints occupied;
    // The points whose sets' points all hold sites.
    WholePoints allAbout;
};
