#include "outline/outline_picture.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>

#include "cells/cone_geometry.h"
#include "cells/large_arrays.h"
#include "cells/thread_sharing.h"
#include "outline/covered_rays.h"
#include "outline/outline_edge.h"
#include "outline/raster_line.h"
#include "outline/row_claims.h"
#include "outline/site_copies.h"

namespace {

constexpr int kThreads = 2;
constexpr int kTileShift = 3;  // 8 x 8 pixel tiles: a walk skips the pixels of tiles it cannot win
constexpr float kNone = 2.0f;  // the depth of a pixel nothing reached
constexpr float kRimDepth = 0.5f;
constexpr float kNoPixel = -1.0f;  // a tile or block with no pixel that matters
// The radial bands, by how far from the apexes they reach in window pixels:
// the first at least kFirstBand and kFirstBandSpacings times the sites'
// spacing, each further one kBandGrowth times the one before.
constexpr double kFirstBand = 8.0;
constexpr double kFirstBandSpacings = 3.0;
constexpr double kBandGrowth = 1.41421356;
// The near search looks this far from a pixel, in window pixels.
constexpr double kNearReach = 6.0;
// A pixel that a radial edge draws lies within this much of the edge's ray
// across it (half a pixel, and the snapping); near the apex, within the
// apex's pixel.
constexpr double kAcrossRay = 0.55;
constexpr double kAcrossApex = 0.75;
// The depth of a radial edge's fragment, scaled to window pixels, is at least
// the pixel centre's distance from the apex less this.
constexpr double kPixelSlack = 0.75;

// Whether a fragment of depth `depth` from the cone drawn `order`th beats what
// a pixel holds: less depth, or equal depth from a cone drawn later.
bool beats(float depth, std::int32_t order, float heldDepth, std::int32_t heldOrder) {
    return depth < heldDepth || (depth == heldDepth && order > heldOrder);
}

// What a pixel holds, as one number that orders fragments as the depth test
// does: less depth first, then the cone drawn later. Depths are never
// negative, so their bits order as they do.
using Held = std::uint64_t;

Held heldOf(float depth, std::int32_t site) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &depth, sizeof bits);
    return (static_cast<Held>(bits) << 32) | (0x7FFFFFFFu - static_cast<std::uint32_t>(site + 1));
}

float heldDepth(Held held) {
    const auto bits = static_cast<std::uint32_t>(held >> 32);
    float depth = 0.0f;
    std::memcpy(&depth, &bits, sizeof depth);
    return depth;
}

std::int32_t heldSite(Held held) {
    return static_cast<std::int32_t>(0x7FFFFFFFu - static_cast<std::uint32_t>(held & 0xFFFFFFFFu)) -
           1;
}

// What a pixel under a marker holds.
constexpr Held kMarked = 0;

// Keeps the lesser of what the pixel holds and `offer`, against other
// threads doing the same.
void offer(Held& pixel, Held value) {
    Held current = __atomic_load_n(&pixel, __ATOMIC_RELAXED);
    while (value < current && !__atomic_compare_exchange_n(&pixel, &current, value, true,
                                                           __ATOMIC_RELAXED, __ATOMIC_RELAXED)) {
    }
}

// Lists the sites by bucket, each in site order: bucketOf(site) is a bucket
// below `buckets`, or `buckets` for none; the members of bucket b are
// members[start[b]] to members[start[b + 1] - 1].
template <typename BucketOf>
void bucketSites(std::size_t siteCount, std::size_t buckets, BucketOf bucketOf,
                 std::vector<std::int32_t>& start, std::vector<std::int32_t>& members) {
    start.assign(buckets + 1, 0);
    for (std::size_t site = 0; site < siteCount; ++site) {
        const std::size_t bucket = bucketOf(site);
        if (bucket < buckets) {
            ++start[bucket + 1];
        }
    }
    for (std::size_t bucket = 1; bucket <= buckets; ++bucket) {
        start[bucket] += start[bucket - 1];
    }
    reserveLarge(members, static_cast<std::size_t>(start.back()));
    members.resize(static_cast<std::size_t>(start.back()));
    std::vector<std::int32_t> filled(start.begin(), start.end() - 1);
    for (std::size_t site = 0; site < siteCount; ++site) {
        const std::size_t bucket = bucketOf(site);
        if (bucket < buckets) {
            members[static_cast<std::size_t>(filled[bucket]++)] = static_cast<std::int32_t>(site);
        }
    }
}

// Whether a site's two edges along a ray light the same pixels.
bool twinned(const OutlineEdgePixels& inward, const OutlineEdgePixels& outward) {
    return inward.site >= 0 && outward.site >= 0 && inward.line.samePixels(outward.line);
}

// How sites ahead cover a site's rays: all those they cover at all from
// depth `nearEnd` on, up to `tailStart` for the rays in `tails`; the rays in
// `uncovered` nowhere.
struct SiteCover {
    float nearEnd;
    float tailStart;
    std::uint32_t uncovered;
    std::uint32_t tails;
};

// How far a kept edge's walk outward from its apex has come: the next pixel,
// valid for the band starting at `resumeLow`.
struct EdgeProgress {
    std::int32_t major = 0;
    float resumeLow = -1.0f;
};

}  // namespace

struct OutlinePicture::Workspace {
    std::vector<std::uint64_t> held;
    std::vector<float> tileMax;
    std::vector<std::uint8_t> touched;
    std::vector<std::vector<float>> levels;
    std::vector<float> apexX;
    std::vector<float> apexY;
    std::vector<OutlineEdgePixels> edges;
    std::vector<EdgeProgress> progress;
    std::vector<std::uint32_t> twins;
    std::vector<std::uint32_t> keptRays;
    std::vector<std::int32_t> groupStart;
    std::vector<std::int32_t> groupSites;
    std::vector<std::int32_t> cellStart;
    std::vector<std::int32_t> cellSites;
    CoveredRays covered;
    std::vector<SiteCover> siteCover;
    std::vector<float> rayCover;
    // The sites less the copies that later ones repeat, and their indices.
    std::vector<OutlineSite> lastCopies;
    std::vector<std::int32_t> original;
};

namespace {

class PictureBuilder {
public:
    PictureBuilder(const std::vector<OutlineSite>& sites, const OutlineView& view, float radius,
                   int width, int height, const std::vector<std::uint8_t>& marker,
                   std::vector<std::int32_t>& winner, std::vector<float>& depth,
                   OutlinePicture::Workspace& work, std::size_t mostKeptEdges,
                   const std::atomic<bool>* cancel)
        : sites(sites),
          view(view),
          outlines(view, radius),
          width(width),
          height(height),
          marker(marker),
          winner(winner),
          depth(depth),
          tilesX(((width - 1) >> kTileShift) + 1),
          tilesY(((height - 1) >> kTileShift) + 1),
          held(work.held),
          tileMax(work.tileMax),
          touched(work.touched),
          levels(work.levels),
          apexX(work.apexX),
          apexY(work.apexY),
          mostKeptEdges(mostKeptEdges),
          keptEdges(work.edges),
          progress(work.progress),
          twins(work.twins),
          keptRays(work.keptRays),
          groupStart(work.groupStart),
          groupSites(work.groupSites),
          cellStart(work.cellStart),
          cellSites(work.cellSites),
          covered(work.covered),
          siteCover(work.siteCover),
          rayCover(work.rayCover),
          cancel(cancel) {}

