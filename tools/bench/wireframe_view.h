#pragma once

#include <optional>

#include "tools/bench/frame_statistics.h"

class HeightMap;

// One scene in wire-frame mode (keys v, zoom 1): the window's renderer
// drawing the full cones a slice per frame, against the same cones in one
// pass.
struct WireframeResult {
    // The whole sliced picture, every render from the change to the
    // finished picture, one figure per round.
    FrameStatistics slicedMs;
    int passes = 0;              // renders per sliced picture
    double longestPassMs = 0.0;  // the longest render of any round
    // How far the process's resident memory rose above its figure before the
    // drawing, the most of any round.
    double slicedPeakMb = 0.0;
    // The one pass, where it was drawn.
    std::optional<FrameStatistics> onePassMs;
    double onePassPeakMb = 0.0;
    // Pixels where the finished sliced picture and the one-pass picture differ.
    std::optional<long long> differingPixels;
};

// A one-pass picture is drawn only where the sliced one took less than this.
constexpr double kLongestOnePassMs = 60000.0;
// Scenes of more sites are left out of the wire-frame rounds unless asked
// for alone: their outlines take minutes whichever way they are drawn.
constexpr int kLargestWireframeScene = 20000;

// Draws the map's sites in wire-frame mode, sliced and in one pass by turns,
// `rounds` times each after an untimed warm-up, and compares the last
// pictures. Leaves the GL state as
// it found it.
WireframeResult measureWireframe(HeightMap& map, int rounds);
