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
    return "Usage: voronoi_bench [--raster PATH] [--edge N] [--frames N]\n"
           "       voronoi_bench --smoke\n"
           "\n"
           "Times the demo's frame drawing and site extraction in a real window and holds\n"
           "every picture against an exact nearest-site computation. Prints a table, then\n"
           "a summary line.\n"
           "\n"
           "  --raster PATH  raster for the raster scenes (default data/face_binary_edges.raw)\n"
           "  --edge N       its edge in pixels, also the window's (default 996)\n"
           "  --frames N     timed frames per scene after one warm-up (default 5); scenes\n"
           "                 whose frames take more than 5 s get fewer\n"
           "  --smoke        a tiny raster of its own and one frame per scene, to check that\n"
           "                 the benchmark still runs\n"
           "  --help         print this text\n";
}
