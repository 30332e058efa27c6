#include "outline/edge_walk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "outline/apex_layout.h"
#include "outline/fragment_key.h"
#include "outline/kept_edges.h"
#include "outline/rasterizer_rules.h"
#include "outline/tile_pyramid.h"

namespace {

OutlineView viewOf(int width, int height, float zoom, float panX, float panY) {
    OutlineView view{};
    view.projection[0] = 2.0f / width;
    view.projection[5] = 2.0f / height;
    view.projection[10] = -1.0f;
    view.projection[12] = -1.0f;
    view.projection[13] = -1.0f;
    view.projection[15] = 1.0f;
    view.modelview[0] = zoom;
    view.modelview[5] = zoom;
    view.modelview[10] = 1.0f;
    view.modelview[12] = zoom * panX;
    view.modelview[13] = zoom * panY;
    view.modelview[15] = 1.0f;
    view.viewport[2] = width;
    view.viewport[3] = height;
    view.bufferHeight = height;
    return view;
}

// The pixels of the window that an edge lights with depths in [low, high).
void addLitPixels(const OutlineEdgePixels& edge, int width, int height, float low, float high,
                  std::vector<std::size_t>& lit) {
    if (edge.site < 0) {
        return;
    }
    for (std::int64_t major = edge.line.first; major <= edge.line.last; ++major) {
        const std::int64_t minor = edge.line.minorAt(major);
        const std::int64_t x = edge.line.xMajor ? major : minor;
        const std::int64_t y = edge.line.xMajor ? minor : major;
        const float depth = clampedDepth(edge.depthAt(major));
        if (x >= 0 && x < width && y >= 0 && y < height && depth >= low && depth < high) {
            lit.push_back(static_cast<std::size_t>(y * width + x));
        }
    }
}

// Random sites and bands in views from far below to far above zoom 1, in
// windows of both proportions. A ray's part may be passed over only where
// every pixel its two edges light there holds less than the part's least
// depth: one such pixel left deeper must always be seen. And with every
// pixel settled, a short part of a site in the window is passed over.
TEST(EdgeWalk, APartIsSettledOnlyWhereEveryPixelItLightsHoldsLess) {
    std::mt19937 random(23);
    const float zooms[] = {0.07f, 0.3f, 1.0f, 2.7f, -0.6f};
    const int windows[][2] = {{240, 240}, {300, 170}, {90, 260}};
    int passedOver = 0;
    for (const auto& window : windows) {
        const int width = window[0];
        const int height = window[1];
        for (const float zoom : zooms) {
            const float radius = 0.5f * static_cast<float>(std::min(width, height));
            std::uniform_real_distribution<float> place(-0.3f * width / std::fabs(zoom),
                                                        1.3f * width / std::fabs(zoom));
            const OutlineView view =
                viewOf(width, height, zoom, zoom < 0 ? -width : 0.0f, zoom < 0 ? -height : 0.0f);
            const ConeOutlines outlines(view, radius);
            std::vector<OutlineSite> sites;
            for (int site = 0; site < 24; ++site) {
                sites.push_back({std::round(place(random)), std::round(place(random)), 0});
            }
            ApexLayout apexes;
            apexes.locate(sites, outlines);
            std::vector<FragmentKey> pixels(static_cast<std::size_t>(width) * height);
            TilePyramid tiles;
            tiles.reset(width, height);
            const EdgeWalk walker(pixels, tiles, width, height);
            std::uniform_real_distribution<float> depth(0.0f, 0.55f);
            // Every third part long, the others short.
            for (std::size_t site = 0; site < sites.size(); ++site) {
                ConeOutlines::Cone cone;
                outlines.cone(sites[site].x, sites[site].y, cone);
                for (int ray = 0; ray < kConeSlices; ++ray) {
                    const float low = depth(random);
                    const float high = low + depth(random) * (ray % 3 == 0 ? 1.0f : 0.05f);
                    OutlineEdgePixels inward;
                    OutlineEdgePixels outward;
                    rayEdges(outlines, cone, site, ray, inward, outward);
                    std::vector<std::size_t> lit;
                    addLitPixels(inward, width, height, low, high, lit);
                    addLitPixels(outward, width, height, low, high, lit);
                    std::fill(pixels.begin(), pixels.end(),
                              fragmentKey(std::nextafter(low, 0.0f), 7));
                    const auto settled = [&] {
                        return walker.settledAlong(apexes.x[site], apexes.y[site], apexes.rayX[ray],
                                                   apexes.rayY[ray], apexes.distanceAlong(ray, low),
                                                   apexes.distanceAlong(ray, high),
                                                   apexes.rayLength[ray], low);
                    };
                    const bool inside = apexes.x[site] >= 0.0f && apexes.x[site] < width &&
                                        apexes.y[site] >= 0.0f && apexes.y[site] < height;
                    if (inside && ray % 3 != 0) {
                        EXPECT_TRUE(settled()) << "zoom " << zoom << ", site " << site << ", ray "
                                               << ray << ", depths " << low << " to " << high;
                    }
                    passedOver += settled() ? 1 : 0;
                    for (const std::size_t pixel : lit) {
                        pixels[pixel] = fragmentKey(low, 9);
                        ASSERT_FALSE(settled())
                            << "zoom " << zoom << ", site " << site << ", ray " << ray
                            << ", depths " << low << " to " << high << ", pixel " << pixel % width
                            << ", " << pixel / width << " left deeper";
                        pixels[pixel] = fragmentKey(std::nextafter(low, 0.0f), 7);
                    }
                }
            }
        }
    }
    EXPECT_GT(passedOver, 1000);
}

}  // namespace