    void build();

private:
    void fill();
    bool matters(std::size_t pixel) const { return marker.empty() || !marker[pixel]; }
    void place();
    void prepareCovered();
    void searchNearSites();
    void searchPixel(int x, int y, int cellsX, int cellsY);
    // The radial edges band by band, from depth `low` on, where `open`
    // pixels are left to them.
    void radialBands(float low, double open);
    void radialBand(float low, float high);
    void groupSitesByTile();
    // The rays of a site whose apex lies in the group's tile that matter in
    // the band, a bit each.
    std::uint32_t tileRaysMatter(std::size_t group, double within, float low, float high) const;
    // What is worked out again for each site whose edges are not kept.
    struct RayEdges {
        ConeOutlines::Cone cone;
        OutlineEdgePixels inward;
        OutlineEdgePixels outward;
    };
    // The band's fragments of the site's edges, along the rays that matter
    // (only among `groupRays` where its group tested them, else among all);
    // `kept` is its place among the kept edges.
    void bandSite(std::size_t site, std::size_t kept, const std::uint32_t* groupRays, double within,
                  float low, float high, bool alone, RayEdges& scratch);
    // The depths [coverLow, coverHigh) at which sites ahead cover the site's
    // edges along the ray; both kNone where they do not. `points` are the
    // site's.
    void coveredDepths(std::size_t site, int ray, const CoveredRays::Around& points,
                       float& coverLow, float& coverHigh) const;
    // The same for all the site's rays at once, per place in groupSites
    // (siteCover); where edges are kept, each ray's depths too (rayCover).
    void summariseCover();
    void keepEdges();
    // Works out the site's edges along `rays` into their slots, when a band
    // first walks them.
    void keepRays(std::size_t site, std::size_t kept, std::uint32_t rays, ConeOutlines::Cone& cone);
    // The site's rim edges, where a pixel about them holds more than a rim.
    void walkRims(std::size_t site);
    // The fragments of the edge whose depth lies in [low, high), against
    // what the picture holds; with a twin (an edge of the same site that
    // lights the same pixels), the lesser of the two depths at each pixel.
    // With `progress`, the walk resumes where it stopped at this band's
    // start, and stops at its end. `alone`: no other thread writes to the
    // pixels it reaches meanwhile.
    void walk(const OutlineEdgePixels& edge, const OutlineEdgePixels* twin, float low, float high,
              bool alone, EdgeProgress* progress);
    // The pixel nearest the apex whose depth is `low` or more, from `first`
    // to `last`; one past the far end where none is.
    std::int64_t bandStart(const OutlineEdgePixels& edge, const OutlineEdgePixels* twin, float low,
                           std::int64_t first, std::int64_t last, bool outwardUp) const;
    // From `major` away from the apex towards `end`, up to the first pixel of
    // depth `high` or more, which it returns.
    template <int kDirection, bool kTwinned>
    std::int64_t walkOutward(const OutlineEdgePixels& edge, const OutlineEdgePixels& twin,
                             std::int64_t major, std::int64_t end, float high, bool alone,
                             RasterLineWalk& step);
    // Both radial edges along a ray of a site, as one where they are twins.
    void walkRay(const OutlineEdgePixels& inward, const OutlineEdgePixels& outward, bool twinned,
                 float low, float high, bool alone, EdgeProgress* inwardProgress,
                 EdgeProgress* outwardProgress);
    // The two radial edges along ray `ray`: facet `ray`'s inward edge and
    // the facet before's outward one, each left with site -1 where it lights
    // no pixel.
    void rayEdges(const ConeOutlines::Cone& cone, std::size_t site, int ray,
                  OutlineEdgePixels& inward, OutlineEdgePixels& outward) const;
    static int inwardSlot(int ray) { return 2 * ray; }
    static int outwardSlot(int ray) { return (2 * ray + 2 * kConeSlices - 1) % (2 * kConeSlices); }
    // Whether any pixel near ray `ray` of a site whose apex lies in the box,
    // at the distances of the band's depths, holds more than `low`: where
    // none does, neither edge along the ray can change the picture in the
    // band.
    bool rayMatters(double left, double top, double right, double bottom, int ray, float low,
                    float high) const;
    // Tiles whose deepest pixel lies below `settledBelow` are left as they
    // are: from that depth on nothing can change there.
    void refreshTiles(float settledBelow);
    float blockMaximum(double left, double top, double right, double bottom) const;

