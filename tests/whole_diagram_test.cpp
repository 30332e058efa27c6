#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <vector>

#include "app/callbacks.h"
#include "app/frame.h"
#include "app/globals.h"
#include "app/keys.h"
#include "measure/diagram_oracle.h"
#include "sitemap/height_map.h"
#include "tests/support/gl_test_window.h"
#include "tests/support/pixel_checks.h"
#include "tests/support/site_list.h"

namespace {

constexpr int kEdge = 996;
constexpr double kPi = 3.14159265358979323846;

// Sites at whole raster positions in [low, high], each with a colour of its
// own that is neither the background nor the marker red, so a pixel's colour
// names its site.
std::vector<OracleSite> randomSites(int count, int low, int high, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> coordinate(low, high);
    std::uniform_int_distribution<int> channel(0, 255);
    std::vector<OracleSite> sites;
    std::vector<Rgb> taken{backgroundColour(), kMarkerRed};
    while (static_cast<int>(sites.size()) < count) {
        const Rgb colour{static_cast<std::uint8_t>(channel(random)),
                         static_cast<std::uint8_t>(channel(random)),
                         static_cast<std::uint8_t>(channel(random))};
        if (std::find(taken.begin(), taken.end(), colour) != taken.end()) {
            continue;
        }
        taken.push_back(colour);
        sites.push_back({static_cast<double>(coordinate(random)),
                         static_cast<double>(coordinate(random)), colour[0], colour[1], colour[2]});
    }
    return sites;
}

struct View {
    double zoom;
    double panX;
    double panY;
};

class WholeDiagram : public ::testing::Test {
protected:
    void SetUp() override {
        openTestWindow(kEdge, kEdge);
        map.size = kEdge;
    }

    void place(const std::vector<OracleSite>& sites) {
        for (const OracleSite& site : sites) {
            addSite(map, site.x, site.y, {site.r, site.g, site.b});
        }
    }

    // Every marker pixel is red; every other pixel shows a site whose cone
    // reaches it and whose distance is within the facet factor of the
    // nearest site's, or the background where the nearest site is about the
    // cone radius away or farther.
    static void expectMatchesOracle(const PixelGrid& grid, const std::vector<OracleSite>& sites,
                                    double radius, const View& view) {
        constexpr char kNoMarker = 0, kMarker = 1, kClippedMarker = 2;
        std::vector<char> marks(static_cast<std::size_t>(kEdge) * kEdge, kNoMarker);
        std::map<Rgb, int> siteOfColour;
        for (int index = 0; index < static_cast<int>(sites.size()); ++index) {
            const OracleSite& site = sites[index];
            siteOfColour[{site.r, site.g, site.b}] = index;
            const int x = static_cast<int>(std::lround(view.zoom * (site.x + view.panX)));
            const int y = static_cast<int>(std::lround(view.zoom * (site.y + view.panY)));
            // A point whose centre falls off the window is clipped away whole.
            const bool whole = x >= 2 && y >= 2 && x + 1 < kEdge && y + 1 < kEdge;
            for (int row = std::max(y - 2, 0); row <= std::min(y + 1, kEdge - 1); ++row) {
                for (int column = std::max(x - 2, 0); column <= std::min(x + 1, kEdge - 1);
                     ++column) {
                    char& mark = marks[static_cast<std::size_t>(row) * kEdge + column];
                    mark = whole ? kMarker : std::max<char>(mark, kClippedMarker);
                }
            }
        }

        const DiagramOracle oracle(sites);
        const double slack = 1.0 / std::abs(view.zoom);
        const double innerRadius = radius * std::cos(kPi / 32);
        PixelMismatches mismatches;
        int backgroundPixels = 0;
        std::vector<bool> seenSites(sites.size(), false);
        std::vector<int> found;
        for (int row = 0; row < kEdge; ++row) {
            for (int column = 0; column < kEdge; ++column) {
                const Rgb seen = grid.at(column, row);
                const char mark = marks[static_cast<std::size_t>(row) * kEdge + column];
                if (mark == kMarker) {
                    mismatches.expect(seen == kMarkerRed, column, row, seen, "marker red");
                    continue;
                }
                if (mark == kClippedMarker && seen == kMarkerRed) {
                    continue;
                }
                const RasterPoint point =
                    windowPixelToRaster(column, row, view.zoom, view.panX, view.panY);
                const double nearest = oracle.withinFactor(point.x, point.y, facetFactor(), found);
                if (seen == backgroundColour()) {
                    ++backgroundPixels;
                    mismatches.expect(nearest > innerRadius - slack, column, row, seen,
                                      "the colour of a site in reach");
                    continue;
                }
                const auto owner = siteOfColour.find(seen);
                const bool near =
                    owner != siteOfColour.end() &&
                    std::find(found.begin(), found.end(), owner->second) != found.end() &&
                    std::hypot(sites[owner->second].x - point.x,
                               sites[owner->second].y - point.y) <= radius + slack;
                mismatches.expect(near, column, row, seen, "a site near enough, or background");
                if (owner != siteOfColour.end()) {
                    seenSites[owner->second] = true;
                }
            }
        }
        EXPECT_EQ(mismatches.count(), 0) << mismatches.summary();
        RecordProperty("backgroundPixels", backgroundPixels);
        RecordProperty("sitesSeen",
                       static_cast<int>(std::count(seenSites.begin(), seenSites.end(), true)));
    }

