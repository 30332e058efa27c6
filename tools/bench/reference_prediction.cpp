#include "tools/bench/reference_prediction.h"

#include <vector>

#include "app/frame.h"
#include "sitemap/height_map.h"
#include "tools/bench/bench_scenes.h"
#include "tools/bench/frame_timing.h"

double predictReferenceMs(HeightMap& map, const ViewState& view) {
    constexpr int kSampleSites = 200;
    const int count = countSites(map);
    if (count <= kSampleSites) {
        return 0.0;
    }
    std::vector<Site> sample;
    sample.reserve(kSampleSites);
    int position = 0;
    for (const Site* site = map.sites; site; site = site->next, ++position) {
        if (static_cast<long long>(position) * kSampleSites / count !=
            static_cast<long long>(sample.size())) {
            continue;
        }
        sample.push_back(*site);
    }
    for (std::size_t index = 0; index < sample.size(); ++index) {
        sample[index].next = index + 1 < sample.size() ? &sample[index + 1] : nullptr;
    }
    Site* const listed = map.sites;
    map.sites = sample.data();
    const double sampleMs = timedGlWorkMs([&] { drawFrame(map, view); });
    map.sites = listed;
    return sampleMs * count / static_cast<double>(sample.size());
}
