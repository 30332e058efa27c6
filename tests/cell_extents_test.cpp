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

// How far the fan of a drawn site surely reaches in the direction of
// (dx, dy): the lower level of the two rays around it.
double reachToward(const CellExtents& extents, std::size_t drawnIndex, double dx, double dy) {
    double angle = std::atan2(dy, dx);
    if (angle < 0) {
        angle += kTwoPi;
    }
    const FanRay* first = extents.raysBegin(drawnIndex);
    const FanRay* end = extents.raysEnd(drawnIndex);
    for (const FanRay* ray = first; ray != end; ++ray) {
        const FanRay& next = ray + 1 == end ? *first : *(ray + 1);
        const double nextAngle = ray + 1 == end ? kTwoPi : next.angle;
        if (angle >= ray->angle && angle <= nextAngle) {
            return std::min(ray->level, next.level);
        }
    }
    return 0.0;
}

const FanRay* rayAt(const CellExtents& extents, std::size_t drawnIndex, double angle) {
    for (const FanRay* ray = extents.raysBegin(drawnIndex); ray != extents.raysEnd(drawnIndex);
         ++ray) {
        if (std::fabs(ray->angle - angle) < 1e-12) {
            return ray;
        }
    }
    return nullptr;
}

class CellExtentsCoverage : public ::testing::TestWithParam<std::tuple<std::string, double>> {};

// Every point that a site wins by more than a tie lies within the levels of
// the two rays around it: the fan between them reaches it.
TEST_P(CellExtentsCoverage, EveryPointLiesWithinItsWinnersLevels) {
    const auto& [sceneName, areaPerRay] = GetParam();
    const int size = 120;
    const int radius = size / 2;
    HeightMap map;
    buildScene(sceneName, map, size);
    const std::vector<const Site*> sites = listOrder(map);
    const DiagramOracle oracle = oracleFor(sites);

    const CellExtents extents = computeCellExtents(map.sites, radius, areaPerRay);

    std::map<const Site*, std::size_t> drawnIndex;
    for (std::size_t index = 0; index < extents.drawnSites.size(); ++index) {
        drawnIndex[extents.drawnSites[index]] = index;
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
            ASSERT_LE(best, reachToward(extents, drawn->second, dx, dy))
                << "point " << x << ", " << y << " of site " << winner->x << ", " << winner->y;
            ++checkedPoints;
        }
    }
    EXPECT_GT(checkedPoints, 1000);
}

INSTANTIATE_TEST_SUITE_P(Scenes, CellExtentsCoverage,
                         ::testing::Combine(::testing::ValuesIn(kSceneNames),
                                            ::testing::Values(4.0, 256.0)),
                         [](const auto& info) {
                             return std::get<0>(info.param) + "_" +
                                    std::to_string(static_cast<int>(std::get<1>(info.param))) +
                                    "PixelsPerRay";
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

    const CellExtents extents = computeCellExtents(map.sites, 100, 1.0);

    int innerSites = 0;
    for (std::size_t index = 0; index < extents.drawnSites.size(); ++index) {
        const Site& site = *extents.drawnSites[index];
        if (site.x < 8 || site.x > 72 || site.y < 8 || site.y > 72) {
            continue;
        }
        ++innerSites;
        for (const FanRay* ray = extents.raysBegin(index); ray != extents.raysEnd(index); ++ray) {
            EXPECT_GE(ray->level, 4.0 + kCellLevelMargin) << "angle " << ray->angle;
            EXPECT_LE(ray->level, 4.0 * std::sqrt(2.0) + kCellLevelMargin + 0.01)
                << "angle " << ray->angle;
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

    const CellExtents extents = computeCellExtents(map.sites, 50, 1.0);

    EXPECT_EQ(extents.drawnSites, (std::vector<const Site*>{other, firstCopy}));
    // The copies do not bound each other; the two positions bound each
    // other at their bisector, 10 away, a little beyond it off the axis.
    const double halfTurn = kTwoPi / 2.0;
    for (const FanRay* ray : {rayAt(extents, 0, halfTurn), rayAt(extents, 1, 0.0)}) {
        ASSERT_NE(ray, nullptr);
        EXPECT_GE(ray->level, 10.0 + kCellLevelMargin);
        EXPECT_LE(ray->level, 11.0 + kCellLevelMargin);
    }
}

TEST(CellExtents, LoneSiteKeepsTheFullCone) {
    HeightMap map;
    SceneBuilder(map, 1).add(3.5, -2.25);

    const CellExtents extents = computeCellExtents(map.sites, 40);

    ASSERT_EQ(extents.drawnSites.size(), 1u);
    ASSERT_EQ(extents.rays.size(), static_cast<std::size_t>(kConeSlices));
    for (const FanRay& ray : extents.rays) {
        EXPECT_EQ(ray.level, 40.0);
        EXPECT_TRUE(ray.onRim);
    }
}

TEST(CellExtents, RadiusZeroDrawsNoCone) {
    HeightMap map;
    SceneBuilder(map, 1).add(1, 2);
    EXPECT_TRUE(computeCellExtents(map.sites, 0).drawnSites.empty());
}

}  // namespace
