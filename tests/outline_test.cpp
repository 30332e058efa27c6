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

struct TestView {
    const char* name;
    ViewState view;
};

// The benchmark's views, scaled to this window: a zoom with a pan that cuts
// most edges at the window's border, a shrunk raster, a half turn.
const TestView kViews[] = {{"zoom 1", {1.0f, 0.0f, 0.0f}},
                           {"zoom 3.7, panned", {3.7f, -48.2f, -32.1f}},
                           {"zoom 0.5", {0.5f, 0.0f, 0.0f}},
                           {"half turn", {-1.0f, -kSize, -kSize}}};

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

// The depths at which a site's edges may reach a pixel centre (window
// coordinates): those of its radial edges that pass within three quarters of
// a pixel, each the centre's offset from the apex along the edge's major axis
// over the edge's length on that axis, halved, as the cones' depth runs; and
// 0.5 near its rim.
std::vector<double> edgeDepths(const Site& site, const ViewState& view, double x, double y) {
    const double apexX = view.zoom * (site.x + view.panX);
    const double apexY = view.zoom * (site.y + view.panY);
    std::vector<double> depths;
    for (int vertex = 0; vertex < 32; ++vertex) {
        const double angle = -2.0 * 3.14159265358979 * vertex / 32;
        const double dx = view.zoom * (kSize / 2) * std::cos(angle);
        const double dy = view.zoom * (kSize / 2) * std::sin(angle);
        const double length = std::hypot(dx, dy);
        const double across = std::fabs((x - apexX) * dy - (y - apexY) * dx) / length;
        const double along = ((x - apexX) * dx + (y - apexY) * dy) / length;
        if (across <= 0.75 && along > -0.75) {
            // A diagonal edge's major axis is a matter of its ends' last bits.
            const bool diagonal = std::fabs(std::fabs(dx) - std::fabs(dy)) < 1e-6 * length;
            if (diagonal || std::fabs(dx) >= std::fabs(dy)) {
                depths.push_back(0.5 * (x - apexX) / dx);
            }
            if (diagonal || std::fabs(dx) < std::fabs(dy)) {
                depths.push_back(0.5 * (y - apexY) / dy);
            }
        }
    }
    // The rim's edges, at depth 0.5, between the rim vertices' circle and
    // the facets' chords.
    const double radius = std::fabs(view.zoom) * (kSize / 2);
    const double distance = std::hypot(x - apexX, y - apexY);
    if (distance > radius * std::cos(3.14159265358979 / 32) - 0.75 && distance < radius + 0.75) {
        depths.push_back(0.5);
    }
    return depths;
}

const Site* siteOfColour(const HeightMap& map, const Rgb& colour) {
    for (const Site* site = map.sites; site; site = site->next) {
        if (site->r == colour[0] && site->g == colour[1] && site->b == colour[2]) {
            return site;
        }
    }
    return nullptr;
}

// Which of two edge fragments at equal depth shows is a matter of the last
// bits of the rasterizer's arithmetic. In every view, sparse or crowded
// (the pixels searching their nearest edges among the markers), at any
// position, on whole pixels with each site twice (the copy drawn later
// shows) or filling most of a block (where sites just ahead cover an edge),
// the pictures differ only where the two sites shown have edges reaching
// the pixel at depths within 2e-5 of each other.
TEST_F(OutlineTest, FramesDifferFromTheFullConesOnlyWhereTwoFragmentsTie) {
    enum class Kind { Scattered, WholePixelsTwice, Block };
    struct Scene {
        const char* name;
        int sites;  // a block's side for a block
        Kind kind;
    };
    for (const Scene& scene :
         {Scene{"sparse", 12, Kind::Scattered}, Scene{"crowded", 900, Kind::Scattered},
          Scene{"on whole pixels, twice", 40, Kind::WholePixelsTwice},
          Scene{"a block of whole pixels, a third left out", 48, Kind::Block}}) {
        HeightMap map;
        map.size = kSize;
        SceneBuilder builder(map, 40 + scene.sites);
        std::mt19937 random(3);
        if (scene.kind == Kind::WholePixelsTwice) {
            for (int copy = 0; copy < 2; ++copy) {
                random.seed(3);
                for (int site = 0; site < scene.sites; ++site) {
                    builder.add(4 + random() % (kSize - 8), 4 + random() % (kSize - 8));
                }
            }
        } else if (scene.kind == Kind::Block) {
            const int corner = (kSize - scene.sites) / 2;
            for (int y = corner; y < corner + scene.sites; ++y) {
                for (int x = corner; x < corner + scene.sites; ++x) {
                    if (random() % 3 != 0) {
                        builder.add(x, y);
                    }
                }
            }
        } else {
            builder.scatter(scene.sites, 1.0, kSize - 1.0);
        }
        for (const TestView& named : kViews) {
            const auto [outlines, cones] = outlinesAndFullCones(map, named.view);
            int differing = 0;
            int untied = 0;
            for (int row = 0; row < kSize; ++row) {
                for (int column = 0; column < kSize; ++column) {
                    if (outlines.at(column, row) == cones.at(column, row)) {
                        continue;
                    }
                    ++differing;
                    const Site* shown = siteOfColour(map, outlines.at(column, row));
                    const Site* drawn = siteOfColour(map, cones.at(column, row));
                    bool tied = false;
                    if (shown && drawn) {
                        for (const double a :
                             edgeDepths(*shown, named.view, column + 0.5, row + 0.5)) {
                            for (const double b :
                                 edgeDepths(*drawn, named.view, column + 0.5, row + 0.5)) {
                                tied = tied || std::fabs(a - b) <= 2e-5;
                            }
                        }
                    }
                    untied += !tied;
                }
            }
            EXPECT_EQ(untied, 0) << scene.name << ", " << named.name << ": of " << differing
                                 << " differing";
        }
        map.resetSites();
    }
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
        const auto [outlines, cones] = outlinesAndFullCones(map, kViews[1].view);
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
