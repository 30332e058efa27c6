#include "outline/outline_picture.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "cells/large_arrays.h"
#include "cells/thread_sharing.h"
#include "outline/apex_layout.h"
#include "outline/bucketed_sites.h"
#include "outline/edge_walk.h"
#include "outline/fragment_key.h"
#include "outline/kept_edges.h"
#include "outline/near_search.h"
#include "outline/ray_cover.h"
#include "outline/row_claims.h"
#include "outline/site_copies.h"
#include "outline/tile_pyramid.h"

namespace {

constexpr int kThreads = 2;
constexpr int kTileShift = TilePyramid::kTileShift;
constexpr float kNoPixel = TilePyramid::kNoPixel;
// The radial bands, by how far from the apexes they reach in window pixels:
// the first at least kFirstBand and kFirstBandSpacings times the sites'
// spacing, each further one kBandGrowth times the one before.
constexpr double kFirstBand = 8.0;
constexpr double kFirstBandSpacings = 3.0;
constexpr double kBandGrowth = 1.41421356;

// The sites by the tile their apex lies in, those outside the window in a
// last group: group g's sites are sites[start[g]] to sites[start[g + 1] - 1].
struct TileGroups {
    std::vector<std::int32_t> start;
    std::vector<std::int32_t> sites;
};

}  // namespace

struct OutlinePicture::Workspace {
    std::vector<FragmentKey> pixels;
    ApexLayout apexes;
    TilePyramid tiles;
    NearSearch nearSearch;
    TileGroups groups;
    KeptEdges keptEdges;
    RayCover cover;
    // The sites less the copies that later ones repeat, and their indices.
    std::vector<OutlineSite> lastCopies;
    std::vector<std::int32_t> original;
};

namespace {

// Works one picture out: the near search where markers leave few pixels,
// then the radial edges in bands of depth, then the rims where no radial
// edge reaches. The parts it hands the work to keep their memory from one
// picture to the next.
class PictureBuilder {
public:
    PictureBuilder(const std::vector<OutlineSite>& sites, const OutlineView& view, float radius,
                   int width, int height, const std::vector<std::uint8_t>& marker,
                   OutlinePicture::Workspace& parts, std::size_t mostKeptEdges)
        : sites(sites),
          view(view),
          outlines(view, radius),
          width(width),
          height(height),
          marker(marker),
          pixels(parts.pixels),
          apexes(parts.apexes),
          tiles(parts.tiles),
          nearSearch(parts.nearSearch),
          groups(parts.groups),
          keptEdges(parts.keptEdges),
          cover(parts.cover),
          walker(parts.pixels, parts.tiles, width, height),
          mostKeptEdges(mostKeptEdges) {}

    void build(std::vector<std::int32_t>& winner, std::vector<float>& depth);

private:
    bool open(std::size_t pixel) const { return marker.empty() || !marker[pixel]; }
    void drawEdges();
    // The radial edges band by band, from depth `low` on, with `openPixels`
    // pixels left to them.
    void radialBands(float low, double openPixels);
    void radialBand(float low, float high);
    void groupSitesByTile();
    // The rays of a site whose apex lies in the group's tile that can change
    // the picture in the band, a bit each.
    std::uint32_t tileRaysMatter(std::size_t group, double bandReach, float low, float high) const;
    // Whether any pixel near ray `ray` of a site whose apex lies in the box,
    // at the distances of the band's depths, holds more than `low`: where
    // none does, neither edge along the ray can change the picture in the
    // band.
    bool rayMatters(double left, double top, double right, double bottom, int ray, float low,
                    float high) const;
    // What is worked out again for each site whose edges are not kept.
    struct RayEdges {
        ConeOutlines::Cone cone;
        OutlineEdgePixels inward;
        OutlineEdgePixels outward;
    };
    // The band's fragments of the site's edges, along the rays that matter
    // (only among `groupRays` where its group tested them, else among all);
    // `place` is its place in the groups' order.
    void bandSite(std::size_t site, std::size_t place, const std::uint32_t* groupRays,
                  double bandReach, float low, float high, bool alone, RayEdges& scratch);
    // The site's rim edges, where a pixel about them holds more than a rim.
    void walkRims(std::size_t site);

