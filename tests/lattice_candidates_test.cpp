#include "nearest/lattice_cells.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "measure/diagram_oracle.h"
#include "nearest/candidate_grid.h"
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
// by the independent oracle, and in the rim strips' band one of them is a
// rim site whose reach holds the point, whichever way the work is shared
// among threads; the markers' points are every position once, by x, then y.
// Other scenes are refused.
TEST_P(LatticeCandidatesTest, ListTheNearestSiteEverywhereTheConesReach) {
    SiteList map;
    buildScene(GetParam(), map, kSize);
    const std::vector<OracleSite> sites = oracleSitesOf(map.sites);
    const DiagramOracle oracle(sites);
    std::vector<std::pair<double, double>> positions;
    for (const Site* site = map.sites; site; site = site->next) {
        positions.push_back({site->x, site->y});
    }
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    std::vector<int> nearest;
    for (const int threads : {1, 2}) {
        LatticeCandidates lattice;
        ASSERT_EQ(computeLatticeCandidates(map.sites, kRadius, threads, lattice),
                  allOnIntegerPoints(map.sites));
        if (!allOnIntegerPoints(map.sites)) {
            return;
        }
        ASSERT_EQ(lattice.points.size(), positions.size());
        for (std::size_t index = 0; index < positions.size(); ++index) {
            EXPECT_EQ(lattice.points[index].x, positions[index].first);
            EXPECT_EQ(lattice.points[index].y, positions[index].second);
        }
        int missing = 0;
        const auto reached = [&](double x, double y) {
            for (const LatticeRimSite& rim : lattice.rimSites) {
                for (const int found : nearest) {
                    if (rim.x == sites[found].x && rim.y == sites[found].y && x >= rim.left &&
                        x <= rim.right && y >= rim.bottom && y <= rim.top) {
                        return true;
                    }
                }
            }
            return false;
        };
        const auto check = [&](double x, double y) {
            const double distance = oracle.polygonNearest(x, y, 1e-3, nearest);
            if (distance > kRadius) {
                return;
            }
            if (distance >= kRadius - kRimStrip && !reached(x, y) && ++missing <= 3) {
                ADD_FAILURE() << threads << " threads: no rim reaches " << x << ", " << y;
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

struct GridPoint {
    int x;
    int y;
    unsigned char shade;
};

// Some of the points of a box, column by column, each column by row.
std::vector<GridPoint> somePoints(std::mt19937& random, double share, unsigned char shade) {
    std::bernoulli_distribution kept(share);
    std::vector<GridPoint> points;
    for (int x = 20; x < 140; ++x) {
        for (int y = 30; y < 120; ++y) {
            if (kept(random)) {
                points.push_back({x, y, static_cast<unsigned char>(shade + x * 7 + y)});
            }
        }
    }
    return points;
}

// Each point put at the list's head in turn, as the extractions add them.
void prependAll(SiteList& list, const std::vector<GridPoint>& points) {
    for (const GridPoint& point : points) {
        list.sites = new (std::malloc(sizeof(Site))) Site{
            static_cast<double>(point.x),        static_cast<double>(point.y),        point.shade,
            static_cast<unsigned char>(point.y), static_cast<unsigned char>(point.x), list.sites};
    }
}

template <typename Item>
bool sameItems(const std::vector<Item>& a, const std::vector<Item>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(Item)) == 0;
}

// A list as one extraction leaves it, and as two leave it (the copies of a
// point in both: the earlier one's kept, being nearer the list's end), give
// the cells of the same sites listed the other way round, list for list,
// dense and sparse: the ways the sites are sorted into the lattice agree,
// also where each computation reuses what the one before left.
TEST(LatticeCandidatesOrder, ListOrderLeavesTheCellsAlone) {
    std::mt19937 random(5);
    LatticeCandidates fromExtracted;
    LatticeCandidates fromReversed;
    for (const double share : {0.3, 0.02}) {
        const std::vector<GridPoint> earlier = somePoints(random, share, 0);
        const std::vector<GridPoint> later = somePoints(random, share, 1);
        std::vector<GridPoint> kept = earlier;
        for (const GridPoint& point : later) {
            if (std::none_of(earlier.begin(), earlier.end(), [&](const GridPoint& other) {
                    return other.x == point.x && other.y == point.y;
                })) {
                kept.push_back(point);
            }
        }
        std::sort(kept.begin(), kept.end(), [](const GridPoint& a, const GridPoint& b) {
            return a.x != b.x ? a.x > b.x : a.y > b.y;
        });
        SiteList once;
        prependAll(once, earlier);
        SiteList onceReversed;
        prependAll(onceReversed, std::vector<GridPoint>(earlier.rbegin(), earlier.rend()));
        SiteList twice;
        prependAll(twice, earlier);
        prependAll(twice, later);
        SiteList keptReversed;
        prependAll(keptReversed, kept);
        const std::pair<const SiteList*, const SiteList*> pairs[] = {{&once, &onceReversed},
                                                                     {&twice, &keptReversed}};
        for (const auto& [extracted, reversed] : pairs) {
            ASSERT_TRUE(computeLatticeCandidates(extracted->sites, kRadius, 2, fromExtracted));
            ASSERT_TRUE(computeLatticeCandidates(reversed->sites, kRadius, 2, fromReversed));
            const bool twiceTaken = extracted == &twice;
            EXPECT_EQ(fromExtracted.cellSize, fromReversed.cellSize) << share << twiceTaken;
            EXPECT_TRUE(sameItems(fromExtracted.innerCells, fromReversed.innerCells))
                << share << twiceTaken;
            EXPECT_TRUE(sameItems(fromExtracted.farCells, fromReversed.farCells))
                << share << twiceTaken;
            EXPECT_TRUE(sameItems(fromExtracted.more, fromReversed.more)) << share << twiceTaken;
            EXPECT_TRUE(sameItems(fromExtracted.rimSites, fromReversed.rimSites))
                << share << twiceTaken;
        }
    }
}

// Two sites' distances along a line cross where crossingAlong says: the one
// further along is nearer just beyond, the other just before, by the
// oracle's own 32-gon distance; where it says never or everywhere, so it is
// far out on both sides.
TEST(LineCrossing, SplitsTheLineWhereTheSitesAreEquallyNear) {
    std::mt19937 random(11);
    std::uniform_int_distribution<int> place(-40, 40);
    // Mostly near the line, some far across it and close along it.
    std::uniform_int_distribution<int> nearAcross(0, 80);
    std::uniform_int_distribution<int> farAcross(0, 600);
    const auto difference = [](const LineSite& left, const LineSite& right, double x) {
        return polygonDistance(x - left.along, left.across) -
               polygonDistance(x - right.along, right.across);
    };
    int crossings = 0;
    for (int trial = 0; trial < 20000; ++trial) {
        // Far ones stand at half-odd places across, as lattice lines' sites.
        const bool far = trial % 4 == 1;
        auto& across = far ? farAcross : nearAcross;
        const int left = place(random);
        const int right = left + 1 + std::abs(place(random)) % (far ? 5 : 41);
        const LineSite a{static_cast<double>(left), across(random) + 0.5 * (trial % 2), 0};
        const double acrossB = far ? std::max(std::floor(a.across) + place(random), 0.0) + 0.5
                                   : across(random) + 0.5 * (trial % 3 == 0);
        const LineSite b{static_cast<double>(right), acrossB, 1};
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
