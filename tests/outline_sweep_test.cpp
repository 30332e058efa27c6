#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "outline/marker_cover.h"
#include "outline/outline_picture.h"
#include "tests/support/sweep_cases.h"

namespace {

std::vector<OutlineSite> outlineSites(const std::vector<SweepSite>& scene) {
    std::vector<OutlineSite> sites;
    for (const SweepSite& site : scene) {
        const std::uint8_t bytes[4] = {site.r, site.g, site.b, 255};
        std::uint32_t colour = 0;
        std::memcpy(&colour, bytes, sizeof colour);
        sites.push_back({site.x, site.y, colour});
    }
    return sites;
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
    const float radius = kSweepEdge / 2;
    OutlinePicture kept(std::size_t{1} << 20);
    OutlinePicture fewKept(4096);
    OutlinePicture workedAgain(0);
    for (const SweepCase& sweep : sweepCases(GetParam())) {
        const std::vector<OutlineSite> sites = outlineSites(sweepScene(sweep.scene));
        const OutlineView view = sweep.outlineView();
        const int width = sweep.width;
        const int height = sweep.height;
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
        for (OutlinePicture* picture : {&kept, &fewKept, &workedAgain}) {
            picture->compute(sites, view, radius, width, height, covered);
            long long wrong = 0;
            long long reached = 0;
            for (std::size_t pixel = 0; pixel < pixels; ++pixel) {
                if (!covered[pixel]) {
                    reached += winner[pixel] >= 0;
                    wrong += picture->winners()[pixel] != winner[pixel] ||
                             picture->depths()[pixel] != depth[pixel];
                }
            }
            EXPECT_EQ(wrong, 0) << sweep.describe()
                                << (picture == &kept      ? ", edges kept"
                                    : picture == &fewKept ? ", some edges kept"
                                                          : ", edges worked again")
                                << ": of " << reached << " pixels an edge reaches";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Zooms, OutlineSweep, ::testing::ValuesIn(kSweepZooms), sweepZoomName);

}  // namespace
