#pragma once

#include <vector>

#include "app/keys.h"
#include "measure/diagram_oracle.h"
#include "tools/bench/picture_agreement.h"

// Where two pictures of the same diagram differ, and whether each differing
// pixel lies at a tie, where either picture's winner is right.
struct FrameDifferences {
    long long differingPixels = 0;
    long long atTies = 0;
    long long notAtTies = 0;
};

// How near two 32-gon distances must come for the winner between them to be
// a matter of rounding, in raster pixels.
constexpr double kTieTolerance = 1e-3;

// Whether the pixel centre at (x, y), in raster units, lies at a tie: two
// sites at different positions within kTieTolerance of the smallest 32-gon
// distance, or that distance within kTieTolerance of the cone radius (the
// nearest cone against the background). Copies of one position never tie:
// the order they are drawn in decides.
bool atTie(const DiagramOracle& oracle, double x, double y, int coneRadius,
           std::vector<int>& found);

// Compares a picture with the reference picture of the same sites under the
// view, both drawn with cones of coneRadius raster pixels. Only differing
// pixels are classified. Both drawings put the same markers on top, so a
// differing pixel where either picture shows a marker never counts as a tie.
FrameDifferences compareFrames(const RgbPicture& reference, const RgbPicture& picture,
                               const std::vector<OracleSite>& sites, const ViewState& view,
                               int coneRadius);
