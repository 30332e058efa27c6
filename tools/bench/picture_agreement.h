#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "app/keys.h"
#include "measure/diagram_oracle.h"

using Rgb = std::array<std::uint8_t, 3>;

// The colour of every site's marker.
constexpr Rgb kMarkerRed = {255, 0, 0};

// A window's pixels as glReadPixels returns them with GL_RGB bytes and pack
// alignment 1: bottom row first.
struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bytes;

    RgbPicture() = default;
    RgbPicture(int width, int height)
        : width(width), height(height), bytes(static_cast<std::size_t>(width) * height * 3) {}

    Rgb at(int column, int row) const {
        const std::size_t offset = (static_cast<std::size_t>(row) * width + column) * 3;
        return {bytes[offset], bytes[offset + 1], bytes[offset + 2]};
    }
    void set(int column, int row, Rgb colour) {
        const std::size_t offset = (static_cast<std::size_t>(row) * width + column) * 3;
        bytes[offset] = colour[0];
        bytes[offset + 1] = colour[1];
        bytes[offset + 2] = colour[2];
    }
};

// How far a picture of the diagram agrees with the exact one.
struct Agreement {
    long long checkedPixels = 0;  // every pixel outside the marker squares
    long long agreeingPixels = 0;
    int markersInWindow = 0;  // sites whose whole marker square lies in the window
    int visibleMarkers = 0;   // of those, the ones whose square is all red
};

// The window pixels a site's 4 x 4 marker covers: columns centreColumn - 2 to
// centreColumn + 1, rows likewise. A marker centre that falls within rounding
// of a pixel edge could round either way; both squares are then candidates.
struct MarkerSquare {
    int centreColumn;
    int centreRow;
};
std::vector<MarkerSquare> markerCandidates(const OracleSite& site, const ViewState& view);

// One flag per window pixel, row by row from the bottom: set where any
// candidate square of any site's marker covers it.
std::vector<char> markerMask(const std::vector<OracleSite>& sites, const ViewState& view, int width,
                             int height);

// Holds the picture against the exact diagram of the sites drawn with cones
// of coneRadius raster pixels under the view. A pixel outside every marker
// agrees when it shows the colour of a site whose Euclidean distance is
// within 1 / cos(pi / 32) of the nearest site's (the facet tolerance), or the
// background where no cone can reach; at about the cone radius from the
// nearest site either is accepted. A marker counts when all 16 of its pixels
// are red.
Agreement measureAgreement(const RgbPicture& picture, const std::vector<OracleSite>& sites,
                           const ViewState& view, int coneRadius, Rgb background);
