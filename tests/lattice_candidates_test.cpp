#include "nearest/lattice_cells.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "measure/diagram_oracle.h"
#include "nearest/line_envelope.h"
#include "tests/support/site_scenes.h"

namespace {

constexpr int kSize = 160;
constexpr int kRadius = kSize / 2;

bool allOnIntegerPoints(const Site* head) {
    for (const Site* site = head; site; site = site->next) {
        if (site->x != std::floor(site->x) || site->y != std::floor(site->y)) {
            return false;
        }
    }
    return true;
}

class LatticeCandidatesTest : public ::testing::TestWithParam<std::string> {};

// Where every site stands on an integer point, at points all over the plane
// (on a step that falls between pixel centres, and on the cells' borders,
// corners and centres) the cell's list holds one of the nearest positions
// by the independent oracle, whichever way the work is shared among
// threads. Other scenes are refused.
TEST_P(LatticeCandidatesTest, ListTheNearestSiteEverywhereTheConesReach) {
    SiteList map;
    buildScene(GetParam(), map, kSize);
    const std::vector<OracleSite> sites = oracleSitesOf(map.sites);
    const DiagramOracle oracle(sites);
    std::vector<int> nearest;
    for (const int threads : {1, 2}) {
        LatticeCandidates lattice;
        ASSERT_EQ(computeLatticeCandidates(map.sites, kRadius, threads, lattice),
                  allOnIntegerPoints(map.sites));
        if (!allOnIntegerPoints(map.sites)) {
            return;
        }
        int missing = 0;
        const auto check = [&](double x, double y) {
            if (oracle.polygonNearest(x, y, 1e-3, nearest) > kRadius) {
                return;
            }
            bool listed = false;
            for (const PackedCandidate& candidate : lattice.candidatesAt(x, y)) {
                const double siteX = lattice.originX + (candidate.place & 0xFFFFu);
                const double siteY = lattice.originY + (candidate.place >> 16);
                for (const int found : nearest) {
                    listed = listed || (siteX == sites[found].x && siteY == sites[found].y);
                }
            }
            if (!listed && ++missing <= 3) {
                ADD_FAILURE() << threads << " threads: nothing near at " << x << ", " << y;
            }
        };
        for (const double step : {1.37, 2.5}) {
            for (double y = -110.0; y < kSize + 110.0; y += step) {
                for (double x = -110.0; x < kSize + 110.0; x += step) {
                    check(x, y);
                }
            }
        }
        EXPECT_EQ(missing, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Scenes, LatticeCandidatesTest, ::testing::ValuesIn(kSceneNames),
                         [](const auto& info) { return info.param; });

template <typename Item>
bool sameItems(const std::vector<Item>& a, const std::vector<Item>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(Item)) == 0;
}

// The same sites listed as the extractions list them (each point once, read
// back from the last column's last row) and in the opposite order give the
// same cells, list for list, dense and sparse: the two ways the sites are
// sorted into the lattice agree.
TEST(LatticeCandidatesOrder, ListOrderLeavesTheCellsAlone) {
    std::mt19937 random(5);
    for (const double share : {0.3, 0.02}) {
        std::bernoulli_distribution kept(share);
        SiteList extracted;
        SiteList reversed;
        std::vector<Site*> ascending;
        for (int x = 20; x < 140; ++x) {
            for (int y = 30; y < 120; ++y) {
                if (!kept(random)) {
                    continue;
                }
                const Site site{static_cast<double>(x),
                                static_cast<double>(y),
                                static_cast<unsigned char>(x * 7),
                                static_cast<unsigned char>(y),
                                static_cast<unsigned char>(x + y),
                                extracted.sites};
                extracted.sites = new (std::malloc(sizeof(Site))) Site(site);
                ascending.push_back(extracted.sites);
            }
        }
        for (auto site = ascending.rbegin(); site != ascending.rend(); ++site) {
            Site copy = **site;
            copy.next = reversed.sites;
            reversed.sites = new (std::malloc(sizeof(Site))) Site(copy);
        }
        LatticeCandidates fromExtracted;
        LatticeCandidates fromReversed;
        ASSERT_TRUE(computeLatticeCandidates(extracted.sites, kRadius, 2, fromExtracted));
        ASSERT_TRUE(computeLatticeCandidates(reversed.sites, kRadius, 2, fromReversed));
        EXPECT_EQ(fromExtracted.cellSize, fromReversed.cellSize) << share;
        EXPECT_TRUE(sameItems(fromExtracted.innerCells, fromReversed.innerCells)) << share;
        EXPECT_TRUE(sameItems(fromExtracted.farCells, fromReversed.farCells)) << share;
        EXPECT_TRUE(sameItems(fromExtracted.more, fromReversed.more)) << share;
        EXPECT_TRUE(sameItems(fromExtracted.rimSites, fromReversed.rimSites)) << share;
    }
}

// Two sites' distances along a line cross where crossingAlong says: the one
// further along is nearer just beyond, the other just before, by the
// oracle's own 32-gon distance; where it says never or everywhere, so it is
// far out on both sides.
TEST(LineCrossing, SplitsTheLineWhereTheSitesAreEquallyNear) {
    std::mt19937 random(11);
    std::uniform_int_distribution<int> place(-40, 40);
    std::uniform_int_distribution<int> across(0, 80);
    const auto difference = [](const LineSite& left, const LineSite& right, double x) {
        return polygonDistance(x - left.along, left.across) -
               polygonDistance(x - right.along, right.across);
    };
    int crossings = 0;
    for (int trial = 0; trial < 20000; ++trial) {
        const int left = place(random);
        const int right = left + 1 + std::abs(place(random));
        const LineSite a{static_cast<double>(left), across(random) + 0.5 * (trial % 2), 0};
        const LineSite b{static_cast<double>(right), across(random) + 0.5 * (trial % 3 == 0), 1};
        const double at = crossingAlong(a, b);
        if (std::isinf(at)) {
            // Never nearer (+infinity) or everywhere nearer (-infinity).
            const double sign = at > 0 ? -1.0 : 1.0;
            for (const double x : {-1e5, -100.0, 0.0, 100.0, 1e5}) {
                EXPECT_GE(sign * difference(a, b, x), -1e-9) << left << " " << right;
            }
            continue;
        }
        ++crossings;
        EXPECT_NEAR(difference(a, b, at), 0.0, 1e-9);
        for (const double away : {1e-6, 0.5, 7.0, 1e3}) {
            EXPECT_LT(difference(a, b, at - away), 1e-9) << left << " " << right << " " << at;
            EXPECT_GT(difference(a, b, at + away), -1e-9) << left << " " << right << " " << at;
        }
    }
    EXPECT_GT(crossings, 10000);
}

}  // namespace
