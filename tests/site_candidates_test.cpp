#include "nearest/site_candidates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "measure/diagram_oracle.h"
#include "tests/support/site_scenes.h"

namespace {

constexpr int kSize = 160;
constexpr int kRadius = kSize / 2;

class SiteCandidatesTest : public ::testing::TestWithParam<std::string> {};

// At points all over the plane, on a step that falls between pixel centres,
// the square's list holds one of the nearest positions (by the independent
// oracle), whichever way the work is shared among threads.
TEST_P(SiteCandidatesTest, ListTheNearestSiteEverywhereTheConesReach) {
    SiteList map;
    buildScene(GetParam(), map, kSize);
    const std::vector<OracleSite> sites = oracleSitesOf(map.sites);
    const DiagramOracle oracle(sites);
    std::vector<int> nearest;
    for (const int threads : {1, 2}) {
        const SiteCandidates grid = computeSiteCandidates(map.sites, kRadius, threads);
        int missing = 0;
        for (double y = -110.0; y < kSize + 110.0; y += 1.37) {
            for (double x = -110.0; x < kSize + 110.0; x += 1.37) {
                if (oracle.polygonNearest(x, y, 1e-3, nearest) > kRadius) {
                    continue;
                }
                const CandidateNode* leaf = grid.leafAt(x, y);
                bool listed = false;
                for (std::uint32_t index = 0; leaf && index < leaf->count && !listed; ++index) {
                    const CandidateSite& site = grid.sites[grid.candidates[leaf->first + index]];
                    for (int found : nearest) {
                        listed = listed || (site.x == static_cast<float>(sites[found].x) &&
                                            site.y == static_cast<float>(sites[found].y));
                    }
                }
                if (!listed && ++missing <= 3) {
                    ADD_FAILURE() << threads << " threads: nothing near at " << x << ", " << y;
                }
            }
        }
        EXPECT_EQ(missing, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Scenes, SiteCandidatesTest, ::testing::ValuesIn(kSceneNames),
                         [](const auto& info) { return info.param; });

// Positions and radii that no raster gives, which keys cannot reach but a
// caller can, are refused with a clear error, not worked into a grid whose
// size overflows or makes no sense.
TEST(CandidateSearch, PositionsAndRadiiBeyondAnyRasterAreRefused) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    struct Input {
        double x;
        double y;
        int radius;
        bool refused;
    };
    for (const Input& input : std::vector<Input>{{nan, 3, 80, true},
                                                 {3, infinity, 80, true},
                                                 {-infinity, 3, 80, true},
                                                 {1e30, 3, 80, true},
                                                 {3, -32769, 80, true},
                                                 {3, 3, 32769, true},
                                                 {-32768, 32768, 32768, false}}) {
        SiteList map;
        SceneBuilder scene(map, 7);
        scene.add(5, 5);
        scene.add(input.x, input.y);
        SCOPED_TRACE(std::to_string(input.x) + ", " + std::to_string(input.y) + " radius " +
                     std::to_string(input.radius));
        if (input.refused) {
            EXPECT_THROW(computeSiteCandidates(map.sites, input.radius), std::invalid_argument);
        } else {
            EXPECT_GT(computeSiteCandidates(map.sites, input.radius).nodes.size(), 0u);
        }
    }
}

}  // namespace
