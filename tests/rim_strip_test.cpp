#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/frame.h"
#include "app/keys.h"
#include "sitemap/height_map.h"
#include "tests/support/gl_test_window.h"
#include "tests/support/site_scenes.h"

namespace {

constexpr int kSize = 160;

// One cone's rim, zoomed until the rim band is many pixels deep, and until
// the last bits of its vertices move its outline across pixel centres, the
// window's middle on each rim vertex in turn: the screen pass's rim strips
// light the pixels the full cone lights.
TEST(RimStripTest, OutlineTheFullConesRimPixelForPixel) {
    openTestWindow(kSize, kSize);
    HeightMap map;
    map.size = kSize;
    SceneBuilder(map, 1).add(71.25, 83.5);
    const double radius = kSize / 2;
    for (const float zoom : {40.0f, 3000.0f, 20000.0f}) {
        for (int vertex = 0; vertex < 32; ++vertex) {
            const double angle = 2.0 * 3.14159265358979323846 * vertex / 32;
            const ViewState view{
                zoom, static_cast<float>(kSize / 2 / zoom - 71.25 - radius * std::cos(angle)),
                static_cast<float>(kSize / 2 / zoom - 83.5 - radius * std::sin(angle))};
            drawFrame(map, view);
            const PixelGrid cone = PixelGrid::readBack(kSize, kSize);
            FrameRenderer screenPass(SliceBudget::kDefaultBudgetMs, 0);
            screenPass.drawFrame(map, view, ConeDrawing::Fast);
            ASSERT_EQ(screenPass.lastFilledPath(), FilledDrawingPath::ScreenPass);
            const PixelGrid strips = PixelGrid::readBack(kSize, kSize);
            int differing = 0;
            int lit = 0;
            for (int row = 0; row < kSize; ++row) {
                for (int column = 0; column < kSize; ++column) {
                    differing += strips.at(column, row) != cone.at(column, row);
                    lit += cone.at(column, row) != backgroundColour();
                }
            }
            EXPECT_EQ(differing, 0) << "zoom " << zoom << ", vertex " << vertex << ", lit " << lit;
        }
    }
}

}  // namespace