    const std::vector<OutlineSite>& sites;
    const OutlineView& view;
    ConeOutlines outlines;
    int width;
    int height;
    const std::vector<std::uint8_t>& marker;
    std::vector<std::int32_t>& winner;
    std::vector<float>& depth;
    int tilesX;
    int tilesY;
    std::vector<Held>& held;
    // The deepest pixel that still matters (not under a marker) per tile,
    // kNoPixel where none does: an edge deeper than that loses there. Then
    // the same over squares of 2 x 2, 4 x 4, ... tiles.
    std::vector<float>& tileMax;
    // Per tile, whether a walk has offered fragments to its pixels since
    // the last refresh: the other tiles keep their deepest pixel.
    std::vector<std::uint8_t>& touched;
    std::vector<std::vector<float>>& levels;
    float pictureMax = kNoPixel;
    // Where each site's apex lands in the window, the directions of the rim
    // vertices from it, and how far the rims lie.
    std::vector<float>& apexX;
    std::vector<float>& apexY;
    double rayX[kConeSlices] = {};
    double rayY[kConeSlices] = {};
    double reach = 0.0;
    // Every site's radial edges, 64 slots a site, where there are no more
    // than mostKeptEdges. The sites take their places in the order of
    // groupSites, the order the bands walk them in, so that one site's
    // slots lie next to the last one's.
    std::size_t mostKeptEdges;
    std::vector<OutlineEdgePixels>& keptEdges;
    std::vector<EdgeProgress>& progress;
    // Per place, a bit for each ray whose two edges light the same pixels,
    // and one for each ray whose edges are in their slots.
    std::vector<std::uint32_t>& twins;
    std::vector<std::uint32_t>& keptRays;
    bool edgesKept = false;
    // The sites by the tile their apex lies in, those outside the window
    // last.
    std::vector<std::int32_t>& groupStart;
    std::vector<std::int32_t>& groupSites;
    // The near search's sites, by cell.
    std::vector<std::int32_t>& cellStart;
    std::vector<std::int32_t>& cellSites;
    CoveredRays& covered;
    std::vector<SiteCover>& siteCover;
    std::vector<float>& rayCover;
    // Set when the picture is no longer wanted; looked at between bands and
    // between a band's runs of groups.
    const std::atomic<bool>* cancel;
    double rayLength[kConeSlices] = {};
    // What the cover of each ray's edges depends on but the site, worked
    // out once: the ray's axes, the columns that stay near its ends, and the
    // reciprocals of its direction (infinite along an axis it does not move).
    struct RayExits {
        bool xMajor;
        double major;
        double lastColumns;
        double clear;
        double perX;
        double perY;
    };
    RayExits rayExits[kConeSlices] = {};
};

void PictureBuilder::build() {
    const std::size_t pixels = static_cast<std::size_t>(std::max(width, 0)) * std::max(height, 0);
    reserveLarge(held, pixels);
    held.assign(pixels, heldOf(kNone, -1));
    // What markers cover holds the least value there is: no fragment beats it.
    for (std::size_t pixel = 0; pixel < marker.size(); ++pixel) {
        if (marker[pixel]) {
            held[pixel] = kMarked;
        }
    }
    if (pixels > 0 && !sites.empty()) {
        fill();
    }
    reserveLarge(winner, pixels);
    reserveLarge(depth, pixels);
    winner.resize(pixels);
    depth.resize(pixels);
    onThreads(kThreads, [&](int thread) {
        const std::size_t end = pixels * (thread + 1) / kThreads;
        for (std::size_t pixel = pixels * thread / kThreads; pixel < end; ++pixel) {
            const Held shown = held[pixel] == kMarked ? heldOf(kNone, -1) : held[pixel];
            winner[pixel] = heldSite(shown);
            depth[pixel] = heldDepth(shown);
        }
    });
}

void PictureBuilder::fill() {
    place();
    if (!(reach > 0.0) || !std::isfinite(reach)) {
        return;
    }
    // Where markers leave few pixels among many sites, each pixel looks for
    // its nearest edges itself; elsewhere the edges are followed outward
    // from their apexes, which settles the near pixels of sparse sites at
    // less cost.
    std::size_t open = 0;
    for (std::size_t pixel = 0; pixel < held.size(); ++pixel) {
        open += matters(pixel);
    }
    float low = 0.0f;
    if (open * 8 < sites.size() * 2 * kConeSlices) {
        searchNearSites();
        low = static_cast<float>((kNearReach - kPixelSlack) / (2.0 * reach));
    }
    tileMax.assign(static_cast<std::size_t>(tilesX) * tilesY, kNone);
    touched.assign(tileMax.size(), 1);
    refreshTiles(kNoPixel);  // every tile
    if (pictureMax >= low) {
        groupSitesByTile();
        keepEdges();
        summariseCover();
        radialBands(low, static_cast<double>(open));
    }
    // The rims lie at depth 0.5, behind every radial edge: they show only
    // where none reaches.
    if (pictureMax >= kRimDepth) {
        onThreads(kThreads, [&](int thread) {
            for (std::size_t site = thread; site < sites.size(); site += kThreads) {
                walkRims(site);
            }
        });
    }
}

void PictureBuilder::walkRims(std::size_t site) {
    const double x = apexX[site];
    const double y = apexY[site];
    const double within = reach + 2.0;
    if (!(blockMaximum(x - within, y - within, x + within, y + within) >= kRimDepth)) {
        return;
    }
    ConeOutlines::Cone cone;
    bool coneReady = false;
    for (int facet = 0; facet < kConeSlices; ++facet) {
        // The facet's rim edge runs from rim vertex facet + 1 to rim vertex
        // facet; it is worked out only where a pixel about it holds more.
        const int next = (facet + 1) % kConeSlices;
        const double fromX = x + rayX[next] * rayLength[next];
        const double fromY = y + rayY[next] * rayLength[next];
        const double toX = x + rayX[facet] * rayLength[facet];
        const double toY = y + rayY[facet] * rayLength[facet];
        constexpr double kAround = 2.0;
        if (!(blockMaximum(std::min(fromX, toX) - kAround, std::min(fromY, toY) - kAround,
                           std::max(fromX, toX) + kAround,
                           std::max(fromY, toY) + kAround) >= kRimDepth)) {
            continue;
        }
        if (!coneReady) {
            outlines.cone(sites[site].x, sites[site].y, cone);
            coneReady = true;
        }
        OutlinePoint from;
        OutlinePoint to;
        OutlineEdgePixels edge;
        if (outlines.edge(cone, facet, OutlineEdge::Rim, from, to) && edge.set(from, to)) {
            edge.site = static_cast<std::int32_t>(site);
            walk(edge, nullptr, kRimDepth, kNone, false, nullptr);
        }
    }
}

void PictureBuilder::radialBands(float low, double open) {
    // Bands of depth, each reaching further than the one before: the near
    // ones settle most pixels, so that the far ones skip most of every edge.
    // The sites' spacing is that of a square lattice of as many sites as the
    // window holds (all groups but the last).
    const auto inWindow = static_cast<double>(groupStart[groupStart.size() - 2]);
    const double spacing = std::sqrt(open / std::max(inWindow, 1.0));
    for (double distance = std::max(kFirstBand, kFirstBandSpacings * spacing);
         low < kRimDepth && pictureMax >= low; distance *= kBandGrowth) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            pictureMax = kNoPixel;  // nothing more, the rims included
            return;
        }
        float high = static_cast<float>(distance / (2.0 * reach));
        if (high <= low) {
            continue;
        }
        if (high >= kRimDepth) {
            high = kNone;  // the last band takes what lies past the rims too
        }
        radialBand(low, high);
        refreshTiles(std::min(high, kRimDepth));
        low = high;
    }
}

void PictureBuilder::place() {
    apexX.resize(sites.size());
    apexY.resize(sites.size());
    ConeOutlines::Cone cone;
    for (std::size_t site = 0; site < sites.size(); ++site) {
        outlines.cone(sites[site].x, sites[site].y, cone);
        const OutlinePoint apex = outlines.window(cone, 0);
        apexX[site] = apex.x;
        apexY[site] = apex.y;
        if (site == 0) {
            for (int vertex = 0; vertex < kConeSlices; ++vertex) {
                const OutlinePoint rim = outlines.window(cone, vertex + 1);
                const double dx = static_cast<double>(rim.x) - apex.x;
                const double dy = static_cast<double>(rim.y) - apex.y;
                const double length = std::hypot(dx, dy);
                reach = std::max(reach, length);
                rayLength[vertex] = length;
                rayX[vertex] = length > 0.0 ? dx / length : 0.0;
                rayY[vertex] = length > 0.0 ? dy / length : 0.0;
            }
        }
    }
    prepareCovered();
}

void PictureBuilder::prepareCovered() {
    // The cover assumes the edges are clipped at the window's own border.
    const int* viewport = view.viewport;
    const bool wholeWindow = viewport[0] == 0 && viewport[1] == 0 && viewport[2] == width &&
                             viewport[3] == height && view.bufferHeight == height;
    if (sites.empty() || !wholeWindow || !(reach > 0.0)) {
        covered.prepare({}, CoveredRays::Geometry{});
        return;
    }
    CoveredRays::Geometry geometry{};
    const auto apexOf = [this](float x, float y) {
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
        ends.perX = 1.0 / rayX[ray];
        ends.perY = 1.0 / rayY[ray];
    }
}

