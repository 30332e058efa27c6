#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "app/keys.h"
#include "app/view_transform.h"
#include "drawing/screen_pass_drawing.h"
#include "sitemap/height_map.h"
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

}  // namespace
