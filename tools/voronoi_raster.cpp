// Makes RAW rasters for voronoi_demo; see rasterUsage() for the command line.
#include <iostream>
#include <string>
#include <vector>

#include "tools/face_drawing.h"
#include "tools/raster_options.h"
#include "tools/raw_output.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    RasterRequest request;
    std::string problem;
    if (!parseRasterArguments(arguments, request, problem)) {
        std::cerr << "voronoi_raster: " << problem << " (try --help)" << std::endl;
        return 2;
    }
    if (request.action == RasterRequest::Action::ShowHelp) {
        std::cout << rasterUsage();
        return 0;
    }
    if (!writeRawFile(drawDefaultFace(), request.outputPath, problem)) {
        std::cerr << "voronoi_raster: " << problem << std::endl;
        return 1;
    }
    return 0;
}
