#include "cells/cell_extents.h"

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

std::vector<const Site*> listOrder(const Site* head) {
    std::vector<const Site*> sites;
    for (const Site* site = head; site; site = site->next) {
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

struct Vector {
    double x;
    double y;
};

double cross(const Vector& a, const Vector& b) {
    return a.x * b.y - a.y * b.x;
}

// The fan's vertex on a ray, relative to its site.
Vector vertexOf(const FanRay& ray) {
    return {ray.level * ray.unitX, ray.level * ray.unitY};
}

// How far the fan of a drawn site reaches in the direction of (dx, dy): the
// distance to the far side of the triangle between the rays around it.
double fanReach(const CellExtents& extents, std::size_t drawnIndex, double dx, double dy) {
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
            const Vector from = vertexOf(*ray);
            const Vector to = vertexOf(next);
            const Vector side{to.x - from.x, to.y - from.y};
            const double length = std::hypot(dx, dy);
            return cross(from, side) / cross({dx / length, dy / length}, side);
        }
    }
    return 0.0;
}

class CellExtentsCoverage : public ::testing::TestWithParam<std::tuple<std::string, double>> {};

// Every point that a site wins by more than a tie lies within its fan.
TEST_P(CellExtentsCoverage, EveryPointLiesWithinItsWinnersLevels) {
    const auto& [sceneName, areaPerRay] = GetParam();
    const int size = 120;
    const int radius = size / 2;
    SiteList map;
    buildScene(sceneName, map, size);
    const std::vector<const Site*> sites = listOrder(map.sites);
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
            ASSERT_LE(std::hypot(dx, dy), fanReach(extents, drawn->second, dx, dy) + 1e-9)
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

TEST(CellExtents, OfCopiesAtOnePositionOnlyTheOneAddedFirstIsDrawn) {
    SiteList map;
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
    // other at their bisector, 10 away.
    for (std::size_t index : {0u, 1u}) {
        const double towardOther = index == 0 ? -1.0 : 1.0;
        EXPECT_GE(fanReach(extents, index, towardOther, 0.0), 10.0 + kCellLevelMargin);
        EXPECT_LE(fanReach(extents, index, towardOther, 0.0), 11.0 + kCellLevelMargin);
    }
}

TEST(CellExtents, LoneSiteKeepsTheFullConeAndRadiusZeroDrawsNone) {
    SiteList map;
    SceneBuilder(map, 1).add(3.5, -2.25);

    const CellExtents extents = computeCellExtents(map.sites, 40);

    ASSERT_EQ(extents.drawnSites.size(), 1u);
    ASSERT_EQ(extents.rays.size(), static_cast<std::size_t>(kConeSlices));
    for (const FanRay& ray : extents.rays) {
        EXPECT_EQ(ray.level, 40.0);
        EXPECT_TRUE(ray.onRim);
    }
    EXPECT_TRUE(computeCellExtents(map.sites, 0).drawnSites.empty());
}

}  // namespace
