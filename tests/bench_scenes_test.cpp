#include "tools/bench/bench_scenes.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "sitemap/height_map.h"
#include "tests/support/console_capture.h"
#include "tests/support/scratch_dir.h"
#include "tools/bench/smoke_raster.h"

namespace {

std::vector<std::pair<double, double>> positions(const HeightMap& map) {
    std::vector<std::pair<double, double>> all;
    for (const Site* site = map.sites; site; site = site->next) {
        all.emplace_back(site->x, site->y);
    }
    return all;
}

// The smoke raster, loaded as the benchmark loads it: a diagonal of 255
// from (8, 8) to (55, 55) and a row of 240 at row 16.
class BuildSites : public ::testing::Test {
protected:
    void SetUp() override {
        ConsoleCapture quiet;
        ASSERT_TRUE(
            map.loadRaw(scratch.write("smoke.raw", smokeRaster(kSmokeEdge)).c_str(), kSmokeEdge));
    }

    ScratchDir scratch;
    HeightMap map;
};

TEST_F(BuildSites, ExtractionsTimeThemselvesAndPrintNothing) {
    ConsoleCapture console;
    const BuiltSites keyOne = buildSites(map, SiteSource::KeyOne, 0);
    EXPECT_EQ(keyOne.siteCount, 47);  // the diagonal less the pixel the row overwrites
    ASSERT_TRUE(keyOne.extractionMs.has_value());
    EXPECT_GE(*keyOne.extractionMs, 0.0);
    EXPECT_EQ(buildSites(map, SiteSource::KeyTwo, 0).siteCount, 95);
    EXPECT_EQ(console.text(), "");
}

TEST_F(BuildSites, KeyOneTwiceHoldsEveryPositionTwice) {
    const BuiltSites twice = buildSites(map, SiteSource::KeyOneTwice, 0);
    EXPECT_EQ(twice.siteCount, 94);
    std::multiset<std::pair<double, double>> all;
    for (const auto& position : positions(map)) {
        all.insert(position);
    }
    for (const auto& position : all) {
        EXPECT_EQ(all.count(position), 2u);
    }
}

TEST_F(BuildSites, ReplacesTheSitesOfTheSceneBefore) {
    buildSites(map, SiteSource::KeyTwo, 0);
    const BuiltSites centre = buildSites(map, SiteSource::Centre, 0);
    EXPECT_EQ(centre.siteCount, 1);
    EXPECT_FALSE(centre.extractionMs.has_value());
    EXPECT_EQ(positions(map), (std::vector<std::pair<double, double>>{{32, 32}}));
}

TEST_F(BuildSites, RandomSitesAreRepeatableIntegersInsideTheRaster) {
    const BuiltSites random = buildSites(map, SiteSource::Random, 300);
    EXPECT_EQ(random.siteCount, 300);
    EXPECT_FALSE(random.extractionMs.has_value());
    const auto first = positions(map);
    for (const auto& [x, y] : first) {
        EXPECT_EQ(x, static_cast<int>(x));
        EXPECT_GE(x, 0);
        EXPECT_LT(x, kSmokeEdge);
        EXPECT_GE(y, 0);
        EXPECT_LT(y, kSmokeEdge);
    }
    buildSites(map, SiteSource::Random, 300);
    EXPECT_EQ(positions(map), first);
    const std::set<std::pair<double, double>> distinct(first.begin(), first.end());
    EXPECT_GT(distinct.size(), 200u);
}

TEST(BenchScenes, StartWithKeyOneAtZoomOne) {
    const std::vector<BenchScene> scenes = benchScenes(5000);
    ASSERT_EQ(scenes.size(), 7u);
    EXPECT_EQ(scenes[0].source, SiteSource::KeyOne);
    EXPECT_EQ(scenes[0].view.zoom, 1.0f);
    EXPECT_EQ(scenes[0].view.panX, 0.0f);
    EXPECT_EQ(scenes[1].view.zoom, 3.7f);
    EXPECT_EQ(scenes[1].view.panX, -300.0f);
    EXPECT_EQ(scenes[1].view.panY, -200.0f);
}

}  // namespace
