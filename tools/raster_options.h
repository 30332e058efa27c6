#pragma once

#include <string>
#include <vector>

// What one run of voronoi_raster is asked to do.
struct RasterRequest {
    enum class Action { ShowHelp, DrawFace, ConvertPicture };
    Action action = Action::ShowHelp;
    bool edgesOnly = false;  // ConvertPicture: write the picture's edges, not its greys
    std::string inputPath;
    std::string outputPath;
};

// Reads the arguments after the program name. On a bad command line returns
// false and says why in `problem`.
bool parseRasterArguments(const std::vector<std::string>& arguments, RasterRequest& request,
                          std::string& problem);

const char* rasterUsage();