void PictureBuilder::coveredDepths(std::size_t site, int ray, const CoveredRays::Around& points,
                                   float& coverLow, float& coverHigh) const {
    coverLow = kNone;
    coverHigh = kNone;
    const double apexX = this->apexX[site];
    const double apexY = this->apexY[site];
    // The sites ahead must stand inside the window too: an edge that enters
    // the window may leave out its first pixel there.
    constexpr double kInside = CoveredRays::kMostAhead + 1.5;
    if (!(apexX > kInside && apexX < width - kInside && apexY > kInside &&
          apexY < height - kInside)) {
        return;
    }
    double from = covered.from(points, ray);
    if (!std::isfinite(from)) {
        return;
    }
    const RayExits& ends = rayExits[ray];
    // How far the ray runs to the window's border across each axis.
    const double exitX = (ends.perX > 0.0 ? width - apexX : -apexX) * ends.perX;
    const double exitY = (ends.perY > 0.0 ? height - apexY : -apexY) * ends.perY;
    const double majorExit = ends.xMajor ? exitX : exitY;
    const double minorExit = ends.xMajor ? exitY : exitX;
    // The edges ahead end in the same column where the ray leaves the
    // window across the major axis well away from the other border, and
    // after it where they end at their rims a few columns ahead well inside
    // the window. Elsewhere an edge ahead may end first, up to a pixel
    // across, so the ray's last columns stay: as many as it takes to move a
    // pixel across, and a few.
    const double rim = rayLength[ray];
    constexpr double kMargin = 0.5;
    from += kMargin;
    double to = std::numeric_limits<double>::infinity();
    const bool leavesAcrossMajor = majorExit + ends.clear < std::min(minorExit, rim);
    const bool endsAtRim =
        rim + CoveredRays::kMostAhead + ends.clear < std::min(majorExit, minorExit);
    if (!leavesAcrossMajor) {
        to = std::min({majorExit, minorExit, rim}) - ends.lastColumns / ends.major - kMargin;
        if (endsAtRim && covered.fromFarAhead(points, ray) + kMargin < to) {
            to = std::numeric_limits<double>::infinity();
        }
    }
    if (!(from < to)) {
        return;
    }
    // A fragment's depth, times twice the reach, is its distance along the
    // ray from the apex, to well within the margins.
    coverLow = static_cast<float>(from / (2.0 * reach));
    coverHigh = std::isfinite(to) ? static_cast<float>(to / (2.0 * reach)) : kNone;
}

void PictureBuilder::summariseCover() {
    if (!covered.usable()) {
        siteCover.clear();
        return;
    }
    reserveLarge(siteCover, sites.size());
    siteCover.resize(sites.size());
    if (edgesKept) {
        reserveLarge(rayCover, sites.size() * 2 * kConeSlices);
        rayCover.resize(sites.size() * 2 * kConeSlices);
    }
    onThreads(kThreads, [&](int thread) {
        const std::size_t end = sites.size() * (thread + 1) / kThreads;
        for (std::size_t place = sites.size() * thread / kThreads; place < end; ++place) {
            const auto site = static_cast<std::size_t>(groupSites[place]);
            CoveredRays::Around points;
            covered.around(site, points);
            SiteCover summary{0.0f, kNone, 0, 0};
            for (int ray = 0; ray < kConeSlices; ++ray) {
                float coverLow = kNone;
                float coverHigh = kNone;
                coveredDepths(site, ray, points, coverLow, coverHigh);
                if (edgesKept) {
                    rayCover[(place * kConeSlices + ray) * 2] = coverLow;
                    rayCover[(place * kConeSlices + ray) * 2 + 1] = coverHigh;
                }
                const std::uint32_t bit = std::uint32_t{1} << ray;
                if (coverLow == kNone) {
                    summary.uncovered |= bit;
                    continue;
                }
                summary.nearEnd = std::max(summary.nearEnd, coverLow);
                if (coverHigh < kNone) {
                    summary.tails |= bit;
                    summary.tailStart = std::min(summary.tailStart, coverHigh);
                }
            }
            siteCover[place] = summary;
        }
    });
}

void PictureBuilder::rayEdges(const ConeOutlines::Cone& cone, std::size_t site, int ray,
                              OutlineEdgePixels& inward, OutlineEdgePixels& outward) const {
    inward = OutlineEdgePixels{};
    outward = OutlineEdgePixels{};
    // The same two vertices, the other way round: the clipper cuts an edge
    // alike either way, so the outward edge's ends are the inward one's.
    OutlinePoint rim;
    OutlinePoint apex;
    if (!outlines.edge(cone, ray, OutlineEdge::Inward, rim, apex)) {
        return;
    }
    if (inward.set(rim, apex)) {
        inward.site = static_cast<std::int32_t>(site);
    }
    if (outward.set(apex, rim)) {
        outward.site = static_cast<std::int32_t>(site);
    }
}

bool PictureBuilder::rayMatters(double left, double top, double right, double bottom, int ray,
                                float low, float high) const {
    // The fragments of depth d lie about 2 d reach from the apex along the
    // ray (kPixelSlack), within kAcrossApex of it; the walk takes a pixel more
    // at either end of the band.
    const double nearest = std::max(0.0, static_cast<double>(low) * 2.0 * reach - 3.0);
    // No radial fragment lies deeper than the rim's 0.5.
    const double farthest = std::min(static_cast<double>(high), 0.5) * 2.0 * reach + 3.0;
    const double x0 = rayX[ray] * nearest;
    const double y0 = rayY[ray] * nearest;
    const double x1 = rayX[ray] * farthest;
    const double y1 = rayY[ray] * farthest;
    constexpr double kAround = 2.0;
    return blockMaximum(left + std::min(x0, x1) - kAround, top + std::min(y0, y1) - kAround,
                        right + std::max(x0, x1) + kAround,
                        bottom + std::max(y0, y1) + kAround) >= low;
}

void PictureBuilder::keepEdges() {
    const std::size_t slots = sites.size() * 2 * kConeSlices;
    edgesKept = slots <= mostKeptEdges;
    if (!edgesKept) {
        return;
    }
    // Slots are filled when a band first walks their ray; what an earlier
    // picture left in them is never read.
    if (keptEdges.size() < slots) {
        reserveLarge(keptEdges, slots);
        keptEdges.resize(slots);
        reserveLarge(progress, slots);
        progress.resize(slots);
    }
    reserveLarge(twins, sites.size());
    twins.resize(sites.size());
    reserveLarge(keptRays, sites.size());
    keptRays.assign(sites.size(), 0);
}

void PictureBuilder::keepRays(std::size_t site, std::size_t kept, std::uint32_t rays,
                              ConeOutlines::Cone& cone) {
    outlines.cone(sites[site].x, sites[site].y, cone);
    OutlineEdgePixels* slot = &keptEdges[kept * 2 * kConeSlices];
    EdgeProgress* state = &progress[kept * 2 * kConeSlices];
    std::uint32_t twinRays = twins[kept] & ~rays;
    for (int ray = 0; ray < kConeSlices; ++ray) {
        if (((rays >> ray) & 1u) == 0) {
            continue;
        }
        OutlineEdgePixels& inward = slot[inwardSlot(ray)];
        OutlineEdgePixels& outward = slot[outwardSlot(ray)];
        rayEdges(cone, site, ray, inward, outward);
        twinRays |= (twinned(inward, outward) ? 1u : 0u) << ray;
        state[inwardSlot(ray)] = EdgeProgress{};
        state[outwardSlot(ray)] = EdgeProgress{};
    }
    twins[kept] = twinRays;
    keptRays[kept] |= rays;
}

