#include "tools/bench/picture_agreement.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMarkerSize = 4;
// How near a marker centre may come to a pixel edge before its rounding
// counts as uncertain; far above float rounding, far below a pixel.
constexpr double kRoundingSlack = 1e-3;

// Window pixel centres that the rounding of one marker coordinate may pick.
std::vector<int> centreCandidates(double windowCoordinate) {
    const double below = std::floor(windowCoordinate);
    const double fraction = windowCoordinate - below;
    const int lower = static_cast<int>(below);
    if (std::abs(fraction - 0.5) < kRoundingSlack) {
        return {lower, lower + 1};
    }
    return {fraction < 0.5 ? lower : lower + 1};
}

bool squareInside(const MarkerSquare& square, int width, int height) {
    const int half = kMarkerSize / 2;
    return square.centreColumn - half >= 0 && square.centreColumn + half <= width &&
           square.centreRow - half >= 0 && square.centreRow + half <= height;
}

template <typename Visit>
void forEachSquarePixel(const MarkerSquare& square, Visit visit) {
    const int half = kMarkerSize / 2;
    for (int row = square.centreRow - half; row < square.centreRow + half; ++row) {
        for (int column = square.centreColumn - half; column < square.centreColumn + half;
             ++column) {
            visit(column, row);
        }
    }
}

bool squareAllRed(const RgbPicture& picture, const MarkerSquare& square) {
    bool allRed = true;
    forEachSquarePixel(square, [&](int column, int row) {
        allRed = allRed && picture.at(column, row) == kMarkerRed;
    });
    return allRed;
}

// Distance from (x, y) to the box around all sites: no site is nearer.
class SiteBox {
public:
    explicit SiteBox(const std::vector<OracleSite>& sites) {
        for (const OracleSite& site : sites) {
            minX = std::min(minX, site.x);
            maxX = std::max(maxX, site.x);
            minY = std::min(minY, site.y);
            maxY = std::max(maxY, site.y);
        }
    }
    double distance(double x, double y) const {
        const double outsideX = std::max({minX - x, x - maxX, 0.0});
        const double outsideY = std::max({minY - y, y - maxY, 0.0});
        return std::hypot(outsideX, outsideY);
    }

private:
    double minX = HUGE_VAL, maxX = -HUGE_VAL, minY = HUGE_VAL, maxY = -HUGE_VAL;
};

}  // namespace

std::vector<MarkerSquare> markerCandidates(const OracleSite& site, const ViewState& view) {
    // Zoom and pan reach GL as floats; the window coordinate is the point's.
    const double zoom = view.zoom;
    const double columnCoordinate = zoom * (site.x + static_cast<double>(view.panX));
    const double rowCoordinate = zoom * (site.y + static_cast<double>(view.panY));
    std::vector<MarkerSquare> squares;
    for (int column : centreCandidates(columnCoordinate)) {
        for (int row : centreCandidates(rowCoordinate)) {
            squares.push_back({column, row});
        }
    }
    return squares;
}

std::vector<char> markerMask(const std::vector<OracleSite>& sites, const ViewState& view, int width,
                             int height) {
    std::vector<char> underMarker(static_cast<std::size_t>(width) * height, 0);
    for (const OracleSite& site : sites) {
        for (const MarkerSquare& square : markerCandidates(site, view)) {
            forEachSquarePixel(square, [&](int column, int row) {
                if (column >= 0 && column < width && row >= 0 && row < height) {
                    underMarker[static_cast<std::size_t>(row) * width + column] = 1;
                }
            });
        }
    }
    return underMarker;
}

Agreement measureAgreement(const RgbPicture& picture, const std::vector<OracleSite>& sites,
                           const ViewState& view, int coneRadius, Rgb background) {
    const int width = picture.width;
    const int height = picture.height;
    Agreement agreement;

    const std::vector<char> underMarker = markerMask(sites, view, width, height);
    for (const OracleSite& site : sites) {
        bool inWindow = true;
        bool allRed = false;
        for (const MarkerSquare& square : markerCandidates(site, view)) {
            inWindow = inWindow && squareInside(square, width, height);
            allRed = allRed || (inWindow && squareAllRed(picture, square));
        }
        if (inWindow) {
            ++agreement.markersInWindow;
            agreement.visibleMarkers += allRed ? 1 : 0;
        }
    }

    // Every cone is a 32-gon inscribed in the circle of coneRadius: it covers
    // all points nearer than the inner circle and none beyond the outer one.
    // One window pixel of slack each way for the rasteriser's rounding.
    const double slack = 1.0 / std::abs(static_cast<double>(view.zoom));
    const double innerReach = coneRadius / facetFactor() - slack;
    const double outerReach = coneRadius + slack;
    const DiagramOracle oracle(sites);
    const SiteBox box(sites);
    std::vector<int> candidates;
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            if (underMarker[static_cast<std::size_t>(row) * width + column]) {
                continue;
            }
            ++agreement.checkedPixels;
            const Rgb colour = picture.at(column, row);
            const bool showsBackground = colour == background;
            const RasterPoint point =
                windowPixelToRaster(column, row, view.zoom, view.panX, view.panY);
            if (box.distance(point.x, point.y) > outerReach) {
                agreement.agreeingPixels += showsBackground ? 1 : 0;
                continue;
            }
            const double nearest = oracle.withinFactor(point.x, point.y, facetFactor(), candidates);
            const bool showsCandidate =
                std::any_of(candidates.begin(), candidates.end(), [&](int index) {
                    const OracleSite& site = sites[static_cast<std::size_t>(index)];
                    return colour == Rgb{site.r, site.g, site.b};
                });
            bool agrees;
            if (nearest > outerReach) {
                agrees = showsBackground;
            } else if (nearest < innerReach) {
                agrees = showsCandidate;
            } else {
                agrees = showsCandidate || showsBackground;
            }
            agreement.agreeingPixels += agrees ? 1 : 0;
        }
    }
    return agreement;
}
