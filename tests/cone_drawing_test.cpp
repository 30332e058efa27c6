#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <array>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "app/callbacks.h"
#include "app/frame.h"
#include "app/globals.h"
#include "sitemap/height_map.h"
#include "tests/support/diagram_check.h"
#include "tests/support/site_list.h"

namespace {

constexpr int kEdge = 996;

// Draws a frame of the sites, through the window's display callback or the
// reference drawing, over a stray matrix; expects the modelview to be
// identity afterwards and holds the picture to the exact diagram.
void expectDiagramDrawn(const std::vector<OracleSite>& sites, int radius, const ViewState& view,
                        bool throughDisplay = false) {
    openTestWindow(kEdge, kEdge);
    HeightMap map;
    map.size = 2 * radius;
    for (const OracleSite& site : sites) {
        addSite(map, site.x, site.y, {site.r, site.g, site.b});
    }
    glTranslatef(5.0f, 5.0f, 0.0f);
    if (throughDisplay) {
        g_heightMap = &map;
        display();  // this renderer swaps by copying: the back buffer keeps the frame shown
        g_heightMap = nullptr;
    } else {
        drawFrame(map, view);
    }
    std::array<GLfloat, 16> modelview{};
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview.data());
    EXPECT_EQ(modelview, (std::array<GLfloat, 16>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
    const PixelGrid grid = PixelGrid::readBack(kEdge, kEdge);
    const auto pixelAt = [&](int column, int row) { return grid.at(column, row); };
    EXPECT_EQ(diagramMismatches(kEdge, kEdge, pixelAt, sites, radius, view), "");
}

struct Scene {
    const char* name;
    std::vector<OracleSite> sites;  // in the order added
    int radius;
    ViewState view;
};

void PrintTo(const Scene& scene, std::ostream* out) {
    *out << scene.name;
}

OracleSite olive(double x, double y) {
    return {x, y, 120, 140, 30};
}
OracleSite plum(double x, double y) {
    return {x, y, 140, 40, 110};
}

class DrawFrame : public ::testing::TestWithParam<Scene> {};

TEST_P(DrawFrame, ShowsTheExactDiagramAndLeavesTheModelviewIdentity) {
    expectDiagramDrawn(GetParam().sites, GetParam().radius, GetParam().view);
}

// A lone site at the centre is a 32-gon of radius 498 that leaves the corners
// blue; zoom 2 with pan (10, -5) shows raster (100, 150) at window (220, 290);
// zoom -2 with pan (-400, -300) turns it to (600, 300).
const ViewState kPlain{1, 0, 0};
INSTANTIATE_TEST_SUITE_P(
    Scenes, DrawFrame,
    ::testing::Values(
        Scene{"EmptyList", {}, 498, kPlain},
        Scene{"OneSiteAtTheCentre", {olive(498, 498)}, 498, kPlain},
        Scene{"TwoSitesSplitAlongTheirBisector", {olive(300, 420), plum(640, 560)}, 498, kPlain},
        Scene{"CopiesShowTheOneAddedFirst", {olive(500, 480), plum(500, 480)}, 498, kPlain},
        Scene{"RadiusZeroShowsOnlyMarkers",
              {olive(100, 100), plum(500, 700), olive(900, 300)},
              0,
              kPlain},
        Scene{"ZoomTwoPanned", {olive(100, 150)}, 498, {2, 10, -5}},
        Scene{"NegativeZoom", {olive(100, 150)}, 498, {-2, -400, -300}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WholeDiagram, EveryPixelShowsTheNearestSiteAndEveryMarkerIsRed) {
    // Three hundred random sites, each in a colour of its own.
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> coordinate(2, kEdge - 3);
    std::vector<OracleSite> sites;
    for (int index = 0; index < 300; ++index) {
        sites.push_back({static_cast<double>(coordinate(random)),
                         static_cast<double>(coordinate(random)),
                         static_cast<unsigned char>(10 + index % 200),
                         static_cast<unsigned char>(20 + index / 200 * 50), 30});
    }
    expectDiagramDrawn(sites, kEdge / 2, kPlain);
    expectDiagramDrawn(sites, kEdge / 2, kPlain, true);
}

}  // namespace
