#include "outline/outline_picture.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

#include "cells/large_arrays.h"
#include "cells/thread_sharing.h"
#include "outline/apex_layout.h"
#include "outline/edge_walk.h"
#include "outline/fragment_key.h"
#include "outline/kept_edges.h"
#include "outline/near_search.h"
#include "outline/radial_band.h"
#include "outline/ray_cover.h"
#include "outline/rim_edges.h"
#include "outline/settled_pixels.h"
#include "outline/site_copies.h"
#include "outline/tile_pyramid.h"

namespace {

constexpr int kThreads = 2;
constexpr float kNoPixel = TilePyramid::kNoPixel;
// The radial bands, by how far from the apexes they reach in window pixels:
// the first at least kFirstBand and kFirstBandSpacings times the sites'
// spacing, each further one kBandGrowth times the one before. That is two
// bands to a doubling, and three in a crowd (below), where two walked more
// of the rays that deeper bands then drop; elsewhere most rays win pixels
// of their own, and a third band costs more in passes over the sites than
// it spares.
constexpr double kFirstBand = 8.0;
constexpr double kFirstBandSpacings = 3.0;
constexpr double kBandGrowth = 1.41421356;
constexpr double kCrowdBandGrowth = 1.25992105;
// The tails that the ray cover leaves start at most this many pixels before
// the rims: three columns along a diagonal, and the snapping's margin.
constexpr double kTailsBeforeRim = 5.0;
// Sites closer than this many pixels apart, on average over the window, are
// a crowd, where the walks read tiles again and a ray's part of any length
// is tested as settled: its pixels are mostly settled by the crowd's other
// edges first. Elsewhere each edge mostly wins pixels of its own, and both
// cost more than they spare.
constexpr std::size_t kCrowdSpacing = 4;
// The near search also runs where the apexes leave most of the window empty
// but are many among the pixels about them (at least one to
// kMostPixelsAboutAnApex), and mostly a pixel apart (at most
// kMostApexesPerPixel to a pixel that holds any; more, and its cells are
// crowded): the first bands would walk every apex's rays there. With fewer
// than kLeastNearSearchApexes apexes its fixed costs outweigh what it spares.
constexpr std::size_t kMostPixelsAboutAnApex = 5;
constexpr double kMostApexesPerPixel = 1.2;
constexpr std::size_t kLeastNearSearchApexes = 4000;

// Whether, where few apexes stand among many open pixels, they stand close
// enough among the pixels about them (those of the 8 x 8 tiles about theirs,
// about as far as the near search looks) for it to pay.
bool nearAmongOpenPixels(const ApexLayout& apexes, std::size_t siteCount,
                         const std::vector<std::uint8_t>& marker, int width, int height,
                         std::size_t apexesInWindow) {
    if (apexesInWindow < kLeastNearSearchApexes) {
        return false;
    }
    constexpr int kTileSide = TilePyramid::kTileSide;
    const int tileColumns = (width + kTileSide - 1) / kTileSide;
    const int tileRows = (height + kTileSide - 1) / kTileSide;
    // The tiles apexes lie in, and those about them.
    std::vector<std::uint8_t> apexTile(static_cast<std::size_t>(tileColumns) * tileRows, 0);
    std::vector<std::uint8_t> aboutApexes(apexTile.size(), 0);
    std::vector<std::uint64_t> held((static_cast<std::size_t>(width) * height + 63) / 64, 0);
    std::size_t pixelsHeld = 0;
    for (std::size_t site = 0; site < siteCount; ++site) {
        const float x = apexes.x[site];
        const float y = apexes.y[site];
        if (!(x >= 0.0f && x < width && y >= 0.0f && y < height)) {
            continue;
        }
        const int column = static_cast<int>(x);
        const int row = static_cast<int>(y);
        const std::size_t pixel = static_cast<std::size_t>(row) * width + column;
        const std::uint64_t bit = std::uint64_t{1} << (pixel % 64);
        pixelsHeld += (held[pixel / 64] & bit) == 0;
        held[pixel / 64] |= bit;
        const int tileColumn = column / kTileSide;
        const int tileRow = row / kTileSide;
        std::uint8_t& tile = apexTile[static_cast<std::size_t>(tileRow) * tileColumns + tileColumn];
        if (tile == 0) {
            tile = 1;
            for (int about = std::max(tileRow - 1, 0); about <= std::min(tileRow + 1, tileRows - 1);
                 ++about) {
                std::uint8_t* aboutRow =
                    &aboutApexes[static_cast<std::size_t>(about) * tileColumns];
                std::fill(aboutRow + std::max(tileColumn - 1, 0),
                          aboutRow + std::min(tileColumn + 2, tileColumns), std::uint8_t{1});
            }
        }
    }
    if (static_cast<double>(apexesInWindow) > kMostApexesPerPixel * pixelsHeld) {
        return false;
    }
    const std::size_t mostOpenAbout = apexesInWindow * kMostPixelsAboutAnApex;
    std::size_t openAbout = 0;
    for (std::size_t tile = 0; tile < aboutApexes.size() && openAbout <= mostOpenAbout; ++tile) {
        if (aboutApexes[tile] == 0) {
            continue;
        }
        const int left = static_cast<int>(tile % tileColumns) * kTileSide;
        const int top = static_cast<int>(tile / tileColumns) * kTileSide;
        for (int row = top; row < std::min(top + kTileSide, height); ++row) {
            for (int column = left; column < std::min(left + kTileSide, width); ++column) {
                openAbout +=
                    marker.empty() || marker[static_cast<std::size_t>(row) * width + column] == 0;
            }
        }
    }
    return openAbout <= mostOpenAbout;
}

// How many apexes lie in the window: a pass over up to a million, on both
// threads.
std::size_t apexesIn(const ApexLayout& apexes, int width, int height) {
    std::size_t counts[kThreads] = {};
    onRuns(kThreads, apexes.x.size(), [&](int thread, std::size_t first, std::size_t end) {
        std::size_t count = 0;
        for (std::size_t site = first; site < end; ++site) {
            count += apexes.x[site] >= 0.0f && apexes.x[site] < width && apexes.y[site] >= 0.0f &&
                     apexes.y[site] < height;
        }
        counts[thread] = count;
    });
    std::size_t total = 0;
    for (const std::size_t count : counts) {
        total += count;
    }
    return total;
}

}  // namespace

