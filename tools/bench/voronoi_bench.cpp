// Times what a frame of the diagram and an extraction cost, scene by scene
// and view by view, in a real window: the full cones, the cut cones and the
// retained frame. Compares the cut cones' picture with the full cones' and
// holds the window's picture against the exact diagram. Then every scene in
// wire-frame mode, the full cones drawn a slice per frame and in one pass.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "cells/large_arrays.h"
#include "sitemap/height_map.h"
#include "tools/bench/bench_options.h"
#include "tools/bench/bench_scenes.h"
#include "tools/bench/bench_table.h"
#include "tools/bench/bench_window.h"
#include "tools/bench/frame_timing.h"
#include "tools/bench/peer_transform.h"
#include "tools/bench/quiet_console.h"
#include "tools/bench/smoke_raster.h"
#include "tools/bench/view_measurement.h"
#include "tools/bench/wireframe_table.h"

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

// The median of three runs of the peer on both cores.
double peerTransformMs(const HeightMap& map) {
    std::vector<double> runs;
    for (int run = 0; run < 3; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const std::vector<std::int32_t> nearest = nearestSiteTransform(map.sites, map.size, 2);
        runs.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(runs.begin(), runs.end());
    return runs[1];
}

SceneResult measureScene(HeightMap& map, const BenchScene& scene, const BenchOptions& options,
                         Rgb background) {
    SceneResult result;
    result.name = scene.name;
    const BuiltSites built = buildSites(map, scene.source, scene.randomSites);
    result.siteCount = built.siteCount;
    result.extractionMs = built.extractionMs;
    result.peerMs = peerTransformMs(map);
    {
        const int wireframeRounds = options.smoke || options.wireframeOnly ? 1 : 3;
        std::cerr << "  " << scene.name << ", " << built.siteCount << " sites, wire-frame"
                  << std::endl;
        // In wire-frame mode culling is on whatever the view: the culling
        // view is the first one again.
        std::vector<BenchView> views = benchViews(map.size);
        views.erase(std::remove_if(views.begin(), views.end(),
                                   [](const BenchView& view) { return view.culling; }),
                    views.end());
        result.wireframe = measureWireframe(map, views, wireframeRounds);
    }
    if (options.wireframeOnly) {
        return result;
    }
    const std::vector<OracleSite> sites = oracleSites(map);
    bool firstView = true;
    for (const BenchView& view : benchViews(map.size)) {
        ViewMeasurement measurement;
        measurement.frames = options.smoke ? 1 : options.frames;
        measurement.drawReference =
            firstView || scene.referenceInEveryView || options.allReferences || options.smoke;
        std::cerr << "  " << scene.name << ", " << built.siteCount << " sites, " << view.name
                  << (measurement.drawReference ? "" : ", no reference") << std::endl;
        result.views.push_back(measureView(map, view, sites, measurement, background));
        firstView = false;
    }
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    // As the demo does.
    keepFreedMemory();
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
    const int randomSiteCount = options.smoke ? kSmokeRandomSites : 5000;

    HeightMap map;
    if (!loadRaster(map, options)) {
        return 1;
    }
    int glutArgc = 1;
    openBenchWindow(map, glutArgc, argv);
    const Rgb background = readBackground();

    std::vector<SceneResult> results;
    for (const BenchScene& scene : benchScenes(randomSiteCount, options.smoke)) {
        results.push_back(measureScene(map, scene, options, background));
        if (options.wireframeOnly) {
            break;
        }
    }
    map.resetSites();

    if (!options.wireframeOnly) {
        printTable(std::cout, results);
        std::cout << '\n' << summaryLine(results) << "\n\n";
        for (const std::string& line : peerSummaryLines(results)) {
            std::cout << line << '\n';
        }
        std::cout << '\n';
    }
    printWireframeTable(std::cout, results);
    std::cout << '\n'
              << wireframeSummaryLine(results) << '\n'
              << worstSummaryLine(results) << std::endl;
    return 0;
}