void PictureBuilder::refreshTiles(float settledBelow) {
    // A pixel's depth bits order as its depth does; one more than them, so
    // that 0 stands for no pixel that matters. Plain integers, in a loop
    // without branches, for the compiler to do several pixels at once.
    const auto bitsOf = [](Held held) { return static_cast<std::int32_t>(held >> 32) + 1; };
    const std::uint8_t* covered = marker.empty() ? nullptr : marker.data();
    // Rows of tiles shared out between the threads.
    onThreads(kThreads, [&](int thread) {
        std::vector<std::int32_t> most(static_cast<std::size_t>(tilesX));
        std::vector<std::uint8_t> redo(static_cast<std::size_t>(tilesX));
        for (int tileRow = thread; tileRow < tilesY; tileRow += kThreads) {
            float* tiles = &tileMax[static_cast<std::size_t>(tileRow) * tilesX];
            std::uint8_t* marks = &touched[static_cast<std::size_t>(tileRow) * tilesX];
            for (int tileColumn = 0; tileColumn < tilesX; ++tileColumn) {
                redo[tileColumn] = marks[tileColumn] != 0 && tiles[tileColumn] >= settledBelow;
                marks[tileColumn] = 0;
            }
            std::fill(most.begin(), most.end(), 0);
            const int rowEnd = std::min(height, (tileRow + 1) << kTileShift);
            for (int y = tileRow << kTileShift; y < rowEnd; ++y) {
                const std::size_t row = static_cast<std::size_t>(y) * width;
                for (int tileColumn = 0; tileColumn < tilesX; ++tileColumn) {
                    if (!redo[tileColumn]) {
                        continue;
                    }
                    const int from = tileColumn << kTileShift;
                    const int to = std::min(width, from + (1 << kTileShift));
                    std::int32_t deepest = most[tileColumn];
                    if (covered == nullptr) {
                        for (int x = from; x < to; ++x) {
                            deepest = std::max(deepest, bitsOf(held[row + x]));
                        }
                    } else {
                        for (int x = from; x < to; ++x) {
                            deepest =
                                std::max(deepest, covered[row + x] ? 0 : bitsOf(held[row + x]));
                        }
                    }
                    most[tileColumn] = deepest;
                }
            }
            for (int tileColumn = 0; tileColumn < tilesX; ++tileColumn) {
                if (redo[tileColumn]) {
                    tiles[tileColumn] =
                        most[tileColumn] == 0
                            ? kNoPixel
                            : heldDepth(static_cast<Held>(most[tileColumn] - 1) << 32);
                }
            }
        }
    });
    pictureMax = kNoPixel;
    for (const float value : tileMax) {
        pictureMax = std::max(pictureMax, value);
    }
    int levelWidth = tilesX;
    int levelHeight = tilesY;
    levels.reserve(32);  // the levels below stay where they are while more are added
    const std::vector<float>* below = &tileMax;
    std::size_t level = 0;
    while (levelWidth > 1 || levelHeight > 1) {
        const int upperWidth = (levelWidth + 1) / 2;
        const int upperHeight = (levelHeight + 1) / 2;
        if (levels.size() <= level) {
            levels.emplace_back();
        }
        std::vector<float>& upper = levels[level];
        upper.assign(static_cast<std::size_t>(upperWidth) * upperHeight, kNoPixel);
        for (int y = 0; y < levelHeight; ++y) {
            for (int x = 0; x < levelWidth; ++x) {
                float& cell = upper[static_cast<std::size_t>(y / 2) * upperWidth + x / 2];
                cell = std::max(cell, (*below)[static_cast<std::size_t>(y) * levelWidth + x]);
            }
        }
        below = &upper;
        levelWidth = upperWidth;
        levelHeight = upperHeight;
        ++level;
    }
}

float PictureBuilder::blockMaximum(double left, double top, double right, double bottom) const {
    if (!(left <= right) || !(top <= bottom) || right < 0.0 || bottom < 0.0 || left >= width ||
        top >= height) {
        return kNoPixel;
    }
    int firstX = static_cast<int>(std::max(left, 0.0)) >> kTileShift;
    int lastX = static_cast<int>(std::min(right, width - 1.0)) >> kTileShift;
    int firstY = static_cast<int>(std::max(top, 0.0)) >> kTileShift;
    int lastY = static_cast<int>(std::min(bottom, height - 1.0)) >> kTileShift;
    // The level where the rectangle spans two cells at most each way.
    const std::vector<float>* cells = &tileMax;
    int cellsWide = tilesX;
    std::size_t level = 0;
    while (lastX - firstX > 1 || lastY - firstY > 1) {
        cells = &levels[level++];
        firstX >>= 1;
        lastX >>= 1;
        firstY >>= 1;
        lastY >>= 1;
        cellsWide = (cellsWide + 1) / 2;
    }
    float maximum = kNoPixel;
    for (int y = firstY; y <= lastY; ++y) {
        for (int x = firstX; x <= lastX; ++x) {
            maximum = std::max(maximum, (*cells)[static_cast<std::size_t>(y) * cellsWide + x]);
        }
    }
    return maximum;
}

void PictureBuilder::searchNearSites() {
    // The apexes that can lie within reach of a pixel, in cells of the reach.
    const double cell = kNearReach;
    const int cellsX = static_cast<int>(std::ceil(width / cell)) + 2;
    const int cellsY = static_cast<int>(std::ceil(height / cell)) + 2;
    const std::size_t cells = static_cast<std::size_t>(cellsX) * cellsY;
    bucketSites(
        sites.size(), cells,
        [&](std::size_t site) {
            const double x = std::floor(apexX[site] / cell) + 1.0;
            const double y = std::floor(apexY[site] / cell) + 1.0;
            if (!(x >= 0.0 && x < cellsX && y >= 0.0 && y < cellsY)) {
                return cells;
            }
            return static_cast<std::size_t>(y) * cellsX + static_cast<std::size_t>(x);
        },
        cellStart, cellSites);
    onThreads(kThreads, [&](int thread) {
        for (int y = thread; y < height; y += kThreads) {
            for (int x = 0; x < width; ++x) {
                if (matters(static_cast<std::size_t>(y) * width + x)) {
                    searchPixel(x, y, cellsX, cellsY);
                }
            }
        }
    });
}

