#include "sitemap/marker_thinning.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "app/frame.h"
#include "app/keys.h"
#include "sitemap/screen_pass_drawing.h"
#include "sitemap/site_markers.h"
#include "tests/support/gl_test_window.h"
#include "tests/support/site_scenes.h"

namespace {

constexpr int kSize = 160;

int pixelsDiffering(const PixelGrid& a, const PixelGrid& b) {
    int differing = 0;
    for (int row = 0; row < kSize; ++row) {
        for (int column = 0; column < kSize; ++column) {
            differing += a.at(column, row) != b.at(column, row);
        }
    }
    return differing;
}

// The screen pass's markers (thinned where they crowd, and drawn before the
// cells where no rim strip shows) against its cells under one point per
// site, both through the real rasterizer, in views that crowd the markers,
// spread them, mirror them and cut them off at the window's edges at any
// fraction of a pixel.
TEST(MarkerThinningTest, CoversThePixelsEveryMarkerCovers) {
    openTestWindow(kSize, kSize);
    std::mt19937 random(11);
    std::uniform_real_distribution<float> magnitude(0.3f, 4.0f);
    std::uniform_real_distribution<float> place(0.0f, kSize);
    for (const std::string scene : {"dense", "line", "curves", "duplicates"}) {
        HeightMap map;
        buildScene(scene, map, kSize);
        ScreenPassDrawing screenPass;
        ASSERT_TRUE(screenPass.available());
        for (int trial = 0; trial < 40; ++trial) {
            const float zoom = (trial % 2 ? -1.0f : 1.0f) * magnitude(random);
            // A raster point somewhere in the window, so that the view cuts
            // the sites off somewhere.
            const float panX = place(random) / zoom - place(random);
            const float panY = place(random) / zoom - place(random);
            const ViewState view{zoom, panX, panY};
            SCOPED_TRACE(scene + " zoom " + std::to_string(zoom) + " pan " + std::to_string(panX) +
                         ", " + std::to_string(panY));
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            drawInView(view, [&] {
                screenPass.draw(map, kSize / 2, false);
                drawSiteMarkers(map.sites);
            });
            const PixelGrid every = PixelGrid::readBack(kSize, kSize);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            drawInView(view, [&] { screenPass.draw(map, kSize / 2, true); });
            EXPECT_EQ(pixelsDiffering(every, PixelGrid::readBack(kSize, kSize)), 0);
        }
    }
}

// Lists as extractions leave them (a sorted run each, newest first) and one
// in no order at all.
TEST(MarkerThinningTest, SortsAnyListByColumnThenHeight) {
    const auto sameOrder = [](const MarkerPoint& a, const MarkerPoint& b) {
        return a.x != b.x ? a.x < b.x : a.y < b.y;
    };
    for (const int extractions : {1, 2, 3}) {
        HeightMap map;
        SceneBuilder scene(map, 5);
        for (int extraction = 0; extraction < extractions; ++extraction) {
            for (int x = 0; x < 40; x += 1 + extraction) {
                for (int y = 0; y < 30; y += 2) {
                    scene.add(x, y);
                }
            }
        }
        if (extractions == 3) {
            scene.scatter(50, -5.0, 45.0);
        }
        std::vector<MarkerPoint> expected;
        for (const Site* site = map.sites; site; site = site->next) {
            expected.push_back({static_cast<float>(site->x), static_cast<float>(site->y)});
        }
        std::sort(expected.begin(), expected.end(), sameOrder);
        const std::vector<MarkerPoint> sorted = sortedMarkerPoints(map.sites);
        ASSERT_EQ(sorted.size(), expected.size());
        for (std::size_t index = 0; index < sorted.size(); ++index) {
            EXPECT_TRUE(sorted[index].x == expected[index].x &&
                        sorted[index].y == expected[index].y)
                << extractions << " extractions, at " << index;
        }
    }
}

TEST(MarkerThinningTest, KeepsAboutOneInNineWhereEveryPixelHasOne) {
    HeightMap map;
    buildScene("dense", map, kSize);
    const MarkerView view{1.0, 0.0, 1.0, 0.0, {0, 0, kSize, kSize}};
    std::vector<MarkerPoint> kept;
    thinMarkers(sortedMarkerPoints(map.sites), view, kept);
    EXPECT_LT(kept.size(), kSize * kSize / 6);
}

}  // namespace
