#include "sitemap/cut_cone_mesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "measure/diagram_oracle.h"
#include "tests/support/site_scenes.h"

namespace {

struct Fan {
    unsigned int apex;
    std::vector<unsigned int> triangles;  // offsets into the index list
};

// Each triangle starts at its fan's apex, the only vertex at height 1.
std::vector<Fan> fansOf(const CutConeMesh& mesh) {
    std::vector<Fan> fans;
    for (std::size_t first = 0; first < mesh.indices.size(); first += 3) {
        const unsigned int apex = mesh.indices[first];
        if (fans.empty() || fans.back().apex != apex) {
            fans.push_back({apex, {}});
        }
        fans.back().triangles.push_back(static_cast<unsigned int>(first));
    }
    return fans;
}

double cross(const ConeVertex& from, const ConeVertex& to, double x, double y) {
    return (double{to.x} - from.x) * (y - from.y) - (double{to.y} - from.y) * (x - from.x);
}

bool fanCovers(const CutConeMesh& mesh, const Fan& fan, double x, double y) {
    for (unsigned int first : fan.triangles) {
        const ConeVertex& a = mesh.vertices[mesh.indices[first]];
        const ConeVertex& b = mesh.vertices[mesh.indices[first + 1]];
        const ConeVertex& c = mesh.vertices[mesh.indices[first + 2]];
        // Points on an edge that two triangles share count for both.
        constexpr double onEdge = -1e-9;
        if (cross(a, b, x, y) >= onEdge && cross(b, c, x, y) >= onEdge &&
            cross(c, a, x, y) >= onEdge) {
            return true;
        }
    }
    return false;
}

class CutConeMeshGeometry : public ::testing::Test {
protected:
    static constexpr int kRadius = 60;
    HeightMap map;
    CellExtents extents;

    CutConeMesh build(const std::string& scene) {
        buildScene(scene, map, 2 * kRadius);
        extents = computeCellExtents(map.sites, kRadius, 8.0);
        return buildCutConeMesh(extents, kRadius);
    }
};

TEST_F(CutConeMeshGeometry, TrianglesWindCounterClockwiseSeenFromAbove) {
    const CutConeMesh mesh = build("random");
    ASSERT_FALSE(mesh.indices.empty());
    for (std::size_t first = 0; first < mesh.indices.size(); first += 3) {
        const ConeVertex& a = mesh.vertices[mesh.indices[first]];
        const ConeVertex& b = mesh.vertices[mesh.indices[first + 1]];
        const ConeVertex& c = mesh.vertices[mesh.indices[first + 2]];
        ASSERT_GT(cross(a, b, c.x, c.y), 0.0) << "triangle " << first / 3;
    }
}

TEST_F(CutConeMeshGeometry, LoneSiteGetsThe32FacetsOfTheFullCone) {
    const CutConeMesh mesh = build("single");
    ASSERT_EQ(mesh.vertices.size(), 33u);
    ASSERT_EQ(mesh.indices.size(), 3u * 32);
    const ConeVertex& apex = mesh.vertices[0];
    for (int rim = 0; rim < 32; ++rim) {
        const double angle = 2.0 * 3.14159265358979323846 * rim / 32;
        const ConeVertex& vertex = mesh.vertices[1 + rim];
        EXPECT_NEAR(vertex.x - apex.x, kRadius * std::cos(angle), 1e-4);
        EXPECT_NEAR(vertex.y - apex.y, kRadius * std::sin(angle), 1e-4);
        EXPECT_EQ(vertex.z, 0.0f);
    }
}

// The triangles as built, float vertices and all, cover every point that
// their site wins by more than a tie.
TEST_F(CutConeMeshGeometry, FansCoverTheCellsOfTheirSites) {
    const CutConeMesh mesh = build("curves");
    const std::vector<Fan> fans = fansOf(mesh);
    std::vector<OracleSite> oracleSites;
    for (const Site* site : extents.drawnSites) {
        oracleSites.push_back({site->x, site->y, site->r, site->g, site->b});
    }
    const DiagramOracle oracle(oracleSites);
    std::vector<int> nearest;
    for (double y = -20.0; y < 140.0; y += 0.93) {
        for (double x = -20.0; x < 140.0; x += 0.87) {
            const double best = oracle.polygonNearest(x, y, kCellTieTolerance, nearest);
            if (nearest.size() == 1 && best < kRadius - kCellTieTolerance) {
                ASSERT_TRUE(fanCovers(mesh, fans[nearest[0]], x, y)) << x << ", " << y;
            }
        }
    }
}

}  // namespace
