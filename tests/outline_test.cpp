#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/frame.h"
#include "app/keys.h"
#include "drawing/outline_drawing.h"
#include "outline/rasterizer_rules.h"
#include "sitemap/height_map.h"
#include "tests/support/gl_test_window.h"
#include "tests/support/site_scenes.h"

namespace {

constexpr int kSize = 160;

using Pixels = std::set<std::pair<long, long>>;

// The pixels GL lights for a line given in raster coordinates (y down): drawn
// through a viewport of 2048 pixels about the window's corner, where the
// coordinates reach the rasterizer exactly as given.
Pixels drawnLine(float fromX, float fromY, float toX, float toY) {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glViewport(-1024, -1024, 2048, 2048);
    glDisable(GL_DEPTH_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3ub(255, 255, 255);
    glBegin(GL_LINES);
    glVertex2f(fromX / 1024.0f, (kSize - fromY) / 1024.0f);
    glVertex2f(toX / 1024.0f, (kSize - toY) / 1024.0f);
    glEnd();
    const PixelGrid grid = PixelGrid::readBack(kSize, kSize);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
    Pixels lit;
    for (int row = 0; row < kSize; ++row) {
        for (int column = 0; column < kSize; ++column) {
            if (grid.at(column, row)[0] != 0) {
                lit.insert({column, kSize - 1 - row});
            }
        }
    }
    return lit;
}

Pixels ruledLine(float fromX, float fromY, float toX, float toY) {
    const RasterLine line = rasterLine(fromX, fromY, toX, toY);
    Pixels lit;
    for (std::int64_t major = line.first; major <= line.last; ++major) {
        const std::int64_t minor = line.minorAt(major);
        const long x = static_cast<long>(line.xMajor ? major : minor);
        const long y = static_cast<long>(line.xMajor ? minor : major);
        if (x >= 0 && x < kSize && y >= 0 && y < kSize) {
            lit.insert({x, y});
        }
    }
    return lit;
}

class OutlineTest : public ::testing::Test {
protected:
    void SetUp() override { openTestWindow(kSize, kSize); }
};

// Ends anywhere in a pixel, on its centre, its edges and corners, at
// diagonals and with fractions the cones' rim vertices have: the rule the
// outlines follow lights the pixels the rasterizer lights.
TEST_F(OutlineTest, TheLineRuleLightsThePixelsTheRasterizerLights) {
    struct Kind {
        const char* name;
        double grid;  // ends rounded to 1 / grid of a pixel; 0 leaves them as floats
        bool diagonal;
    };
    const Kind kinds[] = {{"anywhere", 0, false},       {"on 1/256", 256, false},
                          {"on half pixels", 2, false}, {"on quarter pixels", 4, false},
                          {"diagonal", 4, true},        {"on whole pixels", 1, false}};
    std::mt19937 random(18);
    std::uniform_real_distribution<double> position(8.0, kSize - 8.0);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (const Kind& kind : kinds) {
        int wrong = 0;
        for (int line = 0; line < 150; ++line) {
            const auto snap = [&](double value) {
                return static_cast<float>(kind.grid > 0 ? std::round(value * kind.grid) / kind.grid
                                                        : value);
            };
            const double x = position(random);
            const double y = position(random);
            const double length = unit(random) < 0.3 ? 6.0 * unit(random) : 70.0 * unit(random);
            const double angle = 2.0 * 3.14159265358979 * unit(random);
            double toX = x + length * std::cos(angle);
            double toY = y + length * std::sin(angle);
            if (kind.diagonal) {
                toX = x + (unit(random) < 0.5 ? -length : length);
                toY = y + (unit(random) < 0.5 ? -length : length);
            }
            const float ends[4] = {snap(x), snap(y), snap(std::clamp(toX, 2.0, kSize - 2.0)),
                                   snap(std::clamp(toY, 2.0, kSize - 2.0))};
            wrong += drawnLine(ends[0], ends[1], ends[2], ends[3]) !=
                     ruledLine(ends[0], ends[1], ends[2], ends[3]);
        }
        EXPECT_EQ(wrong, 0) << kind.name;
    }
}

// The benchmark's zoom with a pan, scaled to this window: it cuts most
// edges at the window's border.
const ViewState kZoomedAndPanned = {3.7f, -48.2f, -32.1f};

// The window's wire-frame frame and the full cones in one pass.
std::pair<PixelGrid, PixelGrid> outlinesAndFullCones(HeightMap& map, const ViewState& view) {
    glEnable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT, GL_LINE);
    FrameRenderer window;
    window.renderFinished(map, view);
    PixelGrid outlines = PixelGrid::readBack(kSize, kSize);
    drawFrame(map, view);
    PixelGrid cones = PixelGrid::readBack(kSize, kSize);
    glPolygonMode(GL_FRONT, GL_FILL);
    glDisable(GL_CULL_FACE);
    return {outlines, cones};
}

// Zoomed and panned, cones whose edges leave the view volume at both ends:
// the clipper cuts the second end from the first end's cut, so the order of
// its planes moves the ends in their last bits, and where the line passes
// within a ten-thousandth of a pixel of the middle of two pixel centres,
// that decides which one it lights.
TEST_F(OutlineTest, EdgesCutAtBothEndsLightWhatTheClipperLeaves) {
    for (const auto& [x, y] : {std::pair{55, 7}, std::pair{99, 44}, std::pair{26, 53}}) {
        HeightMap map;
        map.size = kSize;
        SceneBuilder(map, 1).add(x, y);
        const auto [outlines, cones] = outlinesAndFullCones(map, kZoomedAndPanned);
        int differing = 0;
        for (int row = 0; row < kSize; ++row) {
            for (int column = 0; column < kSize; ++column) {
                differing += outlines.at(column, row) != cones.at(column, row);
            }
        }
        EXPECT_EQ(differing, 0) << "site " << x << ", " << y;
        map.resetSites();
    }
}

// The window's context is the one the outline picture is made for: with the
// state key v leaves, its check of a few cones and markers passes, so that
// wire-frame frames are worked out rather than drawn slice by slice. A
// window too small for the check at the first picture (under 16 pixels for
// the cones, under 32 for the markers) gets the full cones until it is
// enlarged, and then the outlines. A context that draws otherwise than
// predicted (here it draws nothing) gets the full cones for good.
TEST_F(OutlineTest, TheContextDrawsOutlinesAndMarkersAsPredicted) {
    const auto wireFrame = [](bool on) {
        if (on) {
            glEnable(GL_CULL_FACE);
        } else {
            glDisable(GL_CULL_FACE);
        }
        glPolygonMode(GL_FRONT, on ? GL_LINE : GL_FILL);
    };
    for (const int first : {10, 20, kSize}) {
        SCOPED_TRACE("first " + std::to_string(first) + " pixels");
        openTestWindow(first, first);
        wireFrame(true);
        OutlineDrawing drawing;
        EXPECT_EQ(drawing.usable(), first == kSize);
        openTestWindow(kSize, kSize);
        wireFrame(true);
        EXPECT_TRUE(drawing.usable());
        wireFrame(false);
    }
    wireFrame(true);
    OutlineDrawing drawing;
    glPushAttrib(GL_COLOR_BUFFER_BIT);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    EXPECT_FALSE(drawing.usable());
    glPopAttrib();
    EXPECT_FALSE(drawing.usable());
    wireFrame(false);
}

}  // namespace
