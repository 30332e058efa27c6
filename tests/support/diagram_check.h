#pragma once

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "app/keys.h"
#include "measure/diagram_oracle.h"
#include "tests/support/gl_test_window.h"

constexpr Rgb kMarkerRed{255, 0, 0};

// Holds a picture, pixelAt(column, row) with row 0 at the bottom, to the exact
// diagram of the sites (in the order they were added) drawn as 32-sided cones
// of the radius under the view, which shows raster (x, y) at window
// (zoom (x + panX), zoom (y + panY)): a red 4 x 4 square on every site that falls
// in the window; elsewhere the colour of the site nearest in 32-gon distance
// (of copies at one position, the one added first), and the background beyond
// the radius. Within a pixel of a tie either side passes. Describes the first
// pixels that break it; empty when none does.
template <typename PixelAt>
std::string diagramMismatches(int width, int height, const PixelAt& pixelAt,
                              const std::vector<OracleSite>& sitesAdded, double radius,
                              const ViewState& view) {
    std::vector<OracleSite> shown;
    std::vector<bool> marker(static_cast<std::size_t>(width) * height, false);
    for (const OracleSite& site : sitesAdded) {
        if (std::any_of(shown.begin(), shown.end(), [&](const OracleSite& earlier) {
                return earlier.x == site.x && earlier.y == site.y;
            })) {
            continue;
        }
        shown.push_back(site);
        const double x = view.zoom * (site.x + view.panX);
        const double y = view.zoom * (site.y + view.panY);
        if (x < 0 || y < 0 || x >= width || y >= height) {
            continue;  // a point off the window is clipped whole
        }
        const int centreX = static_cast<int>(std::floor(x + 0.5));
        const int centreY = static_cast<int>(std::floor(y + 0.5));
        for (int row = std::max(centreY - 2, 0); row <= std::min(centreY + 1, height - 1); ++row) {
            for (int column = std::max(centreX - 2, 0); column <= std::min(centreX + 1, width - 1);
                 ++column) {
                marker[static_cast<std::size_t>(row) * width + column] = true;
            }
        }
    }
    const DiagramOracle oracle(shown);
    const double slack = 1.0 / std::abs(view.zoom);
    std::vector<int> found;
    std::ostringstream first;
    int wrong = 0;
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const Rgb seen = pixelAt(column, row);
            bool holds = seen == kMarkerRed;
            if (!marker[static_cast<std::size_t>(row) * width + column]) {
                const RasterPoint point =
                    windowPixelToRaster(column, row, view.zoom, view.panX, view.panY);
                const double nearest = oracle.polygonNearest(point.x, point.y, slack, found);
                holds = nearest >= radius - slack && seen == backgroundColour();
                for (int index : found) {
                    const OracleSite& site = shown[index];
                    holds =
                        holds || (nearest <= radius + slack && seen == Rgb{site.r, site.g, site.b});
                }
            }
            if (!holds && ++wrong <= 5) {
                first << "\n  (" << column << ", " << row << ") is " << int(seen[0]) << ' '
                      << int(seen[1]) << ' ' << int(seen[2]);
            }
        }
    }
    return wrong == 0 ? ""
                      : std::to_string(wrong) + " pixels off the diagram, first:" + first.str();
}
