#pragma once

#include <string>
#include <vector>

// What one run of voronoi_bench is asked to do.
struct BenchOptions {
    bool showHelp = false;
    // A tiny raster of its own, a few sites and one frame per scene: enough to
    // keep the benchmark from rotting, nothing to read figures from.
    bool smoke = false;
    // The reference in every view of every scene, not only where the run's
    // time allows it by default.
    bool allReferences = false;
    // Only the key 1 scene's wire-frame views, one round each: for rasters
    // whose sites take the full run too long.
    bool wireframeOnly = false;
    std::string rasterPath = "data/face_binary_edges.raw";
    int edge = 996;
    int frames = 5;  // timed frames per scene after the warm-up
};

// Reads the arguments after the program name. On a bad command line returns
// false and says why in `problem`.
bool parseBenchArguments(const std::vector<std::string>& arguments, BenchOptions& options,
                         std::string& problem);

const char* benchUsage();
