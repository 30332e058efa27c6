#include "tools/raster_options.h"

bool parseRasterArguments(const std::vector<std::string>& arguments, RasterRequest& request,
                          std::string& problem) {
    request = RasterRequest{};
    if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
        return true;
    }
    if (arguments.size() == 2 && arguments[0] == "--face") {
        request.action = RasterRequest::Action::DrawFace;
        request.outputPath = arguments[1];
        return true;
    }
    problem = arguments.empty() ? "missing arguments" : "unexpected arguments";
    return false;
}

const char* rasterUsage() {
    return "Usage: voronoi_raster --face OUTPUT\n"
           "       voronoi_raster --help\n"
           "\n"
           "Writes a 996 x 996 headerless 8-bit RAW raster for voronoi_demo, row 0 at the top.\n"
           "\n"
           "  --face OUTPUT  draw the default raster, a face in thin strokes: 255 on the\n"
           "                 main strokes (key 1), 231..254 on softer details (key 2 adds\n"
           "                 them), 0 elsewhere. Missing folders of OUTPUT are created.\n"
           "  --help         print this text.\n";
}
