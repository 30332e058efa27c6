#include "tools/bench/outline_ties.h"

#include <algorithm>
#include <vector>

#include "outline/outline_edge.h"
#include "sitemap/height_map.h"

namespace {

constexpr float kTieDepth = 2e-5f;

struct Fragment {
    float depth;
    std::int32_t site;
};

}  // namespace

OutlineDifferences classifyOutlineDifferences(const RgbPicture& reference,
                                              const RgbPicture& picture, const HeightMap& map,
                                              const OutlineView& view) {
    OutlineDifferences differences;
    const int width = picture.width;
    const int height = picture.height;
    // Differing pixels by raster position (rows from the top).
    std::vector<int> slot(static_cast<std::size_t>(width) * height, -1);
    std::vector<std::pair<int, int>> differing;
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            if (reference.at(column, row) != picture.at(column, row)) {
                slot[static_cast<std::size_t>(height - 1 - row) * width + column] =
                    static_cast<int>(differing.size());
                differing.push_back({column, row});
            }
        }
    }
    differences.differing = static_cast<long long>(differing.size());
    if (differing.empty()) {
        return differences;
    }
    std::vector<OutlineSite> sites;
    for (const Site* site = map.sites; site; site = site->next) {
        sites.push_back({static_cast<float>(site->x), static_cast<float>(site->y),
                         packedColour(site->r, site->g, site->b)});
    }
    std::vector<std::vector<Fragment>> fragments(differing.size());
    forEachOutlineFragment(sites, view, static_cast<float>(map.size / 2), width, height,
                           [&](int x, int y, float depth, std::int32_t site) {
                               const int at = slot[static_cast<std::size_t>(y) * width + x];
                               if (at >= 0) {
                                   fragments[static_cast<std::size_t>(at)].push_back({depth, site});
                               }
                           });
    for (std::size_t index = 0; index < differing.size(); ++index) {
        const auto [column, row] = differing[index];
        const Rgb shown[2] = {reference.at(column, row), picture.at(column, row)};
        bool tied = shown[0] != kMarkerRed && shown[1] != kMarkerRed;
        float least = 2.0f;
        for (const Fragment& fragment : fragments[index]) {
            least = std::min(least, fragment.depth);
        }
        for (const Rgb& colour : shown) {
            bool found = false;
            for (const Fragment& fragment : fragments[index]) {
                const std::uint8_t* bytes = reinterpret_cast<const std::uint8_t*>(
                    &sites[static_cast<std::size_t>(fragment.site)].colour);
                found = found || (fragment.depth <= least + kTieDepth && bytes[0] == colour[0] &&
                                  bytes[1] == colour[1] && bytes[2] == colour[2]);
            }
            tied = tied && found;
        }
        ++(tied ? differences.atTies : differences.notAtTies);
    }
    return differences;
}
