#include "measure/diagram_oracle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

// Layouts that strain a bucket grid (scattered, a crowd with a far outlier,
// every position twice, none), queried near and far in both measures.
TEST(DiagramOracle, FindsWhatBruteForceFinds) {
    std::mt19937 random(7);
    const auto scattered = [&](int count, double low, double high) {
        std::uniform_real_distribution<double> coordinate(low, high);
        std::vector<OracleSite> sites;
        for (int index = 0; index < count; ++index) {
            sites.push_back({coordinate(random), coordinate(random), 0, 0, 0});
        }
        return sites;
    };
    std::vector<std::vector<OracleSite>> layouts{
        scattered(300, 0, 996), scattered(100, 400, 410), scattered(30, 0, 100), {}};
    layouts[1].push_back({5000, -3000, 0, 0, 0});
    const std::vector<OracleSite> copies = layouts[2];
    layouts[2].insert(layouts[2].end(), copies.begin(), copies.end());
    for (const std::vector<OracleSite>& sites : layouts) {
        const DiagramOracle oracle(sites);
        for (int query = 0; query < 2000; ++query) {
            const double reach = query % 10 == 0 ? 20000 : 1300;
            std::uniform_real_distribution<double> coordinate(-reach, reach);
            const double x = coordinate(random);
            const double y = coordinate(random);
            const bool polygon = query % 2 == 0;
            const auto distance = [&](const OracleSite& site) {
                return polygon ? polygonDistance(site.x - x, site.y - y)
                               : std::hypot(site.x - x, site.y - y);
            };
            double nearest = std::numeric_limits<double>::infinity();
            for (const OracleSite& site : sites) {
                nearest = std::min(nearest, distance(site));
            }
            std::vector<int> expected, found;
            for (int index = 0; index < static_cast<int>(sites.size()); ++index) {
                if (distance(sites[index]) <= (polygon ? nearest + 0.5 : nearest * facetFactor())) {
                    expected.push_back(index);
                }
            }
            ASSERT_EQ(polygon ? oracle.polygonNearest(x, y, 0.5, found)
                              : oracle.withinFactor(x, y, facetFactor(), found),
                      nearest)
                << x << ", " << y;
            std::sort(found.begin(), found.end());
            ASSERT_EQ(found, expected) << x << ", " << y;
        }
    }
}

}  // namespace