// The nearest radial fragments at one pixel, from the sites within reach,
// nearest site first.
void PictureBuilder::searchPixel(int x, int y, int cellsX, int cellsY) {
    const double centreX = x + 0.5;
    const double centreY = y + 0.5;
    struct Near {
        double distance;
        std::int32_t site;
    };
    Near near[512];
    int count = 0;
    const int cellX = static_cast<int>(std::floor(centreX / kNearReach)) + 1;
    const int cellY = static_cast<int>(std::floor(centreY / kNearReach)) + 1;
    for (int cy = std::max(cellY - 1, 0); cy <= std::min(cellY + 1, cellsY - 1); ++cy) {
        for (int cx = std::max(cellX - 1, 0); cx <= std::min(cellX + 1, cellsX - 1); ++cx) {
            const std::size_t cellIndex = static_cast<std::size_t>(cy) * cellsX + cx;
            for (std::int32_t at = cellStart[cellIndex]; at < cellStart[cellIndex + 1]; ++at) {
                const std::int32_t site = cellSites[static_cast<std::size_t>(at)];
                const double dx = centreX - apexX[site];
                const double dy = centreY - apexY[site];
                const double distance = std::sqrt(dx * dx + dy * dy);
                if (distance <= kNearReach && count < 512) {
                    near[count++] = {distance, site};
                }
            }
        }
    }
    std::sort(near, near + count,
              [](const Near& a, const Near& b) { return a.distance < b.distance; });
    float best = kNone;
    std::int32_t bestSite = -1;
    ConeOutlines::Cone cone;
    for (int index = 0; index < count; ++index) {
        const Near& candidate = near[index];
        if ((candidate.distance - kPixelSlack) / (2.0 * reach) > best) {
            break;
        }
        const std::size_t site = static_cast<std::size_t>(candidate.site);
        const double offsetX = centreX - apexX[site];
        const double offsetY = centreY - apexY[site];
        bool coneReady = false;
        for (int vertex = 0; vertex < kConeSlices; ++vertex) {
            const double along = offsetX * rayX[vertex] + offsetY * rayY[vertex];
            const double across = std::fabs(offsetX * rayY[vertex] - offsetY * rayX[vertex]);
            if (along < -kAcrossApex || across > (along < 1.0 ? kAcrossApex : kAcrossRay)) {
                continue;
            }
            if (!coneReady) {
                outlines.cone(sites[site].x, sites[site].y, cone);
                coneReady = true;
            }
            // Both edges along this rim vertex's ray: from its facet inward,
            // and from the facet before outward.
            const int facets[2] = {vertex, (vertex + kConeSlices - 1) % kConeSlices};
            const OutlineEdge kinds[2] = {OutlineEdge::Inward, OutlineEdge::Outward};
            for (int side = 0; side < 2; ++side) {
                OutlinePoint from;
                OutlinePoint to;
                OutlineEdgePixels edge;
                if (!outlines.edge(cone, facets[side], kinds[side], from, to) ||
                    !edge.set(from, to)) {
                    continue;
                }
                const RasterLine& line = edge.line;
                const std::int64_t major = line.xMajor ? x : y;
                const std::int64_t minor = line.xMajor ? y : x;
                if (major < line.first || major > line.last || line.minorAt(major) != minor) {
                    continue;
                }
                const float at = clampedDepth(edge.depthAt(major));
                if (beats(at, candidate.site, best, bestSite)) {
                    best = at;
                    bestSite = candidate.site;
                }
            }
        }
    }
    const std::size_t pixel = static_cast<std::size_t>(y) * width + x;
    held[pixel] = heldOf(best, bestSite);
}

void PictureBuilder::groupSitesByTile() {
    const std::size_t outside = static_cast<std::size_t>(tilesX) * tilesY;
    bucketSites(
        sites.size(), outside + 1,
        [&](std::size_t site) {
            const float x = apexX[site];
            const float y = apexY[site];
            if (!(x >= 0.0f && x < width && y >= 0.0f && y < height)) {
                return outside;
            }
            return static_cast<std::size_t>(static_cast<int>(y) >> kTileShift) * tilesX +
                   (static_cast<std::size_t>(x) >> kTileShift);
        },
        groupStart, groupSites);
}

void PictureBuilder::radialBand(float low, float high) {
    // Beyond this distance from its apex no fragment of an edge is shallower than `high`.
    const double within = std::min(static_cast<double>(high), 0.5) * 2.0 * reach + 3.0;
    const std::size_t groups = groupStart.size() - 1;
    const std::size_t outside = groups - 1;
    // The threads take the groups of sites in small runs, one from the first
    // run on and the other from the last back, so that they seldom write to
    // the same pixels. Where their runs' rows lie apart, a thread writes its
    // pixels alone; elsewhere each fragment is offered to its pixel by
    // itself, which keeps the lesser. A group's rays are tested for all its
    // sites at once, which spares most tests of crowded sites.
    constexpr std::size_t kRun = 8;
    static_assert(kThreads == 2, "the runs are taken from both ends");
    const std::size_t runs = (groups + kRun - 1) / kRun;
    std::atomic<std::size_t> taken{0};
    RowClaims claims;
    // The rows that the walks from a tile's apexes reach.
    const auto margin = static_cast<std::int32_t>(std::ceil(within)) + 2;
    onThreads(kThreads, [&](int thread) {
        // Whatever ends the thread's share, the other must not wait for it.
        struct Release {
            RowClaims& claims;
            int thread;
            ~Release() { claims.release(thread); }
        } release{claims, thread};
        RayEdges scratch;
        // A band of a million sites takes a second.
        const auto wanted = [this] { return !cancel || !cancel->load(std::memory_order_relaxed); };
        for (std::size_t own = 0; taken.fetch_add(1, std::memory_order_relaxed) < runs && wanted();
             ++own) {
            const std::size_t start = (thread == 0 ? own : runs - 1 - own) * kRun;
            const std::size_t stop = std::min(groups, start + kRun);
            // The sites outside the window reach anywhere.
            const bool anywhere = stop > outside;
            const auto firstRow = static_cast<std::int32_t>(start / tilesX);
            const auto lastRow = static_cast<std::int32_t>((stop - 1) / tilesX);
            const bool alone = claims.claim(
                thread, anywhere ? 0 : std::max(0, (firstRow << kTileShift) - margin),
                anywhere ? height - 1
                         : std::min(height - 1, ((lastRow + 1) << kTileShift) - 1 + margin));
            for (std::size_t group = start; group < stop; ++group) {
                const auto first = static_cast<std::size_t>(groupStart[group]);
                const auto end = static_cast<std::size_t>(groupStart[group + 1]);
                const bool grouped = group != outside && end - first > 1;
                const std::uint32_t groupRays =
                    grouped ? tileRaysMatter(group, within, low, high) : 0;
                if (grouped && groupRays == 0) {
                    continue;
                }
                for (std::size_t at = first; at < end; ++at) {
                    bandSite(static_cast<std::size_t>(groupSites[at]), at,
                             grouped ? &groupRays : nullptr, within, low, high, alone, scratch);
                }
            }
        }
    });
}

std::uint32_t PictureBuilder::tileRaysMatter(std::size_t group, double within, float low,
                                             float high) const {
    const double left = static_cast<double>((group % tilesX) << kTileShift);
    const double top = static_cast<double>((group / tilesX) << kTileShift);
    const double right = left + (1 << kTileShift);
    const double bottom = top + (1 << kTileShift);
    if (!(blockMaximum(left - within, top - within, right + within, bottom + within) >= low)) {
        return 0;
    }
    std::uint32_t rays = 0;
    for (int ray = 0; ray < kConeSlices; ++ray) {
        rays |= (rayMatters(left, top, right, bottom, ray, low, high) ? 1u : 0u) << ray;
    }
    return rays;
}

