// Times what a frame of the diagram and an extraction cost, scene by scene,
// in a real window, and holds every picture against the exact diagram.

#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "sitemap/height_map.h"
#include "tools/bench/bench_options.h"
#include "tools/bench/bench_scenes.h"
#include "tools/bench/bench_table.h"
#include "tools/bench/bench_window.h"
#include "tools/bench/drawing_paths.h"
#include "tools/bench/frame_timing.h"
#include "tools/bench/quiet_console.h"
#include "tools/bench/smoke_raster.h"

namespace {

std::vector<OracleSite> oracleSites(const HeightMap& map) {
    std::vector<OracleSite> sites;
    for (const Site* site = map.sites; site; site = site->next) {
        sites.push_back({site->x, site->y, site->r, site->g, site->b});
    }
    return sites;
}

// Loads the raster quietly: the table owns standard output.
bool loadRaster(HeightMap& map, const BenchOptions& options) {
    std::string path = options.rasterPath;
    int edge = options.edge;
    if (options.smoke) {
        edge = kSmokeEdge;
        path = (std::filesystem::temp_directory_path() /
                ("voronoi-bench-smoke-" + std::to_string(getpid()) + ".raw"))
                   .string();
        if (!writeSmokeRaster(path, edge)) {
            std::cerr << "voronoi_bench: could not write " << path << "\n";
            return false;
        }
    }
    bool loaded;
    {
        QuietConsole quiet;
        loaded = map.loadRaw(path.c_str(), edge);
    }
    if (options.smoke) {
        std::filesystem::remove(path);
    }
    if (!loaded) {
        std::cerr << "voronoi_bench: could not load " << path << " with edge " << edge << "\n";
    }
    return loaded;
}

SceneResult measureScene(HeightMap& map, const BenchScene& scene, int requestedFrames,
                         int randomSiteCount, Rgb background) {
    SceneResult result;
    result.name = scene.name;
    const BuiltSites built = buildSites(map, scene.source, randomSiteCount);
    result.siteCount = built.siteCount;
    result.extractionMs = built.extractionMs;
    const std::vector<OracleSite> sites = oracleSites(map);
    for (const DrawingPath& path : drawingPaths()) {
        std::cerr << "  " << scene.name << ", " << path.name << " drawing: " << built.siteCount
                  << " sites" << std::endl;
        PathResult pathResult;
        if (path.prepare) {
            pathResult.preparationMs = timedGlWorkMs([&] { path.prepare(map); });
        }
        pathResult.frames = timeFrames([&] { path.drawFrame(map, scene.view); }, requestedFrames);
        const RgbPicture picture = readPicture(map.size, map.size);
        pathResult.agreement =
            measureAgreement(picture, sites, scene.view, map.size / 2, background);
        result.paths.push_back(pathResult);
    }
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    BenchOptions options;
    std::string problem;
    if (!parseBenchArguments(std::vector<std::string>(argv + 1, argv + argc), options, problem)) {
        std::cerr << "voronoi_bench: " << problem << "\n\n" << benchUsage();
        return 2;
    }
    if (options.showHelp) {
        std::cout << benchUsage();
        return 0;
    }
    const int requestedFrames = options.smoke ? 1 : options.frames;
    const int randomSiteCount = options.smoke ? kSmokeRandomSites : 5000;

    HeightMap map;
    if (!loadRaster(map, options)) {
        return 1;
    }
    int glutArgc = 1;
    openBenchWindow(map, glutArgc, argv);
    const Rgb background = readBackground();

    std::vector<PathHeading> headings;
    for (const DrawingPath& path : drawingPaths()) {
        headings.push_back({path.name, static_cast<bool>(path.prepare)});
    }
    std::vector<SceneResult> results;
    for (const BenchScene& scene : benchScenes(randomSiteCount)) {
        results.push_back(measureScene(map, scene, requestedFrames, randomSiteCount, background));
    }
    map.resetSites();

    printTable(std::cout, headings, results);
    std::cout << '\n' << summaryLine(results.front(), kSummaryPath) << std::endl;
    return 0;
}
