#include "measure/diagram_oracle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

std::vector<OracleSite> scatteredSites(int count, double low, double high, std::mt19937& random) {
    std::uniform_real_distribution<double> coordinate(low, high);
    std::vector<OracleSite> sites;
    for (int index = 0; index < count; ++index) {
        sites.push_back({coordinate(random), coordinate(random), 0, 0, 0});
    }
    return sites;
}

// Layouts that strain a bucket grid (scattered, a crowd with a far outlier,
// every position twice, none), queried near and far against brute force in
// both measures.
TEST(DiagramOracle, FindsWhatBruteForceFinds) {
    std::mt19937 random(7);
    std::vector<std::vector<OracleSite>> layouts{
        scatteredSites(300, 0, 996, random), scatteredSites(100, 400, 410, random), {}};
    layouts[1].push_back({5000, -3000, 0, 0, 0});
    const std::vector<OracleSite> twice = scatteredSites(30, 0, 100, random);
    layouts.push_back(twice);
    layouts.back().insert(layouts.back().end(), twice.begin(), twice.end());
    std::uniform_real_distribution<double> near(-300, 1300);
    std::uniform_real_distribution<double> far(-20000, 20000);
    const auto euclidean = [](double dx, double dy) { return std::hypot(dx, dy); };
    for (const std::vector<OracleSite>& sites : layouts) {
        const DiagramOracle oracle(sites);
        for (int query = 0; query < 1000; ++query) {
            auto& coordinate = query % 10 == 0 ? far : near;
            const double x = coordinate(random);
            const double y = coordinate(random);
            for (const bool polygon : {false, true}) {
                const auto distance = [&](const OracleSite& site) {
                    return polygon ? polygonDistance(site.x - x, site.y - y)
                                   : euclidean(site.x - x, site.y - y);
                };
                double nearest = std::numeric_limits<double>::infinity();
                for (const OracleSite& site : sites) {
                    nearest = std::min(nearest, distance(site));
                }
                std::vector<int> expected;
                for (int index = 0; index < static_cast<int>(sites.size()); ++index) {
                    if (distance(sites[index]) <=
                        (polygon ? nearest + 0.5 : nearest * facetFactor())) {
                        expected.push_back(index);
                    }
                }
                std::vector<int> found;
                ASSERT_EQ(polygon ? oracle.polygonNearest(x, y, 0.5, found)
                                  : oracle.withinFactor(x, y, facetFactor(), found),
                          nearest)
                    << x << ", " << y;
                std::sort(found.begin(), found.end());
                ASSERT_EQ(found, expected) << x << ", " << y;
            }
        }
    }
}

}  // namespace