    HeightMap map;
};

TEST_F(WholeDiagram, EveryPixelShowsASiteWithinTheFacetFactorOfTheNearest) {
    const std::vector<OracleSite> sites = randomSites(300, 2, kEdge - 3, 20240611);
    place(sites);

    drawFrame(map, {1.0f, 0.0f, 0.0f});

    expectMatchesOracle(PixelGrid::readBack(kEdge, kEdge), sites, kEdge / 2, {1, 0, 0});
}

TEST_F(WholeDiagram, PixelsBeyondTheConeRadiusStayBackground) {
    const int radius = 40;
    const std::vector<OracleSite> sites = randomSites(300, 2, kEdge - 3, 7);
    place(sites);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();

    map.drawCones(radius, true);

    const PixelGrid grid = PixelGrid::readBack(kEdge, kEdge);
    expectMatchesOracle(grid, sites, radius, {1, 0, 0});
    int background = 0;
    for (int row = 0; row < kEdge; ++row) {
        for (int column = 0; column < kEdge; ++column) {
            background += grid.at(column, row) == backgroundColour() ? 1 : 0;
        }
    }
    // Three hundred discs of radius 40 leave about a fifth of the window bare.
    EXPECT_GT(background, kEdge * kEdge / 10);
}

TEST_F(WholeDiagram, ZoomAndPanMoveTheCellsButChangeNoOwner) {
    // Sites over the whole raster: many lie off the zoomed window and reach
    // into it with their cones only.
    const std::vector<OracleSite> sites = randomSites(200, 0, kEdge - 1, 99);
    place(sites);
    const View view{2, -200, -150};

    drawFrame(map, {static_cast<float>(view.zoom), static_cast<float>(view.panX),
                    static_cast<float>(view.panY)});

    expectMatchesOracle(PixelGrid::readBack(kEdge, kEdge), sites, kEdge / 2, view);
}

TEST_F(WholeDiagram, TheDisplayedFrameHoldsToTheSameOracle) {
    const std::vector<OracleSite> sites = randomSites(300, 2, kEdge - 3, 314);
    place(sites);
    g_heightMap = &map;

    display();
    // This renderer swaps by copying, so the back buffer still holds the frame shown.
    const PixelGrid shown = PixelGrid::readBack(kEdge, kEdge);
    g_heightMap = nullptr;

    expectMatchesOracle(shown, sites, kEdge / 2, {1, 0, 0});
}

}  // namespace
