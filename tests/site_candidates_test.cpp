#include "cells/site_candidates.h"

#include <gtest/gtest.h>

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
    std::vector<OracleSite> sites;
    for (const Site* site = map.sites; site; site = site->next) {
        sites.push_back({site->x, site->y, site->r, site->g, site->b});
    }
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

}  // namespace
