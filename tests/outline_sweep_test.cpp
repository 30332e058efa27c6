#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "outline/marker_cover.h"
#include "outline/outline_edge.h"
#include "outline/outline_picture.h"
#include "tests/support/sweep_cases.h"

namespace {

std::vector<OutlineSite> outlineSites(const std::vector<SweepSite>& scene) {
    std::vector<OutlineSite> sites;
    for (const SweepSite& site : scene) {
        sites.push_back({site.x, site.y, packedColour(site.r, site.g, site.b)});
    }
    return sites;
}

// Each picture, at every pixel no marker covers, against the exhaustive walk.
void expectEveryFragmentHeld(const std::vector<OutlineSite>& sites, const OutlineView& view,
                             float radius, int width, int height,
                             const std::vector<OutlinePicture*>& pictures,
                             const std::string& description) {
    const std::size_t pixels = static_cast<std::size_t>(width) * height;
    MarkerCover markers;
    markers.compute(sites, view, width, height);
    std::vector<std::uint8_t> covered;
    markers.litPixels(covered);
    std::vector<float> depth(pixels, 2.0f);
    std::vector<std::int32_t> winner(pixels, -1);
    forEachOutlineFragment(
        sites, view, radius, width, height, [&](int x, int y, float at, std::int32_t site) {
            const std::size_t pixel = static_cast<std::size_t>(y) * width + x;
            if (at < depth[pixel] || (at == depth[pixel] && site > winner[pixel])) {
                depth[pixel] = at;
                winner[pixel] = site;
            }
        });
    for (std::size_t index = 0; index < pictures.size(); ++index) {
        OutlinePicture& picture = *pictures[index];
        picture.compute(sites, view, radius, width, height, covered);
        long long wrong = 0;
        long long reached = 0;
        for (std::size_t pixel = 0; pixel < pixels; ++pixel) {
            if (!covered[pixel]) {
                reached += winner[pixel] >= 0;
                wrong += picture.winners()[pixel] != winner[pixel] ||
                         picture.depths()[pixel] != depth[pixel];
            }
        }
        EXPECT_EQ(wrong, 0) << description << ", picture " << index << ": of " << reached
                            << " pixels an edge reaches";
    }
}

class OutlineSweep : public ::testing::TestWithParam<float> {};

// At every pixel no marker covers, the wire-frame picture holds what the
// exhaustive walk leaves: every fragment of every edge of every cone, the
// least depth kept and, of equal depths, the cone drawn later. Pixels far
// from the sites and crowded among their markers, sites in and out of the
// window, copies that tie everywhere, sites just ahead of others that hide
// their edges. Each picture serves every case in turn, as the program's one
// does, with its edges kept from band to band, kept until their room runs
// out, and worked out again in every band.
TEST_P(OutlineSweep, HoldsWhatEveryFragmentOfEveryEdgeLeaves) {
    OutlinePicture kept(std::size_t{1} << 20);
    OutlinePicture fewKept(4096);
    OutlinePicture workedAgain(0);
    for (const SweepCase& sweep : sweepCases(GetParam())) {
        expectEveryFragmentHeld(outlineSites(sweepScene(sweep.scene)), sweep.outlineView(),
                                kSweepEdge / 2, sweep.width, sweep.height,
                                {&kept, &fewKept, &workedAgain},
                                sweep.describe() + " (edges kept, some kept, worked again)");
    }
}

INSTANTIATE_TEST_SUITE_P(Zooms, OutlineSweep, ::testing::ValuesIn(kSweepZooms), sweepZoomName);

// The program's own raster, whose cones are ten times the sweep's: at small
// zooms a crowd's raster steps are a twentieth of a pixel and its rays a few
// dozen pixels long, which the sweep's raster cannot give together. Sites
// just ahead along a diagonal ray cover it only if they lead by both axes,
// as the snapping of each line's ends picks its major axis. At negative
// zooms the crowd stands just outside the window's corner, some of it
// beyond the tiles about the window that it is grouped in, and only its
// cones reach in.
TEST(OutlineSweepLargeRaster, CrowdedCornersAtSmallZooms) {
    constexpr int kEdge = 996;
    const auto block = [](int from, int side) {
        std::vector<SweepSite> sites;
        for (int x = from; x < from + side; ++x) {
            for (int y = from; y < from + side; ++y) {
                const auto number = static_cast<std::uint32_t>(sites.size() + 1);
                sites.push_back({static_cast<float>(x), static_cast<float>(y),
                                 static_cast<std::uint8_t>(number >> 16),
                                 static_cast<std::uint8_t>(number >> 8),
                                 static_cast<std::uint8_t>(number)});
            }
        }
        return outlineSites(sites);
    };
    constexpr int kSide = 40;
    const std::vector<OutlineSite> farCorner = block(kEdge - kSide, kSide);
    const std::vector<OutlineSite> nearCorner = block(0, kSide);
    // Enough apexes that the window's pixels look for their nearest edges
    // themselves, as far as a cone reaches, up to the window's border.
    constexpr int kCrowdSide = 120;
    const std::vector<OutlineSite> crowd = block(kEdge - kCrowdSide, kCrowdSide);
    OutlinePicture picture;
    // 1.5646e-7: what twenty presses of a 0.05 zoom step leave of 1, cones
    // far smaller than a pixel, all at the window's corner.
    for (const float zoom :
         {0.2f, 0.25f, 0.3f, 0.35f, 1.5646e-7f, -1.5646e-7f, -0.01f, -0.05f, -0.3f, -20.0f}) {
        expectEveryFragmentHeld(zoom > 0.0f ? farCorner : nearCorner,
                                orthoView(kEdge, zoom, 0.0f, 0.0f, 160, 160), kEdge / 2, 160, 160,
                                {&picture}, "zoom " + std::to_string(zoom));
    }
    for (const float zoom : {0.2f, 0.3f, 0.38f}) {
        expectEveryFragmentHeld(crowd, orthoView(kEdge, zoom, 0.0f, 0.0f, 160, 160), kEdge / 2, 160,
                                160, {&picture}, "crowd, zoom " + std::to_string(zoom));
    }
    // Enough apexes that the near search runs in the whole window, as far
    // as a cone reaches: the crowd's last site's diagonal ray pokes out of
    // every other cone, and a pixel just past its end shows a radial
    // fragment deeper than the rims.
    constexpr int kBorderSide = 360;
    expectEveryFragmentHeld(block(kEdge - kBorderSide, kBorderSide),
                            orthoView(kEdge, 0.085f, 300.0f, -200.0f, kEdge, kEdge), kEdge / 2,
                            kEdge, kEdge, {&picture}, "crowd past its rims, zoom 0.085");
}

}  // namespace
