#include "measure/diagram_oracle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct BruteForce {
    double nearest;
    std::vector<int> found;
};

template <typename Distance>
BruteForce bruteForce(const std::vector<OracleSite>& sites, double x, double y, Distance distance,
                      bool multiplicative, double allowance) {
    BruteForce result{std::numeric_limits<double>::infinity(), {}};
    for (const OracleSite& site : sites) {
        result.nearest = std::min(result.nearest, distance(site.x - x, site.y - y));
    }
    const double bound = multiplicative ? result.nearest * allowance : result.nearest + allowance;
    for (int index = 0; index < static_cast<int>(sites.size()); ++index) {
        if (distance(sites[index].x - x, sites[index].y - y) <= bound) {
            result.found.push_back(index);
        }
    }
    return result;
}

double euclidean(double dx, double dy) {
    return std::hypot(dx, dy);
}

std::vector<OracleSite> scatteredSites(int count, double low, double high, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> coordinate(low, high);
    std::vector<OracleSite> sites;
    for (int index = 0; index < count; ++index) {
        sites.push_back({coordinate(random), coordinate(random), 0, 0, 0});
    }
    return sites;
}

// Site layouts that strain a bucket grid: scattered, in a line, a crowd with
// one outlier, repeated positions, and a single site.
std::vector<std::vector<OracleSite>> layouts() {
    std::vector<std::vector<OracleSite>> all;
    all.push_back(scatteredSites(400, 0, 996, 1));
    std::vector<OracleSite> line;
    for (int index = 0; index < 50; ++index) {
        line.push_back({10.0 + 17 * index, 300, 0, 0, 0});
    }
    all.push_back(line);
    std::vector<OracleSite> crowd = scatteredSites(200, 400, 410, 2);
    crowd.push_back({5000, -3000, 0, 0, 0});
    all.push_back(crowd);
    std::vector<OracleSite> repeated = scatteredSites(30, 0, 100, 3);
    const std::vector<OracleSite> copy = repeated;
    repeated.insert(repeated.end(), copy.begin(), copy.end());
    all.push_back(repeated);
    all.push_back({{250.5, 250.5, 0, 0, 0}});
    return all;
}

// Queries inside the sites' box and far outside it on every side.
std::vector<RasterPoint> queries(unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> near(-300, 1300);
    std::uniform_real_distribution<double> far(-20000, 20000);
    std::vector<RasterPoint> points;
    for (int index = 0; index < 1500; ++index) {
        points.push_back({near(random), near(random)});
    }
    for (int index = 0; index < 100; ++index) {
        points.push_back({far(random), far(random)});
    }
    return points;
}

TEST(DiagramOracle, WithinFactorFindsWhatBruteForceFinds) {
    for (const std::vector<OracleSite>& sites : layouts()) {
        const DiagramOracle oracle(sites);
        for (const double factor : {1.0, facetFactor(), 1.3}) {
            for (const RasterPoint& point : queries(7)) {
                std::vector<int> found;
                const double nearest = oracle.withinFactor(point.x, point.y, factor, found);
                const BruteForce expected =
                    bruteForce(sites, point.x, point.y, euclidean, true, factor);
                std::sort(found.begin(), found.end());
                ASSERT_EQ(nearest, expected.nearest) << point.x << ", " << point.y;
                ASSERT_EQ(found, expected.found) << point.x << ", " << point.y;
            }
        }
    }
}

TEST(DiagramOracle, PolygonNearestFindsWhatBruteForceFinds) {
    for (const std::vector<OracleSite>& sites : layouts()) {
        const DiagramOracle oracle(sites);
        for (const double tolerance : {0.0, 0.5, 4.0}) {
            for (const RasterPoint& point : queries(11)) {
                std::vector<int> found;
                const double nearest = oracle.polygonNearest(point.x, point.y, tolerance, found);
                const BruteForce expected =
                    bruteForce(sites, point.x, point.y, polygonDistance, false, tolerance);
                std::sort(found.begin(), found.end());
                ASSERT_EQ(nearest, expected.nearest) << point.x << ", " << point.y;
                ASSERT_EQ(found, expected.found) << point.x << ", " << point.y;
            }
        }
    }
}

TEST(DiagramOracle, NoSitesGiveNothingAtInfiniteDistance) {
    const DiagramOracle oracle({});
    std::vector<int> found{3};

    EXPECT_EQ(oracle.withinFactor(10, 10, facetFactor(), found),
              std::numeric_limits<double>::infinity());
    EXPECT_TRUE(found.empty());
}

TEST(PolygonDistance, IsEuclideanTowardsARimVertexAndLongestMidFacet) {
    const double distance = 100;
    for (int vertex = 0; vertex < 32; ++vertex) {
        const double angle = vertex * 2 * kPi / 32;
        EXPECT_NEAR(polygonDistance(distance * std::cos(angle), distance * std::sin(angle)),
                    distance, 1e-9);
        const double mid = angle + kPi / 32;
        EXPECT_NEAR(polygonDistance(distance * std::cos(mid), distance * std::sin(mid)),
                    distance / std::cos(kPi / 32), 1e-9);
    }
    EXPECT_NEAR(facetFactor(), 1.0048385, 1e-7);
}

TEST(WindowPixelToRaster, GivesThePixelCentreUnderTheView) {
    struct View {
        double zoom, panX, panY;
    };
    for (const View view :
         {View{1, 0, 0}, View{2, 10, -5}, View{-2, -400, -300}, View{0.5, 3, 7}}) {
        for (const auto& [column, row] : {std::pair{0, 0}, {220, 290}, {995, 17}}) {
            const RasterPoint point =
                windowPixelToRaster(column, row, view.zoom, view.panX, view.panY);
            // The view draws raster (x, y) at window (zoom (x + panX), zoom (y + panY)).
            EXPECT_DOUBLE_EQ(view.zoom * (point.x + view.panX), column + 0.5);
            EXPECT_DOUBLE_EQ(view.zoom * (point.y + view.panY), row + 0.5);
        }
    }
}

}  // namespace
