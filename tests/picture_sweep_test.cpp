#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/frame.h"
#include "app/keys.h"
#include "app/window.h"
#include "measure/diagram_oracle.h"
#include "sitemap/height_map.h"
#include "tests/support/gl_test_window.h"
#include "tests/support/site_list.h"
#include "tests/support/sweep_cases.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadius = kSweepEdge / 2;
constexpr Rgb kMarkerRed = {255, 0, 0};

// The window of the case, with the program's projection of the raster.
void openSweepWindow(const SweepCase& sweep) {
    openTestWindow(sweep.width, sweep.height);
    glutSwapBuffers();  // the GL driver takes in the new size at a swap
    setUpView(kSweepEdge, kSweepEdge);
}

// The scene in a map whose list runs in the scene's order.
void fillMap(HeightMap& map, const std::vector<SweepSite>& scene) {
    map.size = kSweepEdge;
    for (auto site = scene.rbegin(); site != scene.rend(); ++site) {
        addSite(map, site->x, site->y, {site->r, site->g, site->b});
    }
}

ViewState viewOf(const SweepCase& sweep) {
    return {sweep.zoom, sweep.panX, sweep.panY};
}

// The raster point at the centre of a window pixel, through the view as GL
// holds it: the pan's translation rounded to a float, as glTranslatef leaves it.
struct RasterMapping {
    explicit RasterMapping(const SweepCase& sweep)
        : sweep(sweep),
          offsetX(static_cast<double>(sweep.zoom * sweep.panX)),
          offsetY(static_cast<double>(sweep.zoom * sweep.panY)) {}
    double rasterX(double windowX) const {
        return (windowX * kSweepEdge / sweep.width - offsetX) / sweep.zoom;
    }
    double rasterY(double windowY) const {
        return (windowY * kSweepEdge / sweep.height - offsetY) / sweep.zoom;
    }
    double windowX(double x) const { return (sweep.zoom * x + offsetX) * sweep.width / kSweepEdge; }
    double windowY(double y) const {
        return (sweep.zoom * y + offsetY) * sweep.height / kSweepEdge;
    }
    const SweepCase& sweep;
    double offsetX;
    double offsetY;
};

