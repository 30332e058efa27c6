#include "sitemap/cell_extents.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "measure/diagram_oracle.h"
#include "tests/support/site_scenes.h"

namespace {

constexpr double kTwoPi = 2.0 * 3.14159265358979323846;

std::vector<const Site*> listOrder(const HeightMap& map) {
    std::vector<const Site*> sites;
    for (const Site* site = map.sites; site; site = site->next) {
        sites.push_back(site);
    }
    return sites;
}

DiagramOracle oracleFor(const std::vector<const Site*>& sites) {
    std::vector<OracleSite> oracleSites;
    for (const Site* site : sites) {
        oracleSites.push_back({site->x, site->y, site->r, site->g, site->b});
    }
    return DiagramOracle(oracleSites);
}

// The ray just before the direction of (dx, dy), counted as the extents
// count them.
int rayBefore(double dx, double dy, int rayCount) {
    double angle = std::atan2(dy, dx);
    if (angle < 0) {
        angle += kTwoPi;
    }
    return std::min(rayCount - 1, static_cast<int>(angle / kTwoPi * rayCount));
}

class CellExtentsCoverage : public ::testing::TestWithParam<std::tuple<std::string, int>> {};

// Every point that a site wins by more than a tie lies within the levels of
// the two rays around it: the fan between them reaches it.
TEST_P(CellExtentsCoverage, EveryPointLiesWithinItsWinnersLevels) {
    const auto& [sceneName, raysPerFacet] = GetParam();
    const int size = 120;
    const int radius = size / 2;
    HeightMap map;
    buildScene(sceneName, map, size);
    const std::vector<const Site*> sites = listOrder(map);
    const DiagramOracle oracle = oracleFor(sites);

    const CellExtents extents = computeCellExtents(map.sites, radius, raysPerFacet);

    std::map<const Site*, int> drawnIndex;
    for (std::size_t index = 0; index < extents.drawnSites.size(); ++index) {
        drawnIndex[extents.drawnSites[index]] = static_cast<int>(index);
    }
    int checkedPoints = 0;
    std::vector<int> nearest;
    for (double y = -0.4 * size; y < 1.4 * size; y += 1.23) {
        for (double x = -0.4 * size; x < 1.4 * size; x += 1.07) {
            const double best = oracle.polygonNearest(x, y, kCellTieTolerance, nearest);
            if (best > radius - kCellTieTolerance) {
                continue;
            }
            // Ties between two positions are either site's; the copies of
            // one position all count as the one drawn last.
            const Site* winner = nullptr;
            bool tie = false;
            for (int index : nearest) {
                const Site* site = sites[index];
                tie = tie || (winner && (site->x != winner->x || site->y != winner->y));
                winner = site;
            }
            if (tie) {
                continue;
            }
            const auto drawn = drawnIndex.find(winner);
            ASSERT_NE(drawn, drawnIndex.end()) << "winner at " << winner->x << ", " << winner->y;
            const double dx = x - static_cast<float>(winner->x);
            const double dy = y - static_cast<float>(winner->y);
            const int ray = rayBefore(dx, dy, extents.raysPerSite());
            const double* levels = extents.levelsOf(drawn->second);
            const double reach = std::min(levels[ray], levels[(ray + 1) % extents.raysPerSite()]);
            ASSERT_LE(best, reach) << "point " << x << ", " << y << " of site " << winner->x << ", "
                                   << winner->y << ", ray " << ray;
            ++checkedPoints;
        }
    }
    EXPECT_GT(checkedPoints, 1000);
}

INSTANTIATE_TEST_SUITE_P(Scenes, CellExtentsCoverage,
                         ::testing::Combine(::testing::ValuesIn(kSceneNames),
                                            ::testing::Values(1, 4)),
                         [](const auto& info) {
                             return std::get<0>(info.param) + "_" +
                                    std::to_string(std::get<1>(info.param)) + "RaysPerFacet";
                         });

TEST(CellExtents, LatticeCellsStayCloseToTheirSquares) {
    // Spacing 8: each inner cell is the square of half-width 4 around its
    // site, whose corners lie 4 * sqrt(2) away, on rim directions.
    HeightMap map;
    SceneBuilder scene(map, 1);
    for (int column = 0; column <= 10; ++column) {
        for (int row = 0; row <= 10; ++row) {
            scene.add(8.0 * column, 8.0 * row);
        }
    }

    const CellExtents extents = computeCellExtents(map.sites, 100, 4);

    int innerSites = 0;
    for (std::size_t index = 0; index < extents.drawnSites.size(); ++index) {
        const Site& site = *extents.drawnSites[index];
        if (site.x < 8 || site.x > 72 || site.y < 8 || site.y > 72) {
            continue;
        }
        ++innerSites;
        const double* levels = extents.levelsOf(static_cast<int>(index));
        for (int ray = 0; ray < extents.raysPerSite(); ++ray) {
            EXPECT_GE(levels[ray], 4.0 + kCellLevelMargin) << "ray " << ray;
            EXPECT_LE(levels[ray], 4.0 * std::sqrt(2.0) + kCellLevelMargin + 0.01) << "ray " << ray;
        }
    }
    EXPECT_EQ(innerSites, 81);
}

TEST(CellExtents, OfCopiesAtOnePositionOnlyTheOneAddedFirstIsDrawn) {
    HeightMap map;
    SceneBuilder scene(map, 1);
    scene.add(10, 10);  // added first: the full cones leave it on top
    scene.add(30, 10);
    scene.add(10, 10);
    scene.add(10.000000000001, 10);  // the same 32-bit float position
    const Site* other = map.sites->next->next;
    const Site* firstCopy = other->next;

    const CellExtents extents = computeCellExtents(map.sites, 50, 2);

    EXPECT_EQ(extents.drawnSites, (std::vector<const Site*>{other, firstCopy}));
    ASSERT_EQ(extents.rayLevels.size(), 2u * extents.raysPerSite());
    // Each bounds the other at their bisector, 10 away: the rays toward each
    // other reach it at 32-gon distance 10 / cos(pi / 32)^2 at most.
    const double reach = 10.0 * facetFactor() * facetFactor() + kCellLevelMargin;
    EXPECT_NEAR(extents.levelsOf(0)[kConeSlices], reach, 0.01);
    EXPECT_NEAR(extents.levelsOf(1)[0], reach, 0.01);
}

TEST(CellExtents, LoneSiteKeepsTheFullCone) {
    HeightMap map;
    SceneBuilder(map, 1).add(3.5, -2.25);

    const CellExtents extents = computeCellExtents(map.sites, 40, 4);

    ASSERT_EQ(extents.drawnSites.size(), 1u);
    for (double level : extents.rayLevels) {
        EXPECT_EQ(level, 40.0);
    }
}

TEST(CellExtents, RadiusZeroDrawsNoCone) {
    HeightMap map;
    SceneBuilder(map, 1).add(1, 2);
    EXPECT_TRUE(computeCellExtents(map.sites, 0, 4).drawnSites.empty());
}

}  // namespace
