#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "app/keys.h"
#include "app/view_transform.h"
#include "drawing/screen_pass_drawing.h"
#include "outline/marker_cover.h"
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

// The screen pass's markers (lit from their cover, before the cells where no
// rim strip shows and within them where one does) against its cells under
// one GL point per site, in views that crowd the markers, spread them,
// mirror them and cut them off at the window's edges at any fraction of a
// pixel.
TEST(MarkerCoverTest, LightsWhatTheSitesPointsLight) {
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

// The pixels the context's own points light against the cover of the same
// points, under the view, in either order; each pixel counts for each.
int coverDiffering(const ViewState& view, std::vector<MarkerPoint> points) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    OutlineView outlineView{};
    drawInView(view, [&] {
        glGetFloatv(GL_MODELVIEW_MATRIX, outlineView.modelview);
        glGetFloatv(GL_PROJECTION_MATRIX, outlineView.projection);
        glGetIntegerv(GL_VIEWPORT, outlineView.viewport);
        glColor3ub(255, 0, 0);
        glBegin(GL_POINTS);
        for (const MarkerPoint& point : points) {
            glVertex2f(point.x, point.y);
        }
        glEnd();
    });
    outlineView.bufferHeight = kSize;
    std::sort(points.begin(), points.end(), [](const MarkerPoint& a, const MarkerPoint& b) {
        return a.x != b.x ? a.x < b.x : a.y < b.y;
    });
    // Sorted both ways: the sites' lists run down the columns.
    MarkerCover cover;
    cover.compute(points, outlineView, kSize, kSize);
    std::reverse(points.begin(), points.end());
    MarkerCover reversed;
    reversed.compute(points, outlineView, kSize, kSize);
    const PixelGrid drawn = PixelGrid::readBack(kSize, kSize);
    int differing = 0;
    for (int row = 0; row < kSize; ++row) {
        for (int column = 0; column < kSize; ++column) {
            const bool red = drawn.at(column, row) == Rgb{255, 0, 0};
            differing += (red != cover.lit(column, kSize - 1 - row)) +
                         (red != reversed.lit(column, kSize - 1 - row));
        }
    }
    return differing;
}

// Points on the rasterizer's ties and beside them, where a rounding rule
// decides which four rows or columns a marker lights, in views that scale
// and mirror the raster; also points outside the view, which light nothing.
// Then enough points anywhere for the cover to take two threads, and columns
// of points a unit apart.
TEST(MarkerCoverTest, DecidesTiesAsTheRasterizerDoes) {
    openTestWindow(kSize, kSize);
    const float fractions[] = {0.0f,
                               0.5f,
                               0.5f + 1.0f / 512.0f,
                               0.5f - 1.0f / 512.0f,
                               1.0f / 512.0f,
                               1.0f - 1.0f / 512.0f};
    for (const ViewState view : {ViewState{1.0f, 0.0f, 0.0f}, ViewState{0.5f, 3.0f, 0.0f},
                                 ViewState{-2.0f, -kSize / 2.0f, -kSize / 2.0f}}) {
        SCOPED_TRACE("zoom " + std::to_string(view.zoom));
        std::vector<MarkerPoint> points;
        for (int across = -1; across <= 19; ++across) {
            for (int up = -1; up <= 19; ++up) {
                const float windowX = 8.0f * across + fractions[(across + 6) % 6];
                const float windowY = 8.0f * up + fractions[(up + 1) % 6];
                points.push_back(
                    {windowX / view.zoom - view.panX, windowY / view.zoom - view.panY});
            }
        }
        EXPECT_EQ(coverDiffering(view, points), 0);
    }
    std::mt19937 random(3);
    std::uniform_int_distribution<int> place(-4 * 512, (kSize + 4) * 512);
    std::vector<MarkerPoint> many(70000);
    for (MarkerPoint& point : many) {
        point = {place(random) / 512.0f, place(random) / 512.0f};
    }
    EXPECT_EQ(coverDiffering({1.3f, -7.0f, 2.5f}, many), 0);
    // Columns of points a unit apart, which run out of the window or end in it.
    std::vector<MarkerPoint> columns;
    for (int column = -3; column < kSize + 3; column += 7) {
        const int bottom = column % 2 == 0 ? -300 : 20;
        for (int up = bottom; up < -bottom + 80; ++up) {
            columns.push_back({static_cast<float>(column), static_cast<float>(up)});
        }
    }
    EXPECT_EQ(coverDiffering({1.3f, -7.0f, 2.5f}, columns), 0);
    EXPECT_EQ(coverDiffering({-2.9f, -kSize / 2.0f, -kSize / 3.0f}, columns), 0);
}

// How many primitives the screen pass's filled frame with markers sends.
GLuint64 primitivesDrawn(ScreenPassDrawing& screenPass, const HeightMap& map) {
    GLuint query = 0;
    glGenQueries(1, &query);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBeginQuery(GL_PRIMITIVES_GENERATED, query);
    drawInView({1.0f, 0.0f, 0.0f}, [&] { screenPass.draw(map, kSize / 2, true); });
    glEndQuery(GL_PRIMITIVES_GENERATED);
    GLuint64 primitives = 0;
    glGetQueryObjectui64v(query, GL_QUERY_RESULT, &primitives);
    glDeleteQueries(1, &query);
    return primitives;
}

// A viewport under 32 pixels at the first frame leaves the check of the
// context's points pending: the markers go to GL as points, a primitive
// each, and once the window is large enough they are lit from their cover.
// Where the context's points light otherwise (here they light nothing),
// they stay points.
TEST(MarkerCoverTest, IsCheckedOnceTheViewportHoldsTheCheck) {
    HeightMap map;
    buildScene("dense", map, kSize);
    for (const bool differs : {false, true}) {
        SCOPED_TRACE(differs ? "the context differs" : "the context agrees");
        // A window that shrank, as the program's may: one made this small
        // keeps a buffer that small for the context until its buffers are
        // swapped, which the tests' window never does.
        openTestWindow(kSize, kSize);
        ScreenPassDrawing screenPass;
        openTestWindow(20, 20);
        EXPECT_GE(primitivesDrawn(screenPass, map), static_cast<GLuint64>(map.siteCount));
        openTestWindow(kSize, kSize);
        glPushAttrib(GL_COLOR_BUFFER_BIT);
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glColorMask(!differs, !differs, !differs, !differs);
        primitivesDrawn(screenPass, map);
        glPopAttrib();
        EXPECT_EQ(primitivesDrawn(screenPass, map) < static_cast<GLuint64>(map.siteCount),
                  !differs);
    }
}

}  // namespace