// How many pixels of the filled picture break the exact diagram of the
// scene's 32-sided cones: a marker's pixels red (within a hundredth of a
// pixel of its square's border either way), elsewhere the colour of the
// nearest site (of copies, the one drawn last) or the background beyond the
// radius. Where two sites, or a site and the rim, lie within the slack of
// one distance, either passes. The slack is a thousandth of a pixel, and
// what 32-bit floats leave of the view's translation.
long long filledMismatches(const SweepCase& sweep, const std::vector<SweepSite>& scene,
                           const PixelGrid& picture) {
    const RasterMapping mapping(sweep);
    std::map<std::pair<float, float>, std::size_t> lastAt;
    for (std::size_t site = 0; site < scene.size(); ++site) {
        lastAt[{scene[site].x, scene[site].y}] = site;
    }
    std::vector<OracleSite> shown;
    for (const auto& [position, site] : lastAt) {
        shown.push_back(
            {position.first, position.second, scene[site].r, scene[site].g, scene[site].b});
    }
    const DiagramOracle oracle(shown);
    // A pixel's extent in raster units along the axis the window stretches least.
    const double pixel = kSweepEdge / (std::fabs(sweep.zoom) * std::min(sweep.width, sweep.height));
    const double floats =
        std::ldexp(8.0, -24) * (std::fabs(sweep.panX) + std::fabs(sweep.panY) + kSweepEdge);
    const double slack = 1e-3 * pixel + floats + 1e-6 * kRadius;
    const double markerSlack =
        0.01 + floats * std::fabs(sweep.zoom) * std::max(sweep.width, sweep.height) / kSweepEdge;
    // Per pixel: 1 where a marker may light it, 2 where one must.
    std::vector<std::uint8_t> red(static_cast<std::size_t>(sweep.width) * sweep.height, 0);
    for (const OracleSite& site : shown) {
        const double x = mapping.windowX(site.x);
        const double y = mapping.windowY(site.y);
        if (x < 0.0 || y < 0.0 || x > sweep.width || y > sweep.height) {
            continue;  // a point off the view volume is not drawn
        }
        const int firstColumn = std::max(0, static_cast<int>(std::floor(x - 3.0)));
        const int lastColumn = std::min(sweep.width - 1, static_cast<int>(x + 3.0));
        const int firstRow = std::max(0, static_cast<int>(std::floor(y - 3.0)));
        const int lastRow = std::min(sweep.height - 1, static_cast<int>(y + 3.0));
        for (int row = firstRow; row <= lastRow; ++row) {
            for (int column = firstColumn; column <= lastColumn; ++column) {
                const double across =
                    std::max(std::fabs(column + 0.5 - x), std::fabs(row + 0.5 - y));
                std::uint8_t& at = red[static_cast<std::size_t>(row) * sweep.width + column];
                at = std::max<std::uint8_t>(at, across < 2.0 - markerSlack    ? 2
                                                : across <= 2.0 + markerSlack ? 1
                                                                              : 0);
            }
        }
    }
    std::vector<int> found;
    long long wrong = 0;
    for (int row = 0; row < sweep.height; ++row) {
        for (int column = 0; column < sweep.width; ++column) {
            const Rgb seen = picture.at(column, row);
            const std::uint8_t marker = red[static_cast<std::size_t>(row) * sweep.width + column];
            const bool mayBeRed = marker >= 1;
            const bool mustBeRed = marker == 2;
            bool holds = mayBeRed && seen == kMarkerRed;
            if (!holds && !mustBeRed) {
                const double nearest = oracle.polygonNearest(
                    mapping.rasterX(column + 0.5), mapping.rasterY(row + 0.5), slack, found);
                holds = nearest >= kRadius - slack && seen == backgroundColour();
                for (const int index : found) {
                    const OracleSite& site = shown[static_cast<std::size_t>(index)];
                    holds = holds ||
                            (nearest <= kRadius + slack && seen == Rgb{site.r, site.g, site.b});
                }
            }
            wrong += !holds;
        }
    }
    return wrong;
}