void PictureBuilder::bandSite(std::size_t site, std::size_t kept, const std::uint32_t* groupRays,
                              double within, float low, float high, bool alone, RayEdges& scratch) {
    // Beyond their near parts, only the rays that sites ahead do not cover,
    // and those whose last columns they leave, may show.
    std::uint32_t candidates = ~std::uint32_t{0};
    if (!siteCover.empty() && low >= siteCover[kept].nearEnd) {
        const SiteCover& summary = siteCover[kept];
        candidates = summary.uncovered | (high > summary.tailStart ? summary.tails : 0);
        if (candidates == 0) {
            return;
        }
    }
    const double x = apexX[site];
    const double y = apexY[site];
    // A site of its own is first tested as its group would be.
    if (groupRays == nullptr &&
        !(blockMaximum(x - within, y - within, x + within, y + within) >= low)) {
        return;
    }
    // A kept edge costs little to look at again, so its group's test does
    // for it; an edge worked out again is worth a test of its own.
    std::uint32_t walked = candidates & (groupRays == nullptr ? ~std::uint32_t{0} : *groupRays);
    if (groupRays == nullptr || !edgesKept) {
        for (std::uint32_t rest = walked; rest != 0; rest &= rest - 1) {
            const int ray = __builtin_ctz(rest);
            if (!rayMatters(x, y, x, y, ray, low, high)) {
                walked &= ~(std::uint32_t{1} << ray);
            }
        }
    }
    if (walked == 0) {
        return;
    }
    // A site's kept edges and their walks' state lie far from the last
    // site's: asked for at once, they arrive together, not one by one.
    if (edgesKept) {
        const std::size_t slots = kept * 2 * kConeSlices;
        const std::uint32_t fresh = walked & ~keptRays[kept];
        for (std::uint32_t rest = walked & ~fresh; rest != 0; rest &= rest - 1) {
            const int ray = __builtin_ctz(rest);
            for (const int slot : {inwardSlot(ray), outwardSlot(ray)}) {
                const char* edge = reinterpret_cast<const char*>(&keptEdges[slots + slot]);
                const char* state = reinterpret_cast<const char*>(&progress[slots + slot]);
                __builtin_prefetch(edge);
                __builtin_prefetch(edge + 64);
                __builtin_prefetch(state);
            }
        }
        if (fresh != 0) {
            keepRays(site, kept, fresh, scratch.cone);
        }
    }
    bool coneReady = false;
    CoveredRays::Around points;
    bool pointsRead = false;
    for (std::uint32_t rest = walked; rest != 0; rest &= rest - 1) {
        const int ray = __builtin_ctz(rest);
        float parts[4];
        // The band's parts outside the depths that sites ahead cover.
        float coverLow = kNone;
        float coverHigh = kNone;
        if (!siteCover.empty() && !((siteCover[kept].uncovered >> ray) & 1u)) {
            if (edgesKept) {
                coverLow = rayCover[(kept * kConeSlices + ray) * 2];
                coverHigh = rayCover[(kept * kConeSlices + ray) * 2 + 1];
            } else {
                if (!pointsRead) {
                    covered.around(site, points);
                    pointsRead = true;
                }
                coveredDepths(site, ray, points, coverLow, coverHigh);
            }
        }
        const float bounds[4] = {low, std::min(high, coverLow), std::max(low, coverHigh), high};
        int partCount = 0;
        for (int part = 0; part < 2; ++part) {
            if (bounds[2 * part] < bounds[2 * part + 1]) {
                parts[2 * partCount] = bounds[2 * part];
                parts[2 * partCount + 1] = bounds[2 * part + 1];
                ++partCount;
            }
        }
        if (edgesKept) {
            const std::size_t slots = kept * 2 * kConeSlices;
            const std::size_t inward = slots + inwardSlot(ray);
            const std::size_t outward = slots + outwardSlot(ray);
            for (int part = 0; part < partCount; ++part) {
                walkRay(keptEdges[inward], keptEdges[outward], ((twins[kept] >> ray) & 1u) != 0,
                        parts[2 * part], parts[2 * part + 1], alone, &progress[inward],
                        &progress[outward]);
            }
            continue;
        }
        if (!coneReady) {
            outlines.cone(sites[site].x, sites[site].y, scratch.cone);
            coneReady = true;
        }
        rayEdges(scratch.cone, site, ray, scratch.inward, scratch.outward);
        const bool twin = twinned(scratch.inward, scratch.outward);
        for (int part = 0; part < partCount; ++part) {
            walkRay(scratch.inward, scratch.outward, twin, parts[2 * part], parts[2 * part + 1],
                    alone, nullptr, nullptr);
        }
    }
}

void PictureBuilder::walkRay(const OutlineEdgePixels& inward, const OutlineEdgePixels& outward,
                             bool twinned, float low, float high, bool alone,
                             EdgeProgress* inwardProgress, EdgeProgress* outwardProgress) {
    if (twinned) {
        walk(inward, &outward, low, high, alone, inwardProgress);
        return;
    }
    if (inward.site >= 0) {
        walk(inward, nullptr, low, high, alone, inwardProgress);
    }
    if (outward.site >= 0) {
        walk(outward, nullptr, low, high, alone, outwardProgress);
    }
}

void PictureBuilder::walk(const OutlineEdgePixels& edge, const OutlineEdgePixels* twin, float low,
                          float high, bool alone, EdgeProgress* progress) {
    const RasterLine& line = edge.line;
    const std::int64_t first = std::max<std::int64_t>(line.first, 0);
    const std::int64_t last = std::min<std::int64_t>(line.last, (line.xMajor ? width : height) - 1);
    if (last < first) {
        return;
    }
    // Depth grows away from the apex.
    const bool outwardUp = !(edge.depthPerPixel < 0.0);
    std::int64_t major = 0;
    RasterLineWalk step;
    if (progress != nullptr && progress->resumeLow == low) {
        major = progress->major;
        if (major >= first && major <= last) {
            step = RasterLineWalk(line, major);
        }
    } else {
        major = bandStart(edge, twin, low, first, last, outwardUp);
        if (major >= first && major <= last) {
            step = RasterLineWalk(line, major);
        }
    }
    if (twin != nullptr) {
        major = outwardUp ? walkOutward<1, true>(edge, *twin, major, last, high, alone, step)
                          : walkOutward<-1, true>(edge, *twin, major, first, high, alone, step);
    } else {
        major = outwardUp ? walkOutward<1, false>(edge, edge, major, last, high, alone, step)
                          : walkOutward<-1, false>(edge, edge, major, first, high, alone, step);
    }
    if (progress != nullptr) {
        progress->major = static_cast<std::int32_t>(major);
        progress->resumeLow = high;
    }
}

std::int64_t PictureBuilder::bandStart(const OutlineEdgePixels& edge, const OutlineEdgePixels* twin,
                                       float low, std::int64_t first, std::int64_t last,
                                       bool outwardUp) const {
    const auto deepEnough = [&](std::int64_t major) {
        float at = clampedDepth(edge.depthAt(major));
        if (twin != nullptr) {
            at = std::min(at, clampedDepth(twin->depthAt(major)));
        }
        return at >= low;
    };
    // From a pixel short of where the unrounded depth reaches `low`, to where
    // the rounded one does.
    const double reaches = edge.depthPerPixel != 0.0
                               ? edge.majorFrom - 0.5 + (low - edge.depthFrom) / edge.depthPerPixel
                               : edge.majorFrom;
    std::int64_t major = 0;
    if (outwardUp) {
        major = first;
        const double from = std::floor(reaches) - 1.0;
        if (edge.depthPerPixel != 0.0 && from > static_cast<double>(first)) {
            major = from > static_cast<double>(last) ? last : static_cast<std::int64_t>(from);
        }
        while (major > first && deepEnough(major - 1)) {
            --major;
        }
        while (major <= last && !deepEnough(major)) {
            ++major;
        }
    } else {
        major = last;
        const double from = std::ceil(reaches) + 1.0;
        if (from < static_cast<double>(last)) {
            major = from < static_cast<double>(first) ? first : static_cast<std::int64_t>(from);
        }
        while (major < last && deepEnough(major + 1)) {
            ++major;
        }
        while (major >= first && !deepEnough(major)) {
            --major;
        }
    }
    return major;
}

