#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "app/callbacks.h"
#include "app/frame.h"
#include "app/globals.h"
#include "app/keys.h"
#include "sitemap/height_map.h"
#include "tests/support/gl_test_window.h"
#include "tests/support/pixel_checks.h"
#include "tests/support/site_list.h"

namespace {

constexpr int kEdge = 996;
constexpr int kRadius = kEdge / 2;
constexpr double kPi = 3.14159265358979323846;
constexpr int kSlices = 32;

const Rgb kOlive{120, 140, 30};
const Rgb kPlum{140, 40, 110};

// How far (dx, dy) from a site lies inside the 32-sided rim of a cone of the
// given radius, negative outside. GLUT puts a rim vertex on the +x axis and
// the others every 2pi/32, so facet k faces the direction (k + 0.5) 2pi/32.
double insideRim(double dx, double dy, double radius) {
    static const std::array<std::array<double, 2>, kSlices> facing = [] {
        std::array<std::array<double, 2>, kSlices> directions{};
        for (int facet = 0; facet < kSlices; ++facet) {
            const double angle = (facet + 0.5) * 2.0 * kPi / kSlices;
            directions[facet] = {std::cos(angle), std::sin(angle)};
        }
        return directions;
    }();
    double reach = -std::numeric_limits<double>::infinity();
    for (const auto& direction : facing) {
        reach = std::max(reach, dx * direction[0] + dy * direction[1]);
    }
    return radius * std::cos(kPi / kSlices) - reach;
}

// Expects the picture of one site whose cone, at the view's zoom and pan, is
// a 32-gon of the radius in raster units: its colour clearly inside, the
// background clearly outside, red on the marker square.
void expectOneCone(const PixelGrid& grid, int siteX, int siteY, const Rgb& colour, double zoom,
                   double panX, double panY) {
    const int markerX = static_cast<int>(zoom * (siteX + panX));
    const int markerY = static_cast<int>(zoom * (siteY + panY));
    // One window pixel either side of the rim may go either way.
    const double slack = 1.0 / std::abs(zoom);
    PixelMismatches mismatches;
    int coloured = 0;
    for (int row = 0; row < grid.height(); ++row) {
        for (int column = 0; column < grid.width(); ++column) {
            const Rgb seen = grid.at(column, row);
            if (inMarkerSquare(column, row, markerX, markerY)) {
                mismatches.expect(seen == kMarkerRed, column, row, seen, "marker red");
                continue;
            }
            const double rasterX = (column + 0.5) / zoom - panX;
            const double rasterY = (row + 0.5) / zoom - panY;
            const double inside = insideRim(rasterX - siteX, rasterY - siteY, kRadius);
            if (inside > slack) {
                mismatches.expect(seen == colour, column, row, seen, describe(colour));
                ++coloured;
            } else if (inside < -slack) {
                mismatches.expect(seen == backgroundColour(), column, row, seen, "background");
            }
        }
    }
    EXPECT_EQ(mismatches.count(), 0) << mismatches.summary();
    EXPECT_GT(coloured, 0);
}

int countColour(const PixelGrid& grid, const Rgb& colour) {
    int count = 0;
    for (int row = 0; row < grid.height(); ++row) {
        for (int column = 0; column < grid.width(); ++column) {
            count += grid.at(column, row) == colour ? 1 : 0;
        }
    }
    return count;
}

std::array<GLfloat, 16> modelview() {
    std::array<GLfloat, 16> matrix{};
    glGetFloatv(GL_MODELVIEW_MATRIX, matrix.data());
    return matrix;
}

const std::array<GLfloat, 16> kIdentity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

class DrawCones : public ::testing::Test {
protected:
    void SetUp() override {
        openTestWindow(kEdge, kEdge);
        map.size = kEdge;
    }

    PixelGrid drawAndReadBack(int radius, bool markSites) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        map.drawCones(radius, markSites);
        return PixelGrid::readBack(kEdge, kEdge);
    }

    HeightMap map;
};

TEST_F(DrawCones, EmptyListLeavesTheBackground) {
    const PixelGrid grid = drawAndReadBack(kRadius, true);

    EXPECT_EQ(countColour(grid, backgroundColour()), kEdge * kEdge);
}

TEST_F(DrawCones, OneSiteAtTheCentreIsA32GonOfTheRadiusWithARedSquare) {
    addSite(map, 498, 498, kOlive);

    const PixelGrid grid = drawAndReadBack(kRadius, true);

    expectOneCone(grid, 498, 498, kOlive, 1, 0, 0);
    EXPECT_EQ(countColour(grid, kMarkerRed), 16);
    for (const auto& [column, row] :
         {std::array<int, 2>{0, 0}, {kEdge - 1, 0}, {0, kEdge - 1}, {kEdge - 1, kEdge - 1}}) {
        EXPECT_EQ(grid.at(column, row), backgroundColour()) << column << ", " << row;
    }
}

