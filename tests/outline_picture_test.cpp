#include "outline/outline_picture.h"
#include "outline/marker_cover.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 160;

// The view as GL holds it after gluOrtho2D(0, size, 0, size), glScalef and
// glTranslatef, with the viewport on the whole window.
OutlineView viewOf(float zoom, float panX, float panY) {
    OutlineView view{};
    view.projection[0] = 2.0f / kSize;
    view.projection[5] = 2.0f / kSize;
    view.projection[10] = -1.0f;
    view.projection[12] = -1.0f;
    view.projection[13] = -1.0f;
    view.projection[15] = 1.0f;
    view.modelview[0] = zoom;
    view.modelview[5] = zoom;
    view.modelview[10] = 1.0f;
    view.modelview[12] = zoom * panX;
    view.modelview[13] = zoom * panY;
    view.modelview[15] = 1.0f;
    view.viewport[2] = kSize;
    view.viewport[3] = kSize;
    view.bufferHeight = kSize;
    return view;
}

std::vector<OutlineSite> scene(int count, bool wholePixels, int copies, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> position(1.0f, kSize - 1.0f);
    std::vector<OutlineSite> sites;
    for (int site = 0; site < count; ++site) {
        float x = position(random);
        float y = position(random);
        if (wholePixels) {
            x = std::round(x);
            y = std::round(y);
        }
        for (int copy = 0; copy < copies; ++copy) {
            sites.push_back({x, y, static_cast<std::uint32_t>(sites.size())});
        }
    }
    return sites;
}

// Every whole point of a square block, or about half of them at random.
std::vector<OutlineSite> block(int side, bool holes, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<OutlineSite> sites;
    const int corner = (kSize - side) / 2;
    for (int y = corner; y < corner + side; ++y) {
        for (int x = corner; x < corner + side; ++x) {
            if (!holes || random() % 2 == 0) {
                sites.push_back({static_cast<float>(x), static_cast<float>(y),
                                 static_cast<std::uint32_t>(sites.size())});
            }
        }
    }
    return sites;
}

// The picture that skips what cannot show holds, at every pixel no marker
// covers, what the exhaustive one does: every fragment of every edge, the
// least depth kept and, of equal depths, the cone drawn later. Sparse sites
// take the walks outward from the apexes, crowded ones the pixels' own
// search; the panned zoom cuts most edges at the window's border, and copies
// of a site tie everywhere. In the blocks, most edges are passed over beyond
// the sites just ahead of them.
TEST(OutlinePicture, HoldsWhatEveryFragmentOfEveryEdgeLeaves) {
    struct Scene {
        const char* name;
        std::vector<OutlineSite> sites;
    };
    const Scene scenes[] = {{"sparse", scene(25, false, 1, 1)},
                            {"sparse on whole pixels, twice", scene(25, true, 2, 2)},
                            {"crowded", scene(4000, true, 1, 3)},
                            {"crowded anywhere", scene(900, false, 1, 4)},
                            {"full block", block(40, false, 5)},
                            {"block with holes", block(60, true, 6)}};
    struct View {
        const char* name;
        OutlineView view;
    };
    const View views[] = {{"zoom 1", viewOf(1.0f, 0.0f, 0.0f)},
                          {"zoom 3.7, panned", viewOf(3.7f, -48.2f, -32.1f)},
                          {"zoom 0.5", viewOf(0.5f, 0.0f, 0.0f)},
                          {"half turn", viewOf(-1.0f, -kSize, -kSize)}};
    const float radius = kSize / 2;
    // Each picture is used for every scene and view in turn, as the program
    // uses one: nothing an earlier one left may show in a later one.
    OutlinePicture kept(std::size_t{1} << 20);
    OutlinePicture workedAgain(0);
    for (const Scene& named : scenes) {
        for (const View& view : views) {
            MarkerCover markers;
            markers.compute(named.sites, view.view, kSize, kSize);
            std::vector<std::uint8_t> covered;
            markers.litPixels(covered);
            std::vector<float> depth(kSize * kSize, 2.0f);
            std::vector<std::int32_t> winner(kSize * kSize, -1);
            forEachOutlineFragment(
                named.sites, view.view, radius, kSize, kSize,
                [&](int x, int y, float at, std::int32_t site) {
                    const int pixel = y * kSize + x;
                    if (at < depth[pixel] || (at == depth[pixel] && site > winner[pixel])) {
                        depth[pixel] = at;
                        winner[pixel] = site;
                    }
                });
            // With the edges kept from band to band, and worked out again in
            // every band.
            for (OutlinePicture* picture : {&kept, &workedAgain}) {
                picture->compute(named.sites, view.view, radius, kSize, kSize, covered);
                int wrong = 0;
                int open = 0;
                for (int pixel = 0; pixel < kSize * kSize; ++pixel) {
                    if (!covered[pixel]) {
                        ++open;
                        wrong += picture->winners()[pixel] != winner[pixel] ||
                                 picture->depths()[pixel] != depth[pixel];
                    }
                }
                EXPECT_GT(open, 0) << named.name << ", " << view.name;
                EXPECT_EQ(wrong, 0) << named.name << ", " << view.name
                                    << (picture == &kept ? ", edges kept" : ", edges worked again");
            }
        }
    }
}

}  // namespace