template <int kDirection, bool kTwinned>
std::int64_t PictureBuilder::walkOutward(const OutlineEdgePixels& edge,
                                         const OutlineEdgePixels& twin, std::int64_t major,
                                         std::int64_t end, float high, bool alone,
                                         RasterLineWalk& step) {
    const OutlineEdgePixels ours = edge;
    const OutlineEdgePixels other = twin;
    const RasterLine& line = ours.line;
    // Where the walk's depths all lie within the depth range, clamping them
    // changes nothing: the depths change monotonically along it.
    const auto unclamped = [](const OutlineEdgePixels& edge, std::int64_t from, std::int64_t to) {
        const double near = edge.depthAt(from);
        const double far = edge.depthAt(to);
        return near >= 0.0 && near <= 1.0 && far >= 0.0 && far <= 1.0;
    };
    const bool inRange = unclamped(ours, major, end) && (!kTwinned || unclamped(other, major, end));
    const auto received = [inRange](double depth) {
        return inRange ? static_cast<float>(depth) : clampedDepth(depth);
    };
    const auto depthAt = [&ours, &other, &received](std::int64_t at) {
        const float depth = received(ours.depthAt(at));
        if constexpr (kTwinned) {
            return std::min(depth, received(other.depthAt(at)));
        }
        return depth;
    };
    const bool xMajor = line.xMajor;
    const std::int64_t minorSize = xMajor ? height : width;
    const std::int64_t minorTileCount = xMajor ? tilesY : tilesX;
    const std::int64_t majorPixels = xMajor ? 1 : width;
    const std::int64_t minorPixels = xMajor ? width : 1;
    const std::int64_t majorTiles = xMajor ? 1 : tilesX;
    const std::int64_t minorTiles = xMajor ? tilesX : 1;
    // How the minor coordinate moves at most per step of the walk.
    const std::int64_t across = (line.highMinor >= line.lowMinor ? 1 : -1) * kDirection;
    // Copies the compiler can keep in registers: for all it knows, the
    // stores to pixels could change the vectors.
    const float* bounds = tileMax.data();
    std::uint8_t* marks = touched.data();
    Held* pixels = held.data();
    constexpr std::int64_t kTileSide = std::int64_t{1} << kTileShift;
    static_assert(RasterLineWalk::kLeapSteps == kTileSide, "a leap crosses one tile column");
    const auto move = [&step](std::int64_t count) {
        if (count == kTileSide) {
            kDirection > 0 ? step.leap() : step.leapBack();
            return;
        }
        for (; count > 0; --count) {
            kDirection > 0 ? step.next() : step.previous();
        }
    };
    // Tile column by tile column. A line moves at most a pixel across per
    // pixel along, so a column's pixels lie in two rows of tiles at most.
    while (kDirection > 0 ? major <= end : major >= end) {
        const std::int64_t columnEnd = kDirection > 0 ? std::min(end, major | (kTileSide - 1))
                                                      : std::max(end, major & ~(kTileSide - 1));
        std::int64_t count = (columnEnd - major) * kDirection + 1;
        const bool bandEnds = !(depthAt(columnEnd) < high);
        if (bandEnds) {
            count = 0;
            while (depthAt(major + count * kDirection) < high) {
                ++count;
            }
            if (count == 0) {
                return major;
            }
        }
        const std::int64_t minorFrom = step.minor();
        const std::int64_t minorTo = minorFrom + across * (count - 1);
        const std::int64_t rowFrom = std::clamp<std::int64_t>(
            std::min(minorFrom, minorTo) >> kTileShift, 0, minorTileCount - 1);
        const std::int64_t rowTo = std::clamp<std::int64_t>(
            std::max(minorFrom, minorTo) >> kTileShift, 0, minorTileCount - 1);
        const std::size_t column = static_cast<std::size_t>((major >> kTileShift) * majorTiles);
        const float bound =
            std::max(bounds[column + rowFrom * minorTiles], bounds[column + rowTo * minorTiles]);
        // Depth grows along the walk: the column's least is its first.
        const float least = depthAt(major);
        if (!(bound >= least)) {
            move(count);
            major += count * kDirection;
        } else {
            __atomic_store_n(&marks[column + rowFrom * minorTiles], 1, __ATOMIC_RELAXED);
            __atomic_store_n(&marks[column + rowTo * minorTiles], 1, __ATOMIC_RELAXED);
            const std::int64_t stop = major + count * kDirection;
            if (alone) {
                // The lesser, stored either way: no branch to mispredict.
                const auto lightColumn = [&](auto stored) {
                    double centre = static_cast<double>(major) + 0.5;
                    for (; major != stop; major += kDirection, centre += kDirection) {
                        const std::int64_t minor = step.minor();
                        kDirection > 0 ? step.next() : step.previous();
                        if (static_cast<std::uint64_t>(minor) >=
                            static_cast<std::uint64_t>(minorSize)) {
                            continue;
                        }
                        Held& pixel = pixels[minor * minorPixels + major * majorPixels];
                        const Held current = __atomic_load_n(&pixel, __ATOMIC_RELAXED);
                        float depth = stored(ours.depthAtCentre(centre));
                        if constexpr (kTwinned) {
                            depth = std::min(depth, stored(other.depthAtCentre(centre)));
                        }
                        const Held offered = heldOf(depth, ours.site);
                        __atomic_store_n(&pixel, std::min(offered, current), __ATOMIC_RELAXED);
                    }
                };
                if (inRange) {
                    lightColumn([](double depth) { return static_cast<float>(depth); });
                } else {
                    lightColumn(clampedDepth);
                }
            } else {
                // A pixel holding less than the column's least keeps what it holds.
                const Held settled = heldOf(least, -1) & ~Held{0xFFFFFFFFu};
                for (; major != stop; major += kDirection) {
                    const std::int64_t minor = step.minor();
                    kDirection > 0 ? step.next() : step.previous();
                    if (static_cast<std::uint64_t>(minor) >=
                        static_cast<std::uint64_t>(minorSize)) {
                        continue;
                    }
                    Held& pixel = pixels[minor * minorPixels + major * majorPixels];
                    const Held current = __atomic_load_n(&pixel, __ATOMIC_RELAXED);
                    if (current < settled) {
                        continue;
                    }
                    const Held offered = heldOf(depthAt(major), ours.site);
                    if (offered < current) {
                        offer(pixel, offered);
                    }
                }
            }
        }
        if (bandEnds) {
            return major;
        }
    }
    return major;
}

}  // namespace

OutlinePicture::OutlinePicture(std::size_t mostKeptEdges)
    : mostKeptEdges(mostKeptEdges), workspace(std::make_unique<Workspace>()) {}

OutlinePicture::~OutlinePicture() = default;

void OutlinePicture::compute(const std::vector<OutlineSite>& sites, const OutlineView& view,
                             float radius, int width, int height,
                             const std::vector<std::uint8_t>& markerCovered,
                             const std::atomic<bool>* cancel) {
    Workspace& work = *workspace;
    const bool copies = dropEarlierCopies(sites, work.lastCopies, work.original);
    PictureBuilder(copies ? work.lastCopies : sites, view, radius, width, height, markerCovered,
                   winner, depth, work, mostKeptEdges, cancel)
        .build();
    if (copies) {
        for (std::int32_t& site : winner) {
            if (site >= 0) {
                site = work.original[static_cast<std::size_t>(site)];
            }
        }
    }
}