TEST_F(DrawCones, TwoSitesSplitAlongTheirBisector) {
    const int aX = 300, aY = 420, bX = 640, bY = 560;
    addSite(map, aX, aY, kOlive);
    addSite(map, bX, bY, kPlum);

    const PixelGrid grid = drawAndReadBack(kRadius, true);

    const double facetFactor = 1.0 / std::cos(kPi / kSlices);
    const double innerRadius = kRadius * std::cos(kPi / kSlices) - 1;
    PixelMismatches mismatches;
    for (int row = 0; row < kEdge; ++row) {
        for (int column = 0; column < kEdge; ++column) {
            if (inMarkerSquare(column, row, aX, aY) || inMarkerSquare(column, row, bX, bY)) {
                continue;
            }
            const Rgb seen = grid.at(column, row);
            const double toA = std::hypot(column + 0.5 - aX, row + 0.5 - aY);
            const double toB = std::hypot(column + 0.5 - bX, row + 0.5 - bY);
            if (toA * facetFactor + 1 < toB && toA < innerRadius) {
                mismatches.expect(seen == kOlive, column, row, seen, "the first site");
            } else if (toB * facetFactor + 1 < toA && toB < innerRadius) {
                mismatches.expect(seen == kPlum, column, row, seen, "the second site");
            } else if (std::min(toA, toB) > kRadius + 1) {
                mismatches.expect(seen == backgroundColour(), column, row, seen, "background");
            } else {
                mismatches.expect(seen == kOlive || seen == kPlum || seen == backgroundColour(),
                                  column, row, seen, "either site or background");
            }
        }
    }
    EXPECT_EQ(mismatches.count(), 0) << mismatches.summary();
}

TEST_F(DrawCones, DuplicateSitesShowTheColourOfTheOneAddedFirst) {
    addSite(map, 500, 480, kOlive);
    addSite(map, 500, 480, kPlum);

    const PixelGrid grid = drawAndReadBack(kRadius, true);

    expectOneCone(grid, 500, 480, kOlive, 1, 0, 0);
    EXPECT_EQ(countColour(grid, kPlum), 0);
}

TEST_F(DrawCones, RadiusZeroShowsOnlyTheMarkers) {
    const std::array<std::array<int, 2>, 3> places{{{100, 100}, {500, 700}, {900, 300}}};
    for (const auto& [x, y] : places) {
        addSite(map, x, y, kOlive);
    }

    const PixelGrid grid = drawAndReadBack(0, true);

    PixelMismatches mismatches;
    for (int row = 0; row < kEdge; ++row) {
        for (int column = 0; column < kEdge; ++column) {
            bool marked = false;
            for (const auto& [x, y] : places) {
                marked = marked || inMarkerSquare(column, row, x, y);
            }
            const Rgb seen = grid.at(column, row);
            mismatches.expect(seen == (marked ? kMarkerRed : backgroundColour()), column, row, seen,
                              marked ? "marker red" : "background");
        }
    }
    EXPECT_EQ(mismatches.count(), 0) << mismatches.summary();
}

TEST_F(DrawCones, EveryMarkerSurvivesTheConesDrawnAfterIt) {
    // Drawn last, the first site's cone covers the second site's marker.
    addSite(map, 400, 400, kOlive);
    addSite(map, 420, 410, kPlum);

    const PixelGrid grid = drawAndReadBack(kRadius, true);

    for (const auto& [x, y] : {std::array<int, 2>{400, 400}, {420, 410}}) {
        for (int row = y - 2; row <= y + 1; ++row) {
            for (int column = x - 2; column <= x + 1; ++column) {
                EXPECT_EQ(grid.at(column, row), kMarkerRed) << column << ", " << row;
            }
        }
    }
    EXPECT_EQ(countColour(grid, kMarkerRed), 32);
}

TEST_F(DrawCones, WithoutMarkersDrawsNoPointAndLeavesTheDepthFunction) {
    addSite(map, 498, 498, kOlive);
    glDepthFunc(GL_LESS);

    const PixelGrid grid = drawAndReadBack(kRadius, false);

    GLint depthFunction = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunction);
    glDepthFunc(GL_LEQUAL);
    EXPECT_EQ(depthFunction, GL_LESS);
    EXPECT_EQ(countColour(grid, kMarkerRed), 0);
    EXPECT_EQ(grid.at(498, 498), kOlive);
}

