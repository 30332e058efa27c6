#include "outline/settled_pixels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "outline/apex_layout.h"
#include "outline/fragment_key.h"
#include "outline/kept_edges.h"
#include "outline/rasterizer_rules.h"
#include "outline/tile_pyramid.h"
#include "tests/support/sweep_cases.h"

namespace {

// The fragments an edge offers the window's pixels with depths in
// [low, high), the least where two edges light a pixel: pixel to key.
using Offers = std::map<std::size_t, FragmentKey>;
void addOffers(const OutlineEdgePixels& edge, int width, int height, float low, float high,
               Offers& offers) {
    if (edge.site < 0) {
        return;
    }
    for (std::int64_t major = edge.line.first; major <= edge.line.last; ++major) {
        const std::int64_t minor = edge.line.minorAt(major);
        const std::int64_t x = edge.line.xMajor ? major : minor;
        const std::int64_t y = edge.line.xMajor ? minor : major;
        const float depth = clampedDepth(edge.depthAt(major));
        if (x >= 0 && x < width && y >= 0 && y < height && depth >= low && depth < high) {
            const auto pixel = static_cast<std::size_t>(y * width + x);
            const FragmentKey offered = fragmentKey(depth, edge.site);
            const auto found = offers.find(pixel);
            offers[pixel] = found == offers.end() ? offered : std::min(found->second, offered);
        }
    }
}

// Sets what the pixel holds, in one layer or the other by the pixel, the
// other layer holding nothing drawn: a reader must take the lesser of both.
void hold(PixelLayers& pixels, std::size_t pixel, FragmentKey key) {
    pixels.layer[pixel % 2][pixel] = key;
    pixels.layer[1 - pixel % 2][pixel] = emptyKey();
}

// What a pixel holds where a part of ray `ray` from depth `low` on is to be
// passed over: less than the offered fragment by `columns` columns' depth,
// or less than `low` on a diagonal, where the rounding of the ends picks
// the axis that depth goes by.
FragmentKey heldBelow(const ApexLayout& apexes, int ray, float low, double columns,
                      FragmentKey offered) {
    const double rayX = apexes.rayX[ray];
    const double rayY = apexes.rayY[ray];
    if (std::fabs(std::fabs(rayX) - std::fabs(rayY)) < 1e-2) {
        return fragmentKey(std::nextafter(low, 0.0f), 7);
    }
    const double columnDepth =
        0.5 / (apexes.rayLength[ray] * std::max(std::fabs(rayX), std::fabs(rayY)));
    const double less = keyDepth(offered) - columns * columnDepth;
    return fragmentKey(std::max(0.0f, static_cast<float>(less)), 7);
}

// Every pixel holds `settled` but those offered a fragment, which hold what
// `held` makes of it. With one of them left just deeper than its fragment
// in turn, `isSettled` must say no; the count of lines passed over with
// none left so.
template <typename Held, typename IsSettled>
int expectEveryOfferSeen(PixelLayers& pixels, const Offers& offers, FragmentKey settled, Held held,
                         IsSettled isSettled, const std::string& what) {
    for (std::size_t pixel = 0; pixel < pixels.layer[0].size(); ++pixel) {
        hold(pixels, pixel, settled);
    }
    for (const auto& [pixel, offered] : offers) {
        hold(pixels, pixel, held(offered));
    }
    const bool passedOver = isSettled();
    for (const auto& [pixel, offered] : offers) {
        hold(pixels, pixel, offered + 1);
        EXPECT_FALSE(isSettled()) << what << ", pixel " << pixel << " left deeper";
        hold(pixels, pixel, held(offered));
    }
    return passedOver ? 1 : 0;
}

// Random sites and bands in views from far below to far above zoom 1, in
// windows of both proportions. A ray's part, or a rim edge, may be passed
// over only where every pixel its edges light there holds less than their
// fragment: one such pixel left just deeper must always be seen. And a
// part of a site in the window, short or tested at any length, is passed
// over where its pixels hold less than its fragments by a tenth of a
// column's depth, or less than the part's least depth on a diagonal.
TEST(SettledPixels, AnEdgeIsSettledOnlyWhereEveryPixelItLightsHoldsLess) {
    std::mt19937 random(23);
    const float zooms[] = {0.07f, 0.3f, 1.0f, 2.7f, -0.6f};
    const int windows[][2] = {{240, 240}, {300, 170}, {90, 260}};
    int partsPassedOver = 0;
    int rimsPassedOver = 0;
    for (const auto& window : windows) {
        const int width = window[0];
        const int height = window[1];
        for (const float zoom : zooms) {
            // Turned back into the window at a negative zoom.
            const float pan = zoom < 0 ? -static_cast<float>(kSweepEdge) : 0.0f;
            const SweepCase view{"random", zoom, pan, pan, width, height};
            const ConeOutlines outlines(view.outlineView(), kSweepEdge / 2.0f);
            // Apexes from 0.3 of the window before it to 0.3 past it.
            const float centre = (zoom > 0 ? 0.0f : kSweepEdge) + kSweepEdge / (2.0f * zoom);
            const float spread = 0.8f * kSweepEdge / std::fabs(zoom);
            std::uniform_real_distribution<float> place(centre - spread, centre + spread);
            std::vector<OutlineSite> sites;
            for (int site = 0; site < 24; ++site) {
                sites.push_back({std::round(place(random)), std::round(place(random)), 0});
            }
            ApexLayout apexes;
            apexes.locate(sites, outlines);
            PixelLayers pixels;
            pixels.clear(static_cast<std::size_t>(width) * height);
            const SettledPixels settled(pixels, width, height);
            std::uniform_real_distribution<float> depth(0.0f, 0.55f);
            for (std::size_t site = 0; site < sites.size(); ++site) {
                const double apexX = apexes.x[site];
                const double apexY = apexes.y[site];
                ConeOutlines::Cone cone;
                outlines.cone(sites[site].x, sites[site].y, cone);
                for (int ray = 0; ray < kConeSlices; ++ray) {
                    // Every third part long, the others short.
                    const float low = depth(random);
                    const float high = low + depth(random) * (ray % 3 == 0 ? 1.0f : 0.02f);
                    const std::string what = "zoom " + std::to_string(zoom) + ", site " +
                                             std::to_string(site) + ", ray " + std::to_string(ray);
                    OutlineEdgePixels inward;
                    OutlineEdgePixels outward;
                    rayEdges(outlines, cone, site, ray, inward, outward);
                    Offers offers;
                    addOffers(inward, width, height, low, high, offers);
                    addOffers(outward, width, height, low, high, offers);
                    const double rayX = apexes.rayX[ray];
                    const double rayY = apexes.rayY[ray];
                    const float lessThanLow = std::nextafter(low, 0.0f);
                    const auto held = [&](FragmentKey offered) {
                        return heldBelow(apexes, ray, low, 0.1, offered);
                    };
                    // The long parts as a crowd tests them, whatever their length.
                    const double mostColumns = ray % 3 == 0
                                                   ? std::numeric_limits<double>::infinity()
                                                   : SettledPixels::kMostColumns;
                    std::size_t columnsPassed = 0;
                    const auto partSettled = [&] {
                        return settled.along(
                            apexX, apexY, 0.0, rayX, rayY, apexes.distanceAlong(ray, low),
                            apexes.distanceAlong(ray, high), apexes.rayLength[ray], low,
                            SettledPixels::Markers::Unsettled, mostColumns, columnsPassed);
                    };
                    const int passed = expectEveryOfferSeen(
                        pixels, offers, fragmentKey(lessThanLow, 7), held, partSettled, what);
                    const bool inside =
                        apexX >= 0.0 && apexX < width && apexY >= 0.0 && apexY < height;
                    EXPECT_TRUE(passed == 1 || !inside)
                        << what << ", depths " << low << " to " << high;
                    partsPassedOver += passed;

                    // The facet's rim edge, from rim vertex ray + 1 to rim vertex ray.
                    OutlinePoint from;
                    OutlinePoint to;
                    OutlineEdgePixels rim;
                    if (!outlines.edge(cone, ray, OutlineEdge::Rim, from, to) ||
                        !rim.set(from, to)) {
                        continue;
                    }
                    rim.site = static_cast<std::int32_t>(site);
                    Offers rimOffers;
                    addOffers(rim, width, height, kRimDepth, kNothingDrawn, rimOffers);
                    const int next = (ray + 1) % kConeSlices;
                    const auto rimSettled = [&] {
                        return settled.between(
                            {apexX + apexes.rimX(next), apexY + apexes.rimY(next), kRimDepth},
                            {apexX + apexes.rimX(ray), apexY + apexes.rimY(ray), kRimDepth},
                            kRimDepth);
                    };
                    const FragmentKey lessThanRims =
                        fragmentKey(std::nextafter(kRimDepth, 0.0f), 7);
                    rimsPassedOver += expectEveryOfferSeen(
                        pixels, rimOffers, lessThanRims,
                        [lessThanRims](FragmentKey) { return lessThanRims; }, rimSettled,
                        what + ", rim");
                }
            }
        }
    }
    EXPECT_GT(partsPassedOver, 1000);
    EXPECT_GT(rimsPassedOver, 100);
}

// The same for every apex in one pixel, as a crowd's pixel is tested at
// small zooms, and in one tile, as a crowded tile's are: the parts of all
// their edges may be passed over only where every pixel any of them lights
// holds less than the least fragment offered there, and are passed over
// where each holds less by the cell's half side and a column's depth.
TEST(SettledPixels, APixelsEdgesAreSettledOnlyWhereEveryPixelTheyLightHoldsLess) {
    std::mt19937 random(29);
    const float zooms[] = {0.07f, 0.3f, 1.0f, -0.6f};
    const int width = 240;
    const int height = 170;
    // Of pixels and of tiles.
    int partsPassedOver[2] = {0, 0};
    for (const float zoom : zooms) {
        const float pan = zoom < 0 ? -static_cast<float>(kSweepEdge) : 0.0f;
        const SweepCase view{"random", zoom, pan, pan, width, height};
        const ConeOutlines outlines(view.outlineView(), kSweepEdge / 2.0f);
        // Whole raster points about a few from the middle of the raster.
        std::vector<OutlineSite> near;
        std::uniform_int_distribution<int> middle(kSweepEdge / 4, kSweepEdge * 3 / 4);
        for (int centre = 0; centre < 6; ++centre) {
            const int x = middle(random);
            const int y = middle(random);
            for (int step = 0; step < 625; ++step) {
                near.push_back({static_cast<float>(x + step % 25 - 12),
                                static_cast<float>(y + step / 25 - 12), 0});
            }
        }
        ApexLayout apexes;
        apexes.locate(near, outlines);
        PixelLayers pixels;
        pixels.clear(static_cast<std::size_t>(width) * height);
        const SettledPixels settled(pixels, width, height);
        std::uniform_real_distribution<float> depth(0.0f, 0.55f);
        for (int cell = 0; cell < 12; ++cell) {
            // The sites whose apexes lie in the pixel, or the tile, of the
            // first one's.
            const double side = cell % 2 == 0 ? 1.0 : TilePyramid::kTileSide;
            const double half = side / 2.0;
            const std::size_t first = static_cast<std::size_t>(cell / 2) * 625 + 312;
            const double cellX = std::floor(apexes.x[first] / side) * side;
            const double cellY = std::floor(apexes.y[first] / side) * side;
            std::vector<std::size_t> inPixel;
            for (std::size_t site = first - 312; site < first + 313; ++site) {
                if (std::floor(apexes.x[site] / side) * side == cellX &&
                    std::floor(apexes.y[site] / side) * side == cellY) {
                    inPixel.push_back(site);
                }
            }
            for (int ray = 0; ray < kConeSlices; ++ray) {
                const float low = depth(random);
                const float high = low + depth(random) * (ray % 3 == 0 ? 1.0f : 0.05f);
                Offers offers;
                for (const std::size_t site : inPixel) {
                    ConeOutlines::Cone cone;
                    outlines.cone(near[site].x, near[site].y, cone);
                    OutlineEdgePixels inward;
                    OutlineEdgePixels outward;
                    rayEdges(outlines, cone, site, ray, inward, outward);
                    addOffers(inward, width, height, low, high, offers);
                    addOffers(outward, width, height, low, high, offers);
                }
                const auto held = [&](FragmentKey offered) {
                    return heldBelow(apexes, ray, low, half + 0.6, offered);
                };
                const float lessThanLow = std::nextafter(low, 0.0f);
                std::size_t columnsPassed = 0;
                const auto settledFrom = [&](float from, SettledPixels::Markers markers) {
                    return settled.along(cellX + half, cellY + half, half, apexes.rayX[ray],
                                         apexes.rayY[ray], apexes.distanceAlong(ray, from),
                                         apexes.distanceAlong(ray, high), apexes.rayLength[ray],
                                         from, markers, std::numeric_limits<double>::infinity(),
                                         columnsPassed);
                };
                const auto partsSettled = [&] {
                    return settledFrom(low, SettledPixels::Markers::Settled);
                };
                const std::string what = "zoom " + std::to_string(zoom) + ", cell of side " +
                                         std::to_string(side) + " and " +
                                         std::to_string(inPixel.size()) + " apexes, ray " +
                                         std::to_string(ray);
                partsPassedOver[cell % 2] += expectEveryOfferSeen(
                    pixels, offers, fragmentKey(lessThanLow, 7), held, partsSettled, what);
                // From depth 0 on, as in the first band, markers hold less
                // than every fragment.
                for (std::size_t pixel = 0; pixel < pixels.layer[0].size(); ++pixel) {
                    hold(pixels, pixel, kMarkedKey);
                }
                EXPECT_TRUE(settledFrom(0.0f, SettledPixels::Markers::Settled)) << what;
            }
        }
    }
    EXPECT_GT(partsPassedOver[0], 50);
    EXPECT_GT(partsPassedOver[1], 50);
}

}  // namespace