    const std::vector<OutlineSite>& sites;
    const OutlineView& view;
    ConeOutlines outlines;
    int width;
    int height;
    const std::vector<std::uint8_t>& marker;
    std::vector<FragmentKey>& pixels;
    ApexLayout& apexes;
    TilePyramid& tiles;
    NearSearch& nearSearch;
    TileGroups& groups;
    KeptEdges& keptEdges;
    RayCover& cover;
    EdgeWalk walker;
    std::size_t mostKeptEdges;
};

void PictureBuilder::build(std::vector<std::int32_t>& winner, std::vector<float>& depth) {
    const std::size_t pixelCount =
        static_cast<std::size_t>(std::max(width, 0)) * std::max(height, 0);
    reserveLarge(pixels, pixelCount);
    pixels.assign(pixelCount, emptyKey());
    for (std::size_t pixel = 0; pixel < marker.size(); ++pixel) {
        if (marker[pixel]) {
            pixels[pixel] = kMarkedKey;
        }
    }
    if (pixelCount > 0 && !sites.empty()) {
        drawEdges();
    }
    reserveLarge(winner, pixelCount);
    reserveLarge(depth, pixelCount);
    winner.resize(pixelCount);
    depth.resize(pixelCount);
    onThreads(kThreads, [&](int thread) {
        const std::size_t end = pixelCount * (thread + 1) / kThreads;
        for (std::size_t pixel = pixelCount * thread / kThreads; pixel < end; ++pixel) {
            const FragmentKey shown = pixels[pixel] == kMarkedKey ? emptyKey() : pixels[pixel];
            winner[pixel] = keySite(shown);
            depth[pixel] = keyDepth(shown);
        }
    });
}

void PictureBuilder::drawEdges() {
    apexes.place(sites, outlines);
    if (!(apexes.rimReach > 0.0) || !std::isfinite(apexes.rimReach)) {
        return;
    }
    cover.prepare(sites, outlines, apexes, view, width, height);
    // Where markers leave few pixels among many sites, each pixel looks for
    // its nearest edges itself; elsewhere the edges are followed outward
    // from their apexes, which settles the near pixels of sparse sites at
    // less cost.
    std::size_t openPixels = 0;
    for (std::size_t pixel = 0; pixel < pixels.size(); ++pixel) {
        openPixels += open(pixel);
    }
    float low = 0.0f;
    if (openPixels * 8 < sites.size() * 2 * kConeSlices) {
        nearSearch.run(sites, outlines, apexes, width, height, marker, pixels);
        low = static_cast<float>(NearSearch::settledDepth(apexes));
    }
    tiles.reset(width, height);
    tiles.refresh(pixels, marker, kNoPixel);  // every tile
    if (tiles.deepest() >= low) {
        groupSitesByTile();
        keptEdges.prepare(sites.size(), mostKeptEdges);
        cover.summarise(groups.sites, keptEdges.kept());
        radialBands(low, static_cast<double>(openPixels));
    }
    // The rims lie at depth 0.5, behind every radial edge: they show only
    // where none reaches.
    if (tiles.deepest() >= kRimDepth) {
        onThreads(kThreads, [&](int thread) {
            for (std::size_t site = thread; site < sites.size(); site += kThreads) {
                walkRims(site);
            }
        });
    }
}

void PictureBuilder::walkRims(std::size_t site) {
    const double x = apexes.x[site];
    const double y = apexes.y[site];
    const double around = apexes.rimReach + 2.0;
    if (!(tiles.blockMaximum(x - around, y - around, x + around, y + around) >= kRimDepth)) {
        return;
    }
    ConeOutlines::Cone cone;
    bool coneReady = false;
    for (int facet = 0; facet < kConeSlices; ++facet) {
        // The facet's rim edge runs from rim vertex facet + 1 to rim vertex
        // facet; it is worked out only where a pixel about it holds more.
        const int next = (facet + 1) % kConeSlices;
        const double fromX = x + apexes.rayX[next] * apexes.rayLength[next];
        const double fromY = y + apexes.rayY[next] * apexes.rayLength[next];
        const double toX = x + apexes.rayX[facet] * apexes.rayLength[facet];
        const double toY = y + apexes.rayY[facet] * apexes.rayLength[facet];
        constexpr double kAround = 2.0;
        if (!(tiles.blockMaximum(std::min(fromX, toX) - kAround, std::min(fromY, toY) - kAround,
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
            walker.walk(edge, nullptr, kRimDepth, kNothingDrawn, false, nullptr);
        }
    }
}

void PictureBuilder::radialBands(float low, double openPixels) {
    // Bands of depth, each reaching further than the one before: the near
    // ones settle most pixels, so that the far ones skip most of every edge.
    // The sites' spacing is that of a square lattice of as many sites as the
    // window holds (all groups but the last).
    const auto inWindow = static_cast<double>(groups.start[groups.start.size() - 2]);
    const double spacing = std::sqrt(openPixels / std::max(inWindow, 1.0));
    for (double distance = std::max(kFirstBand, kFirstBandSpacings * spacing);
         low < kRimDepth && tiles.deepest() >= low; distance *= kBandGrowth) {
        float high = static_cast<float>(apexes.depthAt(distance));
        if (high <= low) {
            continue;
        }
        if (high >= kRimDepth) {
            high = kNothingDrawn;  // the last band takes what lies past the rims too
        }
        radialBand(low, high);
        tiles.refresh(pixels, marker, std::min(high, kRimDepth));
        low = high;
    }
}

void PictureBuilder::groupSitesByTile() {
    const std::size_t outside = static_cast<std::size_t>(tiles.tilesX()) * tiles.tilesY();
    bucketSites(
        sites.size(), outside + 1,
        [&](std::size_t site) {
            const float x = apexes.x[site];
            const float y = apexes.y[site];
            if (!(x >= 0.0f && x < width && y >= 0.0f && y < height)) {
                return outside;
            }
            return static_cast<std::size_t>(static_cast<int>(y) >> kTileShift) * tiles.tilesX() +
                   (static_cast<std::size_t>(x) >> kTileShift);
        },
        groups.start, groups.sites);
}

void PictureBuilder::radialBand(float low, float high) {
    // Beyond this distance from its apex no fragment of an edge is shallower than `high`.
    const double bandReach = std::min(static_cast<double>(high), 0.5) * 2.0 * apexes.rimReach + 3.0;
    const std::size_t groupCount = groups.start.size() - 1;
    const std::size_t outside = groupCount - 1;
    const std::size_t tilesX = static_cast<std::size_t>(tiles.tilesX());
    // The threads take the groups of sites in small runs, one from the first
    // run on and the other from the last back, so that they seldom write to
    // the same pixels. Where their runs' rows lie apart, a thread writes its
    // pixels alone; elsewhere each fragment is offered to its pixel by
    // itself, which keeps the lesser. A group's rays are tested for all its
    // sites at once, which spares most tests of crowded sites.
    constexpr std::size_t kRun = 8;
    static_assert(kThreads == 2, "the runs are taken from both ends");
    const std::size_t runs = (groupCount + kRun - 1) / kRun;
    std::atomic<std::size_t> taken{0};
    RowClaims claims;
    // The rows that the walks from a tile's apexes reach; past the window's
    // height that is every row, which also keeps huge zooms from overflowing.
    const auto margin = static_cast<std::int32_t>(std::min(std::ceil(bandReach), height + 0.0)) + 2;
    onThreads(kThreads, [&](int thread) {
        // Whatever ends the thread's share, the other must not wait for it.
        struct Release {
            RowClaims& claims;
            int thread;
            ~Release() { claims.release(thread); }
        } release{claims, thread};
        RayEdges scratch;
        for (std::size_t own = 0; taken.fetch_add(1, std::memory_order_relaxed) < runs; ++own) {
            const std::size_t start = (thread == 0 ? own : runs - 1 - own) * kRun;
            const std::size_t stop = std::min(groupCount, start + kRun);
            // The sites outside the window reach anywhere.
            const bool anywhere = stop > outside;
            const auto firstRow = static_cast<std::int32_t>(start / tilesX);
            const auto lastRow = static_cast<std::int32_t>((stop - 1) / tilesX);
            const bool alone = claims.claim(
                thread, anywhere ? 0 : std::max(0, (firstRow << kTileShift) - margin),
                anywhere ? height - 1
                         : std::min(height - 1, ((lastRow + 1) << kTileShift) - 1 + margin));
            for (std::size_t group = start; group < stop; ++group) {
                const auto first = static_cast<std::size_t>(groups.start[group]);
                const auto end = static_cast<std::size_t>(groups.start[group + 1]);
                const bool grouped = group != outside && end - first > 1;
                const std::uint32_t groupRays =
                    grouped ? tileRaysMatter(group, bandReach, low, high) : 0;
                if (grouped && groupRays == 0) {
                    continue;
                }
                for (std::size_t place = first; place < end; ++place) {
                    bandSite(static_cast<std::size_t>(groups.sites[place]), place,
                             grouped ? &groupRays : nullptr, bandReach, low, high, alone, scratch);
                }
            }
        }
    });
}

std::uint32_t PictureBuilder::tileRaysMatter(std::size_t group, double bandReach, float low,
                                             float high) const {
    const std::size_t tilesX = static_cast<std::size_t>(tiles.tilesX());
    const double left = static_cast<double>((group % tilesX) << kTileShift);
    const double top = static_cast<double>((group / tilesX) << kTileShift);
    const double right = left + TilePyramid::kTileSide;
    const double bottom = top + TilePyramid::kTileSide;
    if (!(tiles.blockMaximum(left - bandReach, top - bandReach, right + bandReach,
                             bottom + bandReach) >= low)) {
        return 0;
    }
    std::uint32_t rays = 0;
    for (int ray = 0; ray < kConeSlices; ++ray) {
        rays |= (rayMatters(left, top, right, bottom, ray, low, high) ? 1u : 0u) << ray;
    }
    return rays;
}

bool PictureBuilder::rayMatters(double left, double top, double right, double bottom, int ray,
                                float low, float high) const {
    // The fragments of depth d lie about 2 d reach from the apex along the
    // ray, within a pixel of it; the walk takes a pixel more at either end of
    // the band.
    const double nearest = std::max(0.0, static_cast<double>(low) * 2.0 * apexes.rimReach - 3.0);
    // No radial fragment lies deeper than the rim's 0.5.
    const double farthest = std::min(static_cast<double>(high), 0.5) * 2.0 * apexes.rimReach + 3.0;
    const double x0 = apexes.rayX[ray] * nearest;
    const double y0 = apexes.rayY[ray] * nearest;
    const double x1 = apexes.rayX[ray] * farthest;
    const double y1 = apexes.rayY[ray] * farthest;
    constexpr double kAround = 2.0;
    return tiles.blockMaximum(left + std::min(x0, x1) - kAround, top + std::min(y0, y1) - kAround,
                              right + std::max(x0, x1) + kAround,
                              bottom + std::max(y0, y1) + kAround) >= low;
}

void PictureBuilder::bandSite(std::size_t site, std::size_t place, const std::uint32_t* groupRays,
                              double bandReach, float low, float high, bool alone,
                              RayEdges& scratch) {
    // Beyond their near parts, only the rays that sites ahead do not cover,
    // and those whose last columns they leave, may show.
    std::uint32_t candidates = ~std::uint32_t{0};
    if (cover.any() && low >= cover.summary(place).nearEnd) {
        const RayCover::Summary& summary = cover.summary(place);
        candidates = summary.uncovered | (high > summary.tailStart ? summary.tails : 0);
        if (candidates == 0) {
            return;
        }
    }
    const double x = apexes.x[site];
    const double y = apexes.y[site];
    // A site of its own is first tested as its group would be.
    if (groupRays == nullptr &&
        !(tiles.blockMaximum(x - bandReach, y - bandReach, x + bandReach, y + bandReach) >= low)) {
        return;
    }
    // A kept edge costs little to look at again, so its group's test does
    // for it; an edge worked out again is worth a test of its own.
    std::uint32_t walked = candidates & (groupRays == nullptr ? ~std::uint32_t{0} : *groupRays);
    if (groupRays == nullptr || !keptEdges.kept()) {
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
    if (keptEdges.kept()) {
        const std::uint32_t fresh = walked & ~keptEdges.keptRays(place);
        keptEdges.prefetch(place, walked & ~fresh);
        if (fresh != 0) {
            keptEdges.keepRays(outlines, sites[site], site, place, fresh);
        }
    }
    bool coneReady = false;
    RayCover::Lookup lookup;
    for (std::uint32_t rest = walked; rest != 0; rest &= rest - 1) {
        const int ray = __builtin_ctz(rest);
        // The band's parts outside the depths that sites ahead cover.
        float coverLow = kNothingDrawn;
        float coverHigh = kNothingDrawn;
        if (cover.any() && !((cover.summary(place).uncovered >> ray) & 1u)) {
            cover.coveredDepths(place, site, ray, lookup, coverLow, coverHigh);
        }
        const float bounds[4] = {low, std::min(high, coverLow), std::max(low, coverHigh), high};
        float parts[4];
        int partCount = 0;
        for (int part = 0; part < 2; ++part) {
            if (bounds[2 * part] < bounds[2 * part + 1]) {
                parts[2 * partCount] = bounds[2 * part];
                parts[2 * partCount + 1] = bounds[2 * part + 1];
                ++partCount;
            }
        }
        if (keptEdges.kept()) {
            for (int part = 0; part < partCount; ++part) {
                keptEdges.walkRay(walker, place, ray, parts[2 * part], parts[2 * part + 1], alone);
            }
            continue;
        }
        if (!coneReady) {
            outlines.cone(sites[site].x, sites[site].y, scratch.cone);
            coneReady = true;
        }
        rayEdges(outlines, scratch.cone, site, ray, scratch.inward, scratch.outward);
        const bool twin = twinned(scratch.inward, scratch.outward);
        for (int part = 0; part < partCount; ++part) {
            walker.walkRay(scratch.inward, scratch.outward, twin, parts[2 * part],
                           parts[2 * part + 1], alone, nullptr, nullptr);
        }
    }
}

}  // namespace

OutlinePicture::OutlinePicture(std::size_t mostKeptEdges)
    : mostKeptEdges(mostKeptEdges), workspace(std::make_unique<Workspace>()) {}

OutlinePicture::~OutlinePicture() = default;

void OutlinePicture::compute(const std::vector<OutlineSite>& sites, const OutlineView& view,
                             float radius, int width, int height,
                             const std::vector<std::uint8_t>& markerCovered) {
    Workspace& work = *workspace;
    const bool copies = dropEarlierCopies(sites, work.lastCopies, work.original);
    PictureBuilder(copies ? work.lastCopies : sites, view, radius, width, height, markerCovered,
                   work, mostKeptEdges)
        .build(winner, depth);
    if (copies) {
        for (std::int32_t& site : winner) {
            if (site >= 0) {
                site = work.original[static_cast<std::size_t>(site)];
            }
        }
    }
}