TEST_F(DrawCones, LeavesTheModelviewAndTheDepthFunctionAsFound) {
    addSite(map, 100, 200, kOlive);
    addSite(map, 300, 250, kPlum);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glTranslatef(12.0f, -7.0f, 0.0f);
    glScalef(1.5f, 1.5f, 1.0f);
    const std::array<GLfloat, 16> before = modelview();

    map.drawCones(kRadius, true);

    GLint depthFunction = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunction);
    EXPECT_EQ(modelview(), before);
    EXPECT_EQ(depthFunction, GL_LEQUAL);
    glLoadIdentity();
}

class DrawFrame : public DrawCones {
protected:
    PixelGrid drawFrameAndReadBack(const ViewState& view) {
        drawFrame(map, view);
        return PixelGrid::readBack(kEdge, kEdge);
    }
};

TEST_F(DrawFrame, ZoomTwoWithPanMovesARasterPointToTwiceItPlusTwiceThePan) {
    addSite(map, 100, 150, kOlive);

    const PixelGrid grid = drawFrameAndReadBack({2.0f, 10.0f, -5.0f});

    // Raster (100, 150) lands on window (220, 290).
    expectOneCone(grid, 100, 150, kOlive, 2, 10, -5);
    EXPECT_EQ(countColour(grid, kMarkerRed), 16);
    EXPECT_EQ(grid.at(220, 290), kMarkerRed);
}

TEST_F(DrawFrame, NegativeZoomTurnsThePictureHalfwayAboutTheLowerLeftCorner) {
    addSite(map, 100, 150, kOlive);
    // The half turn keeps the facets' winding, so culling back faces hides nothing.
    glEnable(GL_CULL_FACE);

    const PixelGrid grid = drawFrameAndReadBack({-2.0f, -400.0f, -300.0f});
    glDisable(GL_CULL_FACE);

    // Raster (100, 150) lands on window (600, 300).
    expectOneCone(grid, 100, 150, kOlive, -2, -400, -300);
    EXPECT_EQ(grid.at(600, 300), kMarkerRed);
}

TEST_F(DrawFrame, EmptyListGivesTheBackgroundOverAnyEarlierPicture) {
    addSite(map, 498, 498, kOlive);
    drawFrame(map, {1.0f, 0.0f, 0.0f});
    HeightMap empty;
    empty.size = kEdge;

    drawFrame(empty, {1.0f, 0.0f, 0.0f});

    EXPECT_EQ(countColour(PixelGrid::readBack(kEdge, kEdge), backgroundColour()), kEdge * kEdge);
}

TEST_F(DrawFrame, LeavesTheModelviewIdentity) {
    addSite(map, 100, 150, kOlive);
    glTranslatef(5.0f, 5.0f, 0.0f);

    drawFrame(map, {2.0f, 10.0f, -5.0f});

    EXPECT_EQ(modelview(), kIdentity);
}

class DisplayCallback : public DrawCones {
protected:
    void SetUp() override {
        DrawCones::SetUp();
        g_heightMap = &map;
    }
    void TearDown() override {
        g_heightMap = nullptr;
        g_zoom = 1.0f;
        g_panX = 0.0f;
        g_panY = 0.0f;
    }
};

TEST_F(DisplayCallback, ShowsTheFrameAndLeavesTheModelviewIdentity) {
    addSite(map, 123, 456, kOlive);
    g_zoom = 2.0f;
    g_panX = 10.0f;
    g_panY = -5.0f;

    display();

    EXPECT_EQ(modelview(), kIdentity);
    // This renderer swaps by copying, so the back buffer still holds the frame shown.
    const PixelGrid shown = PixelGrid::readBack(kEdge, kEdge);
    // Raster (123, 456) lands on window (266, 902).
    EXPECT_EQ(shown.at(266, 902), kMarkerRed);
    EXPECT_EQ(shown.at(266 + 300, 902 - 300), kOlive);
    EXPECT_EQ(countColour(shown, kMarkerRed), 16);
}

int displayCalls = 0;

// The extractions end by asking GLUT for a frame of the current window.
class ExtractionRedisplay : public ::testing::Test {
protected:
    void SetUp() override {
        openTestWindow(kEdge, kEdge);
        glutDisplayFunc([] { ++displayCalls; });
        glutMainLoopEvent();
        displayCalls = 0;
    }
    void TearDown() override {
        glutDisplayFunc([] {});
    }
};

TEST_F(ExtractionRedisplay, EveryExtractionAsksForOneFrameEvenWithoutARaster) {
    HeightMap map;

    map.extractBinary(255, 1);
    glutMainLoopEvent();
    EXPECT_EQ(displayCalls, 1);

    map.extractRange(230, 255);
    glutMainLoopEvent();
    EXPECT_EQ(displayCalls, 2);
}

}  // namespace
