#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "cells/marker_points.h"
#include "tests/support/site_scenes.h"

namespace {

constexpr int kSize = 160;

// Lists as extractions leave them (a sorted run each, newest first, the
// runs' points partly the same) and one in no order at all.
TEST(MarkerPointsTest, SortsAnyListByColumnThenHeightEachPointOnce) {
    const auto sameOrder = [](const MarkerPoint& a, const MarkerPoint& b) {
        return a.x != b.x ? a.x < b.x : a.y < b.y;
    };
    for (const int extractions : {1, 2, 3}) {
        SiteList map;
        SceneBuilder scene(map, 5);
        for (int extraction = 0; extraction < extractions; ++extraction) {
            for (int x = 0; x < 40; x += 1 + extraction) {
                for (int y = 0; y < 30; y += 2) {
                    scene.add(x, y);
                }
            }
        }
        if (extractions == 3) {
            scene.scatter(50, -5.0, 45.0);
        }
        std::vector<MarkerPoint> expected;
        for (const Site* site = map.sites; site; site = site->next) {
            expected.push_back({static_cast<float>(site->x), static_cast<float>(site->y)});
        }
        std::sort(expected.begin(), expected.end(), sameOrder);
        expected.erase(std::unique(expected.begin(), expected.end(),
                                   [](const MarkerPoint& a, const MarkerPoint& b) {
                                       return a.x == b.x && a.y == b.y;
                                   }),
                       expected.end());
        const std::vector<MarkerPoint> sorted = sortedMarkerPoints(map.sites);
        ASSERT_EQ(sorted.size(), expected.size());
        for (std::size_t index = 0; index < sorted.size(); ++index) {
            EXPECT_TRUE(sorted[index].x == expected[index].x &&
                        sorted[index].y == expected[index].y)
                << extractions << " extractions, at " << index;
        }
    }
}

}  // namespace
