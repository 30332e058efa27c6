// Makes RAW rasters for voronoi_demo; see rasterUsage() for the command line.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "tools/edge_detection.h"
#include "tools/face_drawing.h"
#include "tools/image_fitting.h"
#include "tools/image_reading.h"
#include "tools/raster_options.h"
#include "tools/raw_output.h"

namespace {

bool makeRaster(const RasterRequest& request, GreyRaster& raster, std::string& problem) {
    if (request.action == RasterRequest::Action::DrawFace) {
        raster = drawDefaultFace();
        return true;
    }
    GreyRaster picture;
    if (!readScaledGreyImage(request.inputPath, kDefaultRasterEdge, picture, problem)) {
        return false;
    }
    // Edges are found before centring, so the picture's frame is no edge.
    raster = placeCentred(request.edgesOnly ? detectEdges(picture) : picture, kDefaultRasterEdge);
    // An empty raster would give the demo no site, and would replace a useful one.
    if (request.edgesOnly && std::all_of(raster.samples.begin(), raster.samples.end(),
                                         [](unsigned char sample) { return sample == 0; })) {
        problem = request.inputPath + " has no edges; " + request.outputPath + " is not written";
        return false;
    }
    return true;
}

}  // namespace

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
    // Device and inode, so that any name of the input counts; an output that
    // does not exist yet is no clash.
    std::error_code missingFile;
    if (request.action == RasterRequest::Action::ConvertPicture &&
        std::filesystem::equivalent(request.inputPath, request.outputPath, missingFile)) {
        std::cerr << "voronoi_raster: " << request.outputPath << " is the input file itself"
                  << std::endl;
        return 1;
    }
    GreyRaster raster;
    if (!makeRaster(request, raster, problem) ||
        !writeRawFile(raster, request.outputPath, problem)) {
        std::cerr << "voronoi_raster: " << problem << std::endl;
        return 1;
    }
    return 0;
}
