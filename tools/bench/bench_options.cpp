#include "tools/bench/bench_options.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

bool parsePositive(const std::string& text, int& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < 1 || parsed > INT_MAX) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

}  // namespace

bool parseBenchArguments(const std::vector<std::string>& arguments, BenchOptions& options,
                         std::string& problem) {
    options = BenchOptions{};
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        if (argument == "--help" || argument == "-h") {
            options.showHelp = true;
            continue;
        }
        if (argument == "--smoke") {
            options.smoke = true;
            continue;
        }
        if (argument == "--all-references") {
            options.allReferences = true;
            continue;
        }
        if (argument == "--wireframe-only") {
            options.wireframeOnly = true;
            continue;
        }
        if (argument != "--raster" && argument != "--edge" && argument != "--frames") {
            problem = "unknown argument " + argument;
            return false;
        }
        if (index + 1 == arguments.size()) {
            problem = argument + " needs a value";
            return false;
        }
        const std::string& value = arguments[++index];
        if (argument == "--raster") {
            options.rasterPath = value;
        } else if (!parsePositive(value, argument == "--edge" ? options.edge : options.frames)) {
            problem = argument + " needs a whole number of at least 1, not " + value;
            return false;
        }
    }
    return true;
}

const char* benchUsage() {
    return "Usage: voronoi_bench [--raster PATH] [--edge N] [--frames N] [--all-references]\n"
           "                     [--wireframe-only]\n"
           "       voronoi_bench --smoke\n"
           "\n"
           "Times the demo's frame drawing and site extraction in a real window, scene by\n"
           "scene and view by view: the reference drawing with full cones, the fast drawing\n"
           "with cut cones, and the retained frame. Compares the fast picture with the\n"
           "reference pixel by pixel and holds the window's picture against an exact\n"
           "nearest-site computation. Then each scene in wire-frame mode, drawn a slice per\n"
           "frame and in one pass. Prints each table with its summary lines, then the\n"
           "slowest wire-frame picture and filled frame beside the CPU peer.\n"
           "\n"
           "  --raster PATH     raster for the raster scenes (default data/face_binary_edges.raw)\n"
           "  --edge N          its edge in pixels, also the window's (default 996)\n"
           "  --frames N        timed frames per drawing after one warm-up (default 5); the\n"
           "                    reference gets fewer where its frames take more than 5 s\n"
           "  --all-references  draw the reference in every view of every scene; by default\n"
           "                    only in every view of key 1 and of the one site, and in the\n"
           "                    zoom 1 view of the others (the full run then takes several\n"
           "                    minutes more)\n"
           "  --wireframe-only  only the wire-frame views of key 1, one round each (large\n"
           "                    rasters)\n"
           "  --smoke           a tiny raster of its own, one frame per drawing and the\n"
           "                    reference everywhere, to check that the benchmark still runs\n"
           "  --help            print this text\n";
}
