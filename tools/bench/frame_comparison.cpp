#include "tools/bench/frame_comparison.h"

#include <cmath>

bool atTie(const DiagramOracle& oracle, double x, double y, int coneRadius,
           std::vector<int>& found) {
    const double nearest = oracle.polygonNearest(x, y, kTieTolerance, found);
    if (std::abs(nearest - coneRadius) <= kTieTolerance) {
        return true;
    }
    const std::vector<OracleSite>& sites = oracle.sites();
    for (std::size_t index = 1; index < found.size(); ++index) {
        const OracleSite& first = sites[static_cast<std::size_t>(found.front())];
        const OracleSite& other = sites[static_cast<std::size_t>(found[index])];
        if (other.x != first.x || other.y != first.y) {
            return true;
        }
    }
    return false;
}

FrameDifferences compareFrames(const RgbPicture& reference, const RgbPicture& picture,
                               const std::vector<OracleSite>& sites, const ViewState& view,
                               int coneRadius) {
    const int width = reference.width;
    const int height = reference.height;
    const std::vector<char> underMarker = markerMask(sites, view, width, height);
    FrameDifferences differences;
    const DiagramOracle oracle(sites);
    std::vector<int> found;
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            if (reference.at(column, row) == picture.at(column, row)) {
                continue;
            }
            ++differences.differingPixels;
            const RasterPoint point =
                windowPixelToRaster(column, row, view.zoom, view.panX, view.panY);
            // A square whose rounding is uncertain covers pixels that show
            // cones; only a red pixel there is a marker's.
            const bool markerPixel =
                underMarker[static_cast<std::size_t>(row) * width + column] &&
                (reference.at(column, row) == kMarkerRed || picture.at(column, row) == kMarkerRed);
            const bool tie = !markerPixel && atTie(oracle, point.x, point.y, coneRadius, found);
            ++(tie ? differences.atTies : differences.notAtTies);
        }
    }
    return differences;
}