struct OutlinePicture::Workspace {
    PixelLayers pixels;
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
                   OutlinePicture::Workspace& parts, std::size_t mostKeptEdges,
                   const std::atomic<bool>* cancel)
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
          settled(parts.pixels, width, height),
          mostKeptEdges(mostKeptEdges),
          cancel(cancel) {}

    void build(std::vector<std::int32_t>& winner, std::vector<float>& depth);

private:
    // The edges, where `unmarkedPixels` pixels are left to them.
    void drawEdges(std::size_t unmarkedPixels);
    // The radial edges band by band, from depth `low` on, with `unmarkedPixels`
    // pixels left to them; `crowd` as kCrowdSpacing tells.
    void radialBands(float low, double unmarkedPixels, bool crowd);
    const std::vector<OutlineSite>& sites;
    const OutlineView& view;
    ConeOutlines outlines;
    int width;
    int height;
    const std::vector<std::uint8_t>& marker;
    PixelLayers& pixels;
    ApexLayout& apexes;
    TilePyramid& tiles;
    NearSearch& nearSearch;
    TileGroups& groups;
    KeptEdges& keptEdges;
    RayCover& cover;
    EdgeWalk walker;
    SettledPixels settled;
    // Whether `groups` holds this picture's groups.
    bool grouped = false;
    std::size_t mostKeptEdges;
    // Set when the picture is no longer wanted: looked at between the
    // stages, between bands and between a band's runs of groups.
    const std::atomic<bool>* cancel;
    bool cancelled() const { return cancel && cancel->load(std::memory_order_relaxed); }
};

void PictureBuilder::build(std::vector<std::int32_t>& winner, std::vector<float>& depth) {
    const std::size_t pixelCount =
        static_cast<std::size_t>(std::max(width, 0)) * std::max(height, 0);
    pixels.clear(pixelCount);
    std::size_t markedPixels = 0;
    for (std::size_t pixel = 0; pixel < marker.size(); ++pixel) {
        if (marker[pixel]) {
            pixels.layer[0][pixel] = kMarkedKey;
            ++markedPixels;
        }
    }
    if (pixelCount > 0 && !sites.empty()) {
        drawEdges(pixelCount - markedPixels);
    }
    reserveLarge(winner, pixelCount);
    reserveLarge(depth, pixelCount);
    winner.resize(pixelCount);
    depth.resize(pixelCount);
    onRuns(kThreads, pixelCount, [&](int, std::size_t first, std::size_t end) {
        for (std::size_t pixel = first; pixel < end; ++pixel) {
            const FragmentKey held = std::min(pixels.layer[0][pixel], pixels.layer[1][pixel]);
            const FragmentKey shown = held == kMarkedKey ? emptyKey() : held;
            winner[pixel] = keySite(shown);
            depth[pixel] = keyDepth(shown);
        }
    });
}

