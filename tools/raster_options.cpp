#include "tools/raster_options.h"

namespace {

bool looksLikeOption(const std::string& argument) {
    return argument.size() > 1 && argument[0] == '-';
}

}  // namespace

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
    std::vector<std::string> paths = arguments;
    if (!paths.empty() && paths[0] == "--edges") {
        request.edgesOnly = true;
        paths.erase(paths.begin());
    }
    for (const std::string& path : paths) {
        if (looksLikeOption(path)) {
            problem = "unknown option " + path;
            return false;
        }
    }
    if (paths.size() != 2) {
        problem = "expected INPUT and OUTPUT";
        return false;
    }
    request.action = RasterRequest::Action::ConvertPicture;
    request.inputPath = paths[0];
    request.outputPath = paths[1];
    return true;
}

const char* rasterUsage() {
    return "Usage: voronoi_raster [--edges] INPUT OUTPUT\n"
           "       voronoi_raster --face OUTPUT\n"
           "       voronoi_raster --help\n"
           "\n"
           "Writes a 996 x 996 headerless 8-bit RAW raster for voronoi_demo, row 0 at the top.\n"
           "Missing folders of OUTPUT are created; OUTPUT is replaced only by a complete\n"
           "raster, never by the input itself. Pictures over 256 MiB decoded are refused.\n"
           "\n"
           "  INPUT OUTPUT   turn a picture in any format FreeImage reads into grey samples.\n"
           "                 The picture is scaled, keeping its proportions, until its\n"
           "                 longer side is 996 pixels, and centred; the rest is 0.\n"
           "  --edges        write the picture's edges instead, one pixel thin, ranked by\n"
           "                 strength: 255 on the 6000 strongest edge pixels (the sites\n"
           "                 of key 1), 231..254 on the next 6000 (with them, the sites\n"
           "                 of key 2), 0 elsewhere. A picture without edges is refused.\n"
           "  --face OUTPUT  draw the default raster, a face in thin strokes: 255 on the\n"
           "                 main strokes, 231..254 on softer details, 0 elsewhere.\n"
           "  --help         print this text.\n"
           "\n"
           "Example: voronoi_raster --edges photo.jpg data/face_binary_edges.raw\n";
}
