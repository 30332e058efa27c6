#include "outline/apex_layout.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tests/support/sweep_cases.h"

namespace {

// Each apex where its own cone puts it: from the tables that a separable
// view allows, for a raster's sites on whole points among others off them,
// and from each cone where the sites' box is too wide for a table or the
// view shears the plane.
TEST(ApexLayout, EveryApexWhereItsConePutsIt) {
    std::mt19937 random(5);
    std::vector<OutlineSite> raster;
    for (int site = 0; site < 4000; ++site) {
        raster.push_back(
            {static_cast<float>(random() % 996), static_cast<float>(random() % 996), 0u});
    }
    std::vector<OutlineSite> mixed = raster;
    mixed.push_back({-7.0f, 1000.0f, 0u});
    mixed.push_back({3.5f, 17.25f, 0u});
    mixed.push_back({12.0f, 995.5f, 0u});
    std::vector<OutlineSite> wide = mixed;
    wide.push_back({1.0e7f, 5.0f, 0u});
    // Sheared: x by y in the modelview, y by x in the projection.
    OutlineView shearedX = orthoView(996.0f, 0.8f, 0.0f, 0.0f, 700, 500);
    shearedX.modelview[4] = -0.6f;
    OutlineView shearedY = orthoView(996.0f, 0.8f, 0.0f, 0.0f, 700, 500);
    shearedY.projection[1] = 0.3f;
    std::vector<OutlineView> views = {shearedX, shearedY};
    for (const float zoom : {1.5646e-7f, 0.085f, 0.3333f, 1.0f, 3.7f, -1.0f, -20.0f}) {
        views.push_back(orthoView(996.0f, zoom, 0.0f, 0.0f, 996, 996));
        views.push_back(orthoView(996.0f, zoom, -123.4f, 57.9f, 301, 1200));
    }
    ApexLayout apexes;
    for (std::size_t index = 0; index < views.size(); ++index) {
        const ConeOutlines outlines(views[index], 498.0f);
        for (const std::vector<OutlineSite>* sites : {&raster, &mixed, &wide}) {
            apexes.locate(*sites, outlines);
            int wrong = 0;
            for (std::size_t site = 0; site < sites->size(); ++site) {
                ConeOutlines::Cone cone;
                outlines.cone((*sites)[site].x, (*sites)[site].y, cone);
                const OutlinePoint apex = outlines.window(cone, 0);
                wrong += apexes.x[site] != apex.x || apexes.y[site] != apex.y;
            }
            EXPECT_EQ(wrong, 0) << "view " << index << ", " << sites->size() << " sites";
        }
    }
}

}  // namespace