void PictureBuilder::drawEdges(std::size_t unmarkedPixels) {
    // Where the markers cover the window, as a crowd of sites can at zoom 1
    // and up, no edge shows.
    if (unmarkedPixels == 0) {
        return;
    }
    apexes.locate(sites, outlines);
    if (!(apexes.rimReach > 0.0) || !std::isfinite(apexes.rimReach)) {
        return;
    }
    // Where markers leave few pixels among many apexes in the window, each
    // pixel looks for its nearest edges itself; elsewhere the edges are
    // followed outward from their apexes, which settles the near pixels of
    // sparse sites at less cost.
    const std::size_t apexesInWindow = apexesIn(apexes, width, height);
    const bool crowd = apexesInWindow * kCrowdSpacing * kCrowdSpacing >= unmarkedPixels;
    walker.rescanOpenTiles(crowd);
    float low = 0.0f;
    if (unmarkedPixels * 8 < apexesInWindow * 2 * kConeSlices ||
        nearAmongOpenPixels(apexes, sites.size(), marker, width, height, apexesInWindow)) {
        nearSearch.run(sites, outlines, apexes, width, height, marker, pixels.layer[0], cancel);
        low = static_cast<float>(nearSearch.settledDepth(apexes));
    }
    if (cancelled()) {
        return;
    }
    tiles.reset(width, height);
    tiles.refresh(pixels, marker, kNoPixel);  // every tile
    // Where the near search settled every radial edge, no band runs.
    if (low < kRimDepth && tiles.deepest() >= low) {
        groups.group(apexes, tiles);
        grouped = true;
        keptEdges.prepare(sites.size(), mostKeptEdges);
        cover.prepare(sites, outlines, apexes, view, width, height);
        // Each ray's cover is kept too where every ray's edges are.
        cover.startSummaries(groups.sites.size(), keptEdges.keepsAll());
        if (!cancelled()) {
            radialBands(low, static_cast<double>(unmarkedPixels), crowd);
        }
    }
    // The rims lie at depth 0.5, behind every radial edge: they show only
    // where none reaches.
    if (tiles.deepest() >= kRimDepth && !cancelled()) {
        // The groups are those of the bands, made here where no band ran.
        if (!grouped) {
            groups.group(apexes, tiles);
            grouped = true;
        }
        RimEdges({sites, outlines, apexes, tiles, groups, walker, settled}).walk();
    }
}

void PictureBuilder::radialBands(float low, double unmarkedPixels, bool crowd) {
    // Bands of depth, each reaching further than the one before: the near
    // ones settle most pixels, so that the far ones skip most of every edge.
    // The sites' spacing is that of a square lattice of as many sites as the
    // window and the ring of tiles about it hold (the groups of tiles),
    // over their pixels: a crowd just outside the window settles its corner
    // band by band too.
    const auto nearWindow = static_cast<double>(groups.start[groups.outsideFirst]);
    const double spacing =
        std::sqrt((unmarkedPixels + groups.ringPixels()) / std::max(nearWindow, 1.0));
    for (double distance = std::max(kFirstBand, kFirstBandSpacings * spacing);
         low < kRimDepth && tiles.deepest() >= low && !cancelled();
         distance *= crowd ? kCrowdBandGrowth : kBandGrowth) {
        float high = static_cast<float>(apexes.depthAt(distance));
        if (high <= low) {
            continue;
        }
        if (high >= kRimDepth) {
            high = kNothingDrawn;  // the last band takes what lies past the rims too
        }
        RadialBand band(
            {sites, outlines, apexes, tiles, groups, keptEdges, cover, walker, settled,
             crowd ? std::numeric_limits<double>::infinity() : SettledPixels::kMostColumns,
             cancel});
        if (crowd && cover.any() && distance > apexes.rimReach - kTailsBeforeRim) {
            // The bands that reach the rays' last pixels hold the tails that
            // sites ahead leave near the rays' ends. In a crowd, walked after
            // the rest, most are found settled by the edges that reach their
            // pixels from nearer apexes; elsewhere few are, and the second
            // pass over the sites costs more.
            band.run(low, high, RadialBand::Tails::Left);
            band.run(low, high, RadialBand::Tails::Only);
        } else {
            band.run(low, high);
        }
        tiles.refresh(pixels, marker, std::min(high, kRimDepth));
        low = high;
    }
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
                   work, mostKeptEdges, cancel)
        .build(winner, depth);
    if (copies) {
        for (std::int32_t& site : winner) {
            if (site >= 0) {
                site = work.original[static_cast<std::size_t>(site)];
            }
        }
    }
}