// The depths at which a site's edges may reach a window position: those of
// its radial edges that pass within three quarters of a pixel, each the
// position's offset from the apex along the edge's major axis over the
// edge's length on that axis, halved, as the cones' depth runs; and 0.5 near
// its rim.
std::vector<double> edgeDepths(const SweepCase& sweep, const SweepSite& site, double x, double y) {
    const double scaleX = sweep.zoom * sweep.width / kSweepEdge;
    const double scaleY = sweep.zoom * sweep.height / kSweepEdge;
    const double apexX = sweep.windowX(site.x);
    const double apexY = sweep.windowY(site.y);
    std::vector<double> depths;
    for (int vertex = 0; vertex < 32; ++vertex) {
        const double angle = -2.0 * kPi * vertex / 32;
        const double dx = scaleX * kRadius * std::cos(angle);
        const double dy = scaleY * kRadius * std::sin(angle);
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
    const double pixel = 1.0 / std::min(std::fabs(scaleX), std::fabs(scaleY));
    const double distance = std::hypot((x - apexX) / scaleX, (y - apexY) / scaleY);
    if (distance > kRadius * std::cos(kPi / 32) - 0.75 * pixel &&
        distance < kRadius + 0.75 * pixel) {
        depths.push_back(0.5);
    }
    return depths;
}

// How many pixels of the window's wire-frame frame differ from the full
// cones' other than where the two sites shown have edges reaching the pixel
// at depths within 2e-5 of each other: which of two tied fragments shows is
// a matter of the last bits of the rasterizer's arithmetic.
long long untiedOutlineDifferences(const SweepCase& sweep, const std::vector<SweepSite>& scene,
                                   const PixelGrid& outlines, const PixelGrid& cones) {
    std::map<Rgb, std::size_t> siteOfColour;
    for (std::size_t site = 0; site < scene.size(); ++site) {
        siteOfColour[{scene[site].r, scene[site].g, scene[site].b}] = site;
    }
    long long untied = 0;
    for (int row = 0; row < sweep.height; ++row) {
        for (int column = 0; column < sweep.width; ++column) {
            const Rgb shown = outlines.at(column, row);
            const Rgb drawn = cones.at(column, row);
            if (shown == drawn) {
                continue;
            }
            bool tied = false;
            if (siteOfColour.count(shown) && siteOfColour.count(drawn)) {
                for (const double a :
                     edgeDepths(sweep, scene[siteOfColour[shown]], column + 0.5, row + 0.5)) {
                    for (const double b :
                         edgeDepths(sweep, scene[siteOfColour[drawn]], column + 0.5, row + 0.5)) {
                        tied = tied || std::fabs(a - b) <= 2e-5;
                    }
                }
            }
            untied += !tied;
        }
    }
    return untied;
}

// Whether GL's own cones are drawn for the case too: where they take a
// moment in GL_LINE mode, and the view's floats leave the apexes where the
// tie check above puts them.
bool drawnByGl(const SweepCase& sweep, std::size_t sites) {
    const double radius =
        std::fabs(sweep.zoom) * kRadius * std::max(sweep.width, sweep.height) / kSweepEdge;
    return std::fabs(sweep.zoom) < 1000.0 && sites * std::min(radius, 2000.0) < 3e5;
}

class PictureSweep : public ::testing::TestWithParam<float> {};

// The filled frames, the screen pass and the program's choice alike, hold the exact
// diagram; the wire-frame frame holds GL's whole cones but at ties.
TEST_P(PictureSweep, FramesHoldTheExactDiagramAndTheWholeCones) {
    for (const SweepCase& sweep : sweepCases(GetParam())) {
        const std::vector<SweepSite> scene = sweepScene(sweep.scene);
        HeightMap map;
        fillMap(map, scene);
        openSweepWindow(sweep);
        const ViewState view = viewOf(sweep);
        // The screen pass, and the program's own choice. Beyond a zoom of a
        // million GL's floats no longer place a cone within a pixel, and its
        // whole cones stray from the exact diagram themselves: there the
        // program's drawing only has to run clean, and the screen pass, which
        // works every pixel out itself, still holds the diagram.
        for (const int cutConeSiteLimit : {0, FilledConeDrawing::kCutConeSiteLimit}) {
            FrameRenderer renderer(SliceBudget::kDefaultBudgetMs, cutConeSiteLimit);
            renderer.drawFrame(map, view, ConeDrawing::Fast);
            if (cutConeSiteLimit == 0 || std::fabs(sweep.zoom) < 1e6f) {
                EXPECT_EQ(
                    filledMismatches(sweep, scene, PixelGrid::readBack(sweep.width, sweep.height)),
                    0)
                    << sweep.describe()
                    << (cutConeSiteLimit == 0 ? ", screen pass" : ", the program's drawing");
            }
        }
        if (drawnByGl(sweep, scene.size())) {
            glEnable(GL_CULL_FACE);
            glPolygonMode(GL_FRONT, GL_LINE);
            FrameRenderer window;
            window.renderFinished(map, view);
            const PixelGrid outlines = PixelGrid::readBack(sweep.width, sweep.height);
            drawFrame(map, view);
            const PixelGrid cones = PixelGrid::readBack(sweep.width, sweep.height);
            glPolygonMode(GL_FRONT, GL_FILL);
            glDisable(GL_CULL_FACE);
            EXPECT_EQ(untiedOutlineDifferences(sweep, scene, outlines, cones), 0)
                << sweep.describe() << ", wire-frame";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Zooms, PictureSweep, ::testing::ValuesIn(kSweepZooms), sweepZoomName);

}  // namespace
