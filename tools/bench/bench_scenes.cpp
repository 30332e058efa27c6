#include "tools/bench/bench_scenes.h"

#include <chrono>
#include <cstdlib>
#include <functional>
#include <random>

#include "sitemap/height_map.h"
#include "tools/bench/bright_photo.h"
#include "tools/bench/quiet_console.h"

namespace {

constexpr unsigned kRandomSeed = 20240601;

double timedMs(const std::function<void()>& work) {
    QuietConsole quiet;
    const auto start = std::chrono::steady_clock::now();
    work();
    const auto stop = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(stop - start).count();
}

}  // namespace

std::vector<BenchScene> benchScenes(int randomSiteCount, bool smoke) {
    const int denseRandomSites = smoke ? 4 * randomSiteCount : 200000;
    return {
        {"key 1", SiteSource::KeyOne, true},
        {"key 2", SiteSource::KeyTwo, false},
        {std::to_string(randomSiteCount) + " random", SiteSource::Random, false, randomSiteCount},
        {"key 1 twice", SiteSource::KeyOneTwice, false},
        {"one site, centre", SiteSource::Centre, true},
        {std::to_string(denseRandomSites) + " random", SiteSource::Random, false, denseRandomSites},
        {"every pixel 255", SiteSource::EveryPixel, false},
        {"bright photo, key 1", SiteSource::BrightPhoto, false},
        {"bright photo, key 1 twice", SiteSource::BrightPhotoTwice, false},
    };
}

std::vector<BenchView> benchViews(int edge) {
    const auto mirrorPan = static_cast<float>(-edge);
    const std::string mirrorPanText = std::to_string(-edge);
    return {
        {"zoom 1", {1.0f, 0.0f, 0.0f}, false},
        {"zoom 3.7, pan (-300,-200)", {3.7f, -300.0f, -200.0f}, false},
        {"zoom 0.5", {0.5f, 0.0f, 0.0f}, false},
        {"zoom 0.2", {0.2f, 0.0f, 0.0f}, false},
        {"zoom -1, pan (" + mirrorPanText + "," + mirrorPanText + ")",
         {-1.0f, mirrorPan, mirrorPan},
         false},
        {"zoom 1, culling (c)", {1.0f, 0.0f, 0.0f}, true},
    };
}

BuiltSites buildSites(HeightMap& map, SiteSource source, int randomSites) {
    map.resetSites();
    BuiltSites built;
    switch (source) {
        case SiteSource::KeyOne:
            built.extractionMs = timedMs([&map] { map.extractBinary(255, 1); });
            break;
        case SiteSource::KeyTwo:
            built.extractionMs = timedMs([&map] { map.extractRange(230, 255); });
            break;
        case SiteSource::KeyOneTwice:
            built.extractionMs = timedMs([&map] { map.extractBinary(255, 1); }) +
                                 timedMs([&map] { map.extractBinary(255, 1); });
            break;
        case SiteSource::Random: addRandomSites(map, randomSites, kRandomSeed); break;
        case SiteSource::Centre: addSite(map, map.size / 2, map.size / 2, 230, 160, 40); break;
        case SiteSource::EveryPixel: addEveryPixel(map); break;
        case SiteSource::BrightPhoto:
        case SiteSource::BrightPhotoTwice: {
            // Extracted from the photo in place of the loaded raster, which
            // comes back afterwards.
            std::vector<unsigned char> photo = brightPhotoRaster(map.size);
            unsigned char* loaded = map.heights;
            map.heights = photo.data();
            built.extractionMs = timedMs([&map] { map.extractBinary(255, 1); });
            if (source == SiteSource::BrightPhotoTwice) {
                *built.extractionMs += timedMs([&map] { map.extractBinary(255, 1); });
            }
            map.heights = loaded;
            break;
        }
    }
    built.siteCount = countSites(map);
    return built;
}

bool addEveryPixel(HeightMap& map) {
    // Column by column, as the extraction scans.
    for (int x = 1; x < map.size; ++x) {
        for (int y = 1; y < map.size; ++y) {
            if (!addSite(map, x, y, static_cast<unsigned char>(x * 7),
                         static_cast<unsigned char>(y), static_cast<unsigned char>(x + y))) {
                return false;
            }
        }
    }
    return true;
}

bool addRandomSites(HeightMap& map, int count, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> position(0, map.size > 0 ? map.size - 1 : 0);
    std::uniform_int_distribution<int> component(0, 255);
    for (int index = 0; index < count; ++index) {
        const int x = position(generator);
        const int y = position(generator);
        const auto r = static_cast<unsigned char>(component(generator));
        const auto g = static_cast<unsigned char>(component(generator));
        const auto b = static_cast<unsigned char>(component(generator));
        if (!addSite(map, x, y, r, g, b)) {
            return false;
        }
    }
    return true;
}

bool addSite(HeightMap& map, double x, double y, unsigned char r, unsigned char g,
             unsigned char b) {
    Site* site = static_cast<Site*>(std::malloc(sizeof(Site)));
    if (!site) {
        return false;
    }
    *site = Site{x, y, r, g, b, map.sites};
    map.sites = site;
    ++map.siteCount;
    return true;
}

int countSites(const HeightMap& map) {
    int count = 0;
    for (const Site* site = map.sites; site; site = site->next) {
        ++count;
    }
    return count;
}
